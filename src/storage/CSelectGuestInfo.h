#pragma once

#include "storage/CRecordBinding.h"

// Customer, company, cashier and code-pair queries: seven texts.
class CSelectGuestInfo : public CRecordBinding {
public:
    enum Template {
        CustomerOfBill,
        CompanyRouting,
        CashierOfBill,
        AdjustmentCodes,
        // Suite8
        InvoiceCashier,
        InvoiceStation,
        TemplateCount
    };

    CSelectGuestInfo();
    const BindingTable& GetBindingTable() const override;
};
