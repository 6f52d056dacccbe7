#pragma once

#include <memory>
#include <string>

#include "devices/CAnswerReader.h"
#include "devices/CPrintInterface.h"
#include "devices/CUnansweredSales.h"
#include "devices/CzechSaleRequest.h"

// The Czech sales-registration interface (printer type 10). Every check is one "Sale" request: a
// flat JSON object of the sale's registration data in a POS-interface frame, sent over a
// connection opened for that check. The reply carries the fiscal identification code (FIK), the
// security code (BKP) and the signature code (PKP), or an error; an error that still carries a
// PKP is a registration made offline.
class CCzechInterface : public CPrintInterface {
public:
    static constexpr const char* kUnansweredFile = "czech_unanswered.txt";

    // How one exchange with the registration service ended; LastAnswer() tells the worker the
    // kind of it (AnswerKindOf).
    enum class Answer {
        Registered,    // success with a FIK
        Offline,       // no success, but a PKP: registered offline
        Refused,       // an error reply without a PKP: not registered
        Unreadable,    // no reply, or a success without a FIK: the sale may or may not be registered
        TimedOut,      // sent, no reply in time: the sale may or may not be registered
        Cut,           // sent, the connection ended before the reply: likewise
        NotDelivered,  // no connection, or the request could not be sent
    };

    // True for a registration, also an offline one (statusCode 17). The connection is opened for
    // the check and closed after it, so no answer is ever owed: an unanswered sale is in doubt
    // (TimedOut, Cut) and its next sending, on any printer, is a repeated one.
    bool PrintCheck(CFiscalCheck& check, bool saveDescriptionOnly) override;
    // A sale sent without a definite answer is sent again as a repeated sending, which the
    // registration service answers with its first registration.
    bool CanRepeat(const CFiscalCheck&) const override { return true; }
    // The sale leaves the list of unanswered sales only now that its end is journalled.
    void ExchangeSettled(const std::string& key, const CFiscalCheck& check) override;
    // Also takes up the list of unanswered sales kept in the program folder.
    bool Connect(const CPrinterControl& printer) override;
    bool PrintSlip(CPrinterControl& printer) override { return false; }
    bool ShowMessage(CPrinterControl& printer, const std::string& message) override { return false; }

    // The request members of the check, in order; keeps the registration settings in the check's
    // fields 18, 17, 21, 19 and 20 for SaveFiscalResult.
    void AddMembers(CzechSaleRequest& request, CFiscalCheck& target);
    std::string BuildSaleFrame(CzechSaleRequest& request, const std::string& source) const;
    // Sends the frame, waits for the whole reply (up to its end byte; one that grows past the
    // reader's bound without it is Unreadable) and stores the outcome in the check and in lastError.
    Answer SendAndWait(CzechSaleRequest& request, const std::string& frame, CFiscalCheck& target);

    // Whether the sale of this check went out and its end is not journalled yet (also before a
    // restart): its next sending is marked as a repeated one, as is that of a sale the worker
    // says is in doubt.
    bool SentWithoutAnswer(const CFiscalCheck& check) const { return unanswered->Has(SaleKey(check)); }
    // The interfaces of one service share what went unanswered: a sale in doubt on one printer is
    // a repeated sending on the reserve printer too.
    void ShareUnanswered(std::shared_ptr<CUnansweredSales> sales) { unanswered = std::move(sales); }
    const std::shared_ptr<CUnansweredSales>& Unanswered() const { return unanswered; }

    // The receipt number of a check as the service knows it: folio, "/", bill.
    static std::string ReceiptNumber(const CFiscalCheck& check);
    // What tells one sale from another: a bill paid in parts is several checks, and sales, under
    // one receipt number, so the first payment's transaction goes with it.
    static std::string SaleKey(const CFiscalCheck& check);
    // Registered and Offline are a success; an answer that is no reply is a device error (the
    // sale's next sending is a repeated one all the same).
    static AnswerKind AnswerKindOf(Answer answer);

private:
    // The reply is whole at the end byte of its frame.
    static CAnswerReader::Rule ReplyRule();
    // The frame as the log shows it: the certificate password masked.
    std::string Loggable(const std::string& frame) const;
    // The list of unanswered sales could not be kept on disk: said in the log.
    void NotKept(bool kept);

    std::shared_ptr<CUnansweredSales> unanswered = std::make_shared<CUnansweredSales>();
    CAnswerReader reader{channel, ReplyRule()};
};
