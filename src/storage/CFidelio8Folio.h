#pragma once

#include <string>

#include "storage/CRecordBinding.h"

// The Suite8 detail row: 39 columns read by every Suite8 detail query (the postings of the day,
// of an invoice, open and ledger-3 postings, a single posting).
class CFidelio8Folio : public CRecordBinding {
public:
    enum Template {
        DayPostings,
        InvoicePostingsByNumber,
        OpenPostings,
        LedgerPostings,
        // An expression, not a query: the account of a posting through its reservation or facility.
        AccountFragment,
        InvoicePostingsById,
        SinglePosting,
        // The postings of the day's form whose rows are N or S on a closed business date within
        // a window of days (%d, before the language), oldest first.
        DayPostingsOfEarlierDates,
        TemplateCount
    };

    // The bound columns, numbered from 1 (the form of the day postings).
    enum Column : size_t {
        PosId = 1,
        Department,
        Descript,
        UnitPrice,
        Quantity,
        ExchangeRate,
        Kind,  // 2 = a tax line
        CashierNumber,
        CashierName,
        PostDate,
        InternalSplit,
        Translation,
        Comment,
        FiscStatus,
        TaxLink,
        LedgerStatus,
        ForeignPrice,
        GrossForeignPrice,
        Facility,
        PrinterId,
        ShiftNumber,
        Attempt,
        ManualSplit,
        PosCheckId,
        Workstation,
        Currency,
        SumUpAmount,
        ArticleCode,
        ArticleDescription,
        StatusTitle,
        Window,
        FolioText,
        Deposit,
        ProfileId,
        PosCheckNumber,
        StatusBillNo,
        CashierTitle,
        CashierTaxId,
        StatusMachine,
        ColumnCount = StatusMachine
    };

    CFidelio8Folio();
    const BindingTable& GetBindingTable() const override;

    // The workstation column (ZPOS_WPCA_NETBIOS) carries the given account expression instead,
    // under the workstation's name; a statement without that column is returned unchanged.
    static std::string WithAccount(const std::string& statement, const std::string& account);
    // The postings of the day made into those of the closed business dates of a window: the rows
    // the status table holds N or S, found through its (qel_fisc_status, business_date) index.
    static std::string OfEarlierDates(const std::string& dayPostings);
};
