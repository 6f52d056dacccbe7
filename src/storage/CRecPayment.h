#pragma once

#include <string>

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
        // Payments of the day's form whose rows are N or S on a closed business date within a
        // window of days (%d, before the language code), oldest first.
        PaymentsOfEarlierDates,
        TemplateCount
    };

    // The bound columns, numbered from 1 (the form of payments of the day).
    enum Column : size_t {
        TrxNo = 1,
        Room,
        TrxCode,
        CodeDescription,
        TrxAmount,
        PostedAmount,
        NetAmount,
        Machine,
        Currency,
        ExchangeRate,
        ReceiptNo,
        ConfirmationNo,
        BillNo,
        AddedBy,
        TaxInclusive,
        LocalDescription,
        CashierId,
        PricePerUnit,
        PackageLink,
        Subtype,
        Reference,
        CashierTitle,
        FiscStatus,
        BusinessDate,
        HeaderTrxNo,
        ReinstateDate,
        GuestAccountDebit,
        PrinterId,
        ShiftNumber,
        ReservationId,
        Product,
        ChequeNumber,
        FolioView,
        ArticleCode,
        ArticleDescription,
        StatusTitle,
        AdjustmentCode,
        StatusBillNo,
        TaxType,
        ChangeDue,
        Quantity,
        CashierPosition,
        CashierTaxId,
        CashierName,
        StatusMachine,
        ColumnCount = StatusMachine
    };

    CRecPayment();
    const BindingTable& GetBindingTable() const override;

    // Run-time variants of the templates. Each returns the changed copy; a template that lacks
    // the place a variant changes is returned unchanged.

    // Column 32 carries the reservation's user-defined field (res.<field>) instead of the POS
    // check number (transactions of a bill, payments of the day).
    static std::string WithUserField(const std::string& statement, const std::string& field);
    // Only the postings of one postit (transactions of a bill).
    static std::string ForPostit(const std::string& statement, int postit);
    // Only payments without a bill (payments of the day).
    static std::string WithoutBill(const std::string& statement);
    // Only payments on one room, given as one more %s after the template's own (payments of the
    // day).
    static std::string ForRoom(const std::string& statement);
    // Payments of the day made into payments of the closed business dates of a window: the rows
    // the status table holds N or S, found through its (qel_fisc_status, business_date) index.
    static std::string OfEarlierDates(const std::string& paymentsOfTheDay);
};
