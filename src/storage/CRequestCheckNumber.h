#pragma once

#include <string>

#include "storage/CRecordBinding.h"

// Discovery queries: transaction number, bill number (text), amount, date text and two integers
// (postit number, folio window or reservation, depending on the query).
class CRequestCheckNumber : public CRecordBinding {
public:
    enum Template {
        BillsOfTheDay,
        BillsWithFolioWindow,
        BillsToRegisterAgain,
        DepositsOfTheDay,
        DepositTransfers,
        // Suite8
        InvoicesDue,
        InvoicesDueByWindow,
        InvoicesToSendAgain,
        PosCheckHeader,
        // Bills (Opera) and invoices (Suite8) of closed business dates whose rows are N or S,
        // within a window of days before the open date (%d), oldest first. They start from the
        // status table's index on (qel_fisc_status, business_date).
        BillsOfEarlierDates,
        InvoicesOfEarlierDates,
        // The open business date in column 4 (Opera, Suite8).
        OpenBusinessDate,
        OpenBusinessDateSuite8,
        TemplateCount
    };

    CRequestCheckNumber();
    const BindingTable& GetBindingTable() const override;

    // Run-time variants of the bill templates; each returns the changed copy.

    // Czech sales registration: the bill's creation time with the database's time zone in place
    // of its date (column 4).
    static std::string WithCreationTime(const std::string& statement);
    // Czech sales registration, Suite8: the invoice's date and time with the database's time zone
    // in place of its date (column 4).
    static std::string WithInvoiceTime(const std::string& statement);
    // Czech sales registration: only bills that are new or whose registration failed.
    static std::string NewOrFailedOnly(const std::string& statement);
    // Test mode: the open business date moved back by the given days.
    static std::string WithDateOffset(const std::string& statement, int days);
    // Pro-forma deposits: only those not registered yet (a registered deposit is D until the
    // bill that settles it makes it Y).
    static std::string NotRegisteredOnly(const std::string& statement);
};
