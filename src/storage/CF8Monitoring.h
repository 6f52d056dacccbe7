#pragma once

#include <functional>
#include <map>
#include <string>
#include <vector>

#include "storage/CF8CheckLoader.h"

class CMicrosCheck;

// The storage back-end for Suite8 (FIDELIO8). In full-check mode a check is an invoice (zinv)
// with every posting linked to it; in payments-only mode every posting of a payment department
// is a check of its own. It shares the connection, the settings, the templates and the status
// table with the Opera back-end; what differs is the data model, and so every query, the
// status writes per invoice, payment blocking through the department flags, the government
// codes a printer must serve and the POS revenue centres.
//
// Each cycle takes at most 16 postings (payments-only, deposit and AR finders) or 11 invoices;
// the rest waits for the next cycle. Worker thread only.
class CF8Monitoring : public CF8CheckLoader {
public:
    static constexpr int kPostingsPerCycle = 16;
    static constexpr int kInvoicesPerCycle = 11;

    // --- storage slots ---
    void GetChecks(std::vector<CFiscalCheck>& checks) override;
    bool SetCheckStatus(CFiscalCheck& check, CheckStatusLetter status) override;
    // Suite8 has no remark column: accepted and ignored.
    bool SetCheckRemark(CFiscalCheck& check, const std::string& remark) override;
    void CheckBusinessDate() override;
    bool ReadOpenBusinessDate(std::string& date) override;
    // Switches the payment departments off (true) or on (false) for pre-arrival and billing.
    bool BlockPayments(bool block, const std::string& text) override;
    bool Open(CFiscalINI& configuration) override;
    void ExpandPosCheck(const std::string& reference, int posSystem, bool posFlag,
                        CFiscalCheck& check) override;
    // Suite8 keeps no fiscal number in the PMS: accepted and ignored.
    bool SaveCheckNumber(int transactionNumber, const std::string& checkNumber) override;
    bool ConfirmRefund(CFiscalCheck& check, int referencedCheck, double amount) override;
    // With government codes on: every posting's department must list the printer; false (with
    // the reason in GetLastError) passes the check over for a close by hand.
    bool ValidateCheck(CFiscalCheck& check, const std::string& printerName) override;
    // True when the code is a configured POS system (//rvc).
    bool IsPosRevenueCenter(int code) override;

    void PrepareTemplates() override;

    // --- finders: each appends to the list ---
    void FindPostingPayments(std::vector<CFiscalCheck>& checks);
    void FindInvoices(std::vector<CFiscalCheck>& checks);
    void FindWindowInvoices(std::vector<CFiscalCheck>& checks);
    void FindOpenDeposits(std::vector<CFiscalCheck>& checks);
    void FindDayDeposits(std::vector<CFiscalCheck>& checks);
    void FindArPostings(std::vector<CFiscalCheck>& checks);
    // Invoices (full-check mode) or payment postings (payments-only mode) left N or S on closed
    // business dates within the window (//earlier_days), oldest first, after what the open
    // date's finders took; each keeps its own business date and changes no current one.
    void FindEarlierInvoices(std::vector<CFiscalCheck>& checks);
    void FindEarlierPostings(std::vector<CFiscalCheck>& checks);

    // --- status table, per invoice ---
    // Makes sure every payment of the check has a row, with Suite8's values; the first failure
    // ends it with false.
    bool RegisterPostingRows(CFiscalCheck& check);
    bool SetInvoiceStatus(CFiscalCheck& check, CheckStatusLetter status);
    // Printer, shift, fiscal number, journal file and attempt into the rows of the check.
    bool SaveFiscalData(CFiscalCheck& check) override;
    // The check file name into the rows of the check before it is first sent.
    bool SaveCheckFileName(CFiscalCheck& check) override;
    // The registration settings of a Czech sale into the rows of the check.
    bool SaveFiscalResult(CFiscalCheck& check) override;
    // A check of an invoice: full-check mode and not a kind written to its first posting's row
    // (CQELFiscal::kKindStatus). Judged from the back-end's mode and the check's kind, which a
    // registration read back from the outcome journal keeps, not from the check's own full-check
    // flag, which it does not.
    bool IsInvoiceCheck(const CFiscalCheck& check) const;

    // --- government codes and POS checks ---
    void ReadGovernmentCodes();
    // Where a POS check is found: its number, revenue centre and opening time ("MM/DD/YY
    // HH24:MI:SS", or empty).
    struct PosCheckKey {
        std::string number;
        std::string revenueCentre;
        std::string openTime;
    };
    PosCheckKey IdentifyPosCheck(const std::string& reference, bool posFlag, int posSystem);
    // Reads the POS check the reference names; false when it cannot be read.
    bool ReadInterfaceCheck(const std::string& reference, bool posFlag, int posSystem,
                            CMicrosCheck& posCheck);

    // Department number → its government codes, each enclosed in "*".
    std::map<std::string, std::string> governmentCodes;
    // POS system code → revenue centre.
    std::map<int, std::string> rvcMap;

private:
    // Opens a detail template on folio and hands every row, as a line, to take with a check made
    // from the template check; take says whether it emitted the check. At most 16 are emitted.
    void ForEachPosting(const std::string& statement, const std::vector<sqlformat::Arg>& args,
                        const std::function<bool(struct_posting&, CFiscalCheck&)>& take);
    void ForEachPosting(db::Recordset& rows, const std::function<bool(struct_posting&, CFiscalCheck&)>& take);
    // Walks invoice rows, one invoice per run of rows with the same number (and series, when
    // bySeries): take gets each new one, up to 11.
    void ForEachInvoice(db::Recordset& rows, bool bySeries, const std::function<void()>& take);
    // The payment postings of the statement, a check each; closed: of a closed business date.
    void FindPostingPayments(const std::string& statement, const std::vector<sqlformat::Arg>& args, bool closed,
                             std::vector<CFiscalCheck>& checks);
    // A check of the invoice of the current discovery row (number, id, series, date).
    CFiscalCheck InvoiceCheck() const;
    // Loads the invoice of the current discovery row into the check (by id, or by number and
    // series) and emits it when it has payments to register; false when it did not load.
    bool TakeInvoice(CFiscalCheck& check, bool byId, std::vector<CFiscalCheck>& checks);
    // The station of the invoice: the first payment still to register that names its workstation.
    void TakePaymentStation(CFiscalCheck& check);
};
