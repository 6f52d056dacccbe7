#pragma once

#include <string>
#include <vector>

#include "storage/COperaCheckLoader.h"

// What becomes of Opera deposits and refunds once they are found: a deposit brought over from
// the pay-master account into a bill takes over the fiscal state of the deposit it came from; the
// deposits of a reservation are loaded as one check and, on its final bill, settled; a refund is
// tied to the sale it reverses, by the fiscal check it names or by the sale's receipt number.
class COperaDeposits : public COperaCheckLoader {
public:
    // The deposits of the reservation as the check's payments (kind 18). False when the query
    // fails or the reservation has no deposit.
    bool LoadReservationDeposits(CFiscalCheck& check, const std::string& reservation);

    // Emits the bill. Each payment posted with the pay-master code is first tied to the deposit
    // payment it was brought over from: it takes over that payment's status and code, so that a
    // deposit registered before is not registered a second time. A bill whose rows cannot be
    // registered first is not emitted (the next cycle finds it again).
    void FindDepositOriginalPayment(CFiscalCheck& check, std::vector<CFiscalCheck>& checks);

    // A final bill of the pro-forma mode without postings. Its deposits registered before (as
    // advances, D) leave its payments for settledDeposits; the rest of its payments, a refund of
    // the deposit above all, make an advance check (kind 1) whose registration settles the
    // deposits (see CQELFiscal::SetCheckStatus). A bill paid by its deposits alone is settled at
    // once and not emitted; a bill without a registered deposit goes as it is. False: not to be
    // emitted (no payments, rows not registered, or settled already).
    bool CheckProFormaFolioForRefund(CFiscalCheck& check);

    // A refund bill of the Mongolian interface: field 16 takes the fiscal number its first payment
    // names, and the postings and payments of every bill registered under that number are added.
    // False without payments or when the status rows cannot be read; true when nothing was found.
    bool ReadOriginalCheck(CFiscalCheck& check);

    // The sale of the reservation whose receipt number the refund names: false (with the
    // operator's text as last error, Windows-1251) when it cannot be read, is not there or is
    // smaller than the refund; a sale of another business date makes the refund a cash pick-up
    // (kind 7).
    bool ConfirmRefund(CFiscalCheck& check, int referencedCheck, double amount) override;

protected:
    // Ties one pay-master payment to its source deposit; false when the source is not found.
    bool TieToSource(struct_posting& payment, CFiscalCheck& check);
};
