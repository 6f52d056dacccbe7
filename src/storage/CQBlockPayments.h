#pragma once

#include "storage/CRecordBinding.h"

// The statements that switch payment entry in the PMS off and on, and the query that reads
// whether it is on (the status command): payment code and its ind_billing.
class CQBlockPayments : public CRecordBinding {
public:
    enum Template { BlockBilling, BlockDeposits, BlockDepartments, PaymentEntryState, TemplateCount };
    enum Column { Code = 1, Billing };

    CQBlockPayments();
    const BindingTable& GetBindingTable() const override;
};
