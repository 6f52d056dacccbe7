#pragma once

#include <functional>
#include <string>
#include <vector>

#include "storage/COperaCheckLoader.h"

class CMicrosCheck;

// The storage back-end for Opera (OPERA, OPERA4, OPERA5): once per polling cycle it finds the
// bills and payments that are due and loads them into checks, in full-check mode a check per
// bill, in payments-only mode a check per payment.
//
// Each cycle takes at most 11 bills or 16 payment checks per finder; the rest waits for the
// next cycle, so that a backlog is worked off in short cycles.
class CDovozEderarezev : public COperaCheckLoader {
public:
    static constexpr int kBillsPerCycle = 11;
    static constexpr int kPaymentChecksPerCycle = 16;

    // --- storage slots ---
    void GetChecks(std::vector<CFiscalCheck>& checks) override;
    bool BlockPayments(bool block, const std::string& text) override;
    void ExpandPosCheck(const std::string& posCheckNumber, int posSystem, bool posFlag,
                        CFiscalCheck& check) override;
    bool ConfirmRefund(CFiscalCheck& check, int referencedCheck, double amount) override;
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
    void FindProFormaDeposits(std::vector<CFiscalCheck>& checks);
    void FindArPayments(std::vector<CFiscalCheck>& checks);
    // The deposits of a reservation as one check (pro-forma folio deposit).
    bool LoadReservationDeposits(CFiscalCheck& check, const std::string& reservation);

    // --- deposits, refunds and splits ---
    // The deposit paths arrive with their own work; until then they find nothing and a bill is
    // taken as it is.
    virtual void FindDeposits(std::vector<CFiscalCheck>& checks);
    virtual void FindUnbilledDeposits(std::vector<CFiscalCheck>& checks);
    virtual void FindDepositTransfers();
    // Emits the bill (a deposit brought over from the pay-master account is tied to its source).
    virtual void FindDepositOriginalPayment(CFiscalCheck& check, std::vector<CFiscalCheck>& checks);
    virtual bool CheckProFormaFolioForRefund(CFiscalCheck& check);
    virtual bool ReadOriginalCheck(CFiscalCheck& check);

private:
    using RowFilter = std::function<bool()>;
    // Runs a detail template and emits a check of the given kind per row, up to 16; a row the
    // filter refuses or that does not load is skipped. With noteDate the business date of a
    // payment-list row becomes the current one.
    void FindPayments(const std::string& statement, const std::vector<sqlformat::Arg>& args, int statusCode,
                      std::vector<CFiscalCheck>& checks, bool noteDate, const RowFilter& filter = nullptr);
    // Walks discovery rows grouped by column 2 (a bill or reservation number, repeated once per
    // payment): take gets every new one the filter lets through, up to 11, or until the
    // connection is lost.
    void ForEachGroup(db::Recordset& rows, const RowFilter& filter,
                      const std::function<void(const std::string&)>& take);
    // The template of payments of the day with the user-defined field when one is configured.
    std::string PaymentsOfTheDay() const;
    // The bill after loading: reinstated bills, refunds, pro-forma settlement, then emitted.
    void EmitBill(CFiscalCheck& check, std::vector<CFiscalCheck>& checks);
    void EmitReinstated(const CFiscalCheck& bill, std::vector<CFiscalCheck>& checks);
};
