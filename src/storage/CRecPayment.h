#pragma once

#include "storage/CRecordBinding.h"

// The Opera detail row: 45 columns read by every detail query (transactions of a bill, the
// payment finders, single transactions, the deposits of a reservation).
class CRecPayment : public CRecordBinding {
public:
    enum Template {
        TransactionsOfBill,
        PaymentsOfTheDay,
        OneTransaction,
        TransactionByJournal,
        DepositPaymentsOfTheDay,
        PaymentsWithReceiptType,
        PaymentByConfirmationAndReceipt,
        DepositsOfReservation,
        ArPaymentsOfTheDay,
        TemplateCount
    };

    CRecPayment();
    const BindingTable& GetBindingTable() const override;
};
