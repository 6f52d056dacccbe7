#pragma once

#include <functional>
#include <string>
#include <vector>

#include "storage/COperaDeposits.h"

class CMicrosCheck;

// The storage back-end for Opera (OPERA, OPERA4, OPERA5): once per polling cycle it finds the
// bills and payments that are due and loads them into checks, in full-check mode a check per
// bill, in payments-only mode a check per payment.
//
// Each cycle takes at most 11 bills or 16 payment checks per finder; the rest waits for the
// next cycle, so that a backlog is worked off in short cycles.
class CDovozEderarezev : public COperaDeposits {
public:
    static constexpr int kBillsPerCycle = 11;
    static constexpr int kPaymentChecksPerCycle = 16;
    // The transaction code of the status row of a deposit transfer (Opera's code is '9901I').
    static constexpr int kTransferCode = 9901;

    // --- storage slots ---
    void GetChecks(std::vector<CFiscalCheck>& checks) override;
    bool BlockPayments(bool block, const std::string& text) override;
    void ExpandPosCheck(const std::string& posCheckNumber, int posSystem, bool posFlag,
                        CFiscalCheck& check) override;
    bool ValidateCheck(CFiscalCheck& check, const std::string& printerName) override;
    bool IsPosRevenueCenter(int trxCode) override;

    // --- POS check expansion ---
    // A POS reference holds the revenue centre (3 digits), the check number (4 digits) and the
    // opening time (YYYYMMDDhhmmss), 21 characters at least.
    static constexpr size_t kReferenceLength = 21;
    // Fetches the POS check of a reference into the POS check and prepares its lines; false,
    // with the reason in the log, when the reference cannot be read or the server has no check.
    bool ReadInterfaceCheck(const std::string& reference, CMicrosCheck& posCheck);

    // --- finders: each appends to the list ---
    void FindBills(std::vector<CFiscalCheck>& checks);
    void FindPaymentChecks(std::vector<CFiscalCheck>& checks);
    void FindSecondListPayments(std::vector<CFiscalCheck>& checks);
    void FindPayMasterPayments(std::vector<CFiscalCheck>& checks);
    void FindFolioWindowBills(std::vector<CFiscalCheck>& checks);
    // The deposits of the day with a listed code that are not registered yet, read per
    // reservation (kind 18), each registered as an advance (a check of kind 1).
    void FindProFormaDeposits(std::vector<CFiscalCheck>& checks);
    // The advance check of one of a reservation's deposits: the deposit as its payment and, named
    // as the configured deposit, as its line.
    CFiscalCheck AdvanceCheck(const CFiscalCheck& deposits, const struct_posting& payment);
    void FindArPayments(std::vector<CFiscalCheck>& checks);
    // Checks left N or S on closed business dates within the window (//earlier_days), oldest
    // first, after what the open date's finders took: bills in full-check mode, payments in
    // payments-only mode (with deposits configured, only payments on a bill). Each check keeps
    // its own business date; none of them changes the current one.
    void FindEarlierChecks(std::vector<CFiscalCheck>& checks);
    void FindEarlierBills(std::vector<CFiscalCheck>& checks);
    void FindEarlierPayments(std::vector<CFiscalCheck>& checks);

    // --- deposits (pay-master flag) ---
    // Deposit payments of the day: receipt type "RDR" (kind 1), or, when there is none, any
    // receipt type of the additional deposit codes ("RDR" kind 1, others kind 20).
    void FindDeposits(std::vector<CFiscalCheck>& checks);
    // Payments of the day without a bill (kind 1), unless their folio window is settled.
    void FindUnbilledDeposits(std::vector<CFiscalCheck>& checks);
    // Gives each transfer of a registered deposit (D) to another reservation a D row of its own
    // with the target reservation as reference; no check is made for it.
    void FindDepositTransfers();

private:
    using RowFilter = std::function<bool()>;
    // When a payment finder makes the found business date the current one.
    // Closed: the row's date is a closed one that the check keeps as its own.
    enum class DateNote { Never, PaymentCodes, Always, Closed };
    // How a payment finder takes its rows.
    struct PaymentSearch {
        CheckStatusCode statusCode = kPaymentCheck;
        DateNote noteDate = DateNote::Never;
        // Asked for each row before it loads; a row it refuses is passed over.
        RowFilter filter;
        // The kind of the row's check when it depends on the row.
        std::function<CheckStatusCode()> kindOfRow;
        // Asked for each loaded check; one it refuses is not emitted.
        std::function<bool(CFiscalCheck&)> take;
    };
    // Runs a detail template and emits a check per row, up to 16; a row that is refused or does
    // not load is skipped. The number of rows the query answered, -1 when it failed.
    int FindPayments(const std::string& statement, const std::vector<sqlformat::Arg>& args,
                     const PaymentSearch& search, std::vector<CFiscalCheck>& checks);
    // Logs a deposit check that is emitted.
    bool TakeDeposit(CFiscalCheck& check);
    // Walks discovery rows grouped by column 2 (a bill or reservation number, repeated once per
    // payment): take gets every new one the filter lets through, up to 11, or until the
    // connection is lost.
    void ForEachGroup(db::Recordset& rows, const RowFilter& filter,
                      const std::function<void(const std::string&)>& take);
    // The template of payments of the day with the user-defined field when one is configured.
    std::string PaymentsOfTheDay() const;
    // Loads the bill of the check's number and emits it (through the pay-master deposits when
    // that flag is on).
    void TakeBill(CFiscalCheck& check, std::vector<CFiscalCheck>& checks);
    // The bill after loading: reinstated bills, refunds, pro-forma settlement, then emitted.
    void EmitBill(CFiscalCheck& check, std::vector<CFiscalCheck>& checks);
    void EmitReinstated(const CFiscalCheck& bill, std::vector<CFiscalCheck>& checks);
};
