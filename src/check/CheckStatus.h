#pragma once

#include <cstdint>
#include <optional>
#include <ostream>
#include <string>

// The values of a check's statusCode: the kind of check the back-ends found, or what the rules,
// printer selection and composition decided about it. The numbers are those the status table,
// the rules and the devices have always used and the journals keep. A scoped type, so that no
// bare number passes for one; its names are brought into scope below for brevity.
enum class CheckStatusCode : int32_t {
    kBillCheck = 0,             // a PMS bill (full check)
    kDepositCheck = 1,          // a deposit, or a payment without a bill: D instead of Y
    kPaymentCheck = 2,          // a sale registered per payment
    kRefundCheck = 3,           // a negative payment check (of code 2, 11 or 15)
    kDepositLikeCheck = 4,      // registered like a deposit, amounts not compared
    kLegacyPaymentKind5 = 5,      // a payment kind set by no finder today; no rate codes appended
    kCashLoan = 6,              // cash put in by the general cashier (or a second-list payment)
    kCashPickup = 7,            // cash taken out (or a refund of a sale of another day)
    kNotToRegister = 8,         // the rules say: close Y, print nothing
    kLegacyPaymentKind11 = 11,    // a payment kind set by no finder today; refunded as 2 and 15 are
    kBillRefund = 14,           // a negative bill, or a refund read with its sale
    kPayMasterCheck = 15,       // a payment posted to the pay-master room
    kWrongPayment = 16,         // a payment the rules do not accept
    kOfflineRegistration = 17,  // registered offline, no fiscal code yet (Czech)
    kReservationDeposits = 18,  // the deposits of one reservation (pro-forma folio)
    kDepositSettlement = 19,    // a final bill settled with the reservation's deposits
    kOtherDeposit = 20,         // a deposit payment of another receipt type
    kReceivablePayment = 21,    // an accounts-receivable payment
    kNoPrinter = 22,            // the postings point to different printers
    kUndecided = 23,            // a new check
};
using enum CheckStatusCode;

inline int32_t CodeNumber(CheckStatusCode code) {
    return static_cast<int32_t>(code);
}

// The number, as the status table, the log and test failures show it.
inline std::ostream& operator<<(std::ostream& out, CheckStatusCode code) {
    return out << CodeNumber(code);
}

// The letters of qel_fisc_status, as written through SetCheckStatus.
enum class CheckStatusLetter : char {
    NotRegistered = 'N',     // taken into work, or the last attempt failed: due again
    Registered = 'Y',        // done: registered or closed; final
    Deposit = 'D',           // a deposit, met again when it is transferred or settled
    RegisterAgain = 'S',     // set outside the service: register the bill again
    DescriptionSaved = 'F',  // Czech: the description went to a journal file instead
};

// The letter as the status table, the log and a file hold it.
inline std::string LetterText(CheckStatusLetter letter) {
    return std::string(1, static_cast<char>(letter));
}

// The letter of a status row's text as the database gives it back; nullopt for an empty text or
// one that is no letter of the table (the reader logs that one: it is never taken as N).
inline std::optional<CheckStatusLetter> ParseLetter(const std::string& text) {
    for (CheckStatusLetter letter :
         {CheckStatusLetter::NotRegistered, CheckStatusLetter::Registered, CheckStatusLetter::Deposit,
          CheckStatusLetter::RegisterAgain, CheckStatusLetter::DescriptionSaved}) {
        if (text == LetterText(letter)) {
            return letter;
        }
    }
    return std::nullopt;
}

// Y or D: the check was registered (or closed), and is never sent again as it stands.
inline bool RegisteredLetter(std::optional<CheckStatusLetter> letter) {
    return letter == CheckStatusLetter::Registered || letter == CheckStatusLetter::Deposit;
}

inline std::ostream& operator<<(std::ostream& out, CheckStatusLetter letter) {
    return out << static_cast<char>(letter);
}
