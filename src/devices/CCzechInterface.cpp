#include "devices/CCzechInterface.h"

#include "check/CCurrency.h"
#include "log/CLogFile.h"
#include "platform/Clock.h"
#include "platform/Text.h"

namespace {

// Amounts in whole cents, so that a sum that lands a hair below zero is "0.00", not "-0.00".
std::string Amount(double value) {
    int64_t cents = CCurrency::Of(value).Value();
    const char* sign = cents < 0 ? "-" : "";
    int64_t magnitude = cents < 0 ? -cents : cents;
    return text::Format("%s%lld.%02lld", sign, static_cast<long long>(magnitude / 100),
                        static_cast<long long>(magnitude % 100));
}

}  // namespace

bool CCzechInterface::Connect(const CPrinterControl& printer) {
    if (!unanswered->IsOpen() && !unanswered->Open(checkLogger.GetBaseFolder() + kUnansweredFile)) {
        Log("Can't read the unanswered sales of " + unanswered->Path() +
            ": a sale sent without an answer before the start goes as a first sending");
    }
    return CPrintInterface::Connect(printer);
}

void CCzechInterface::NotKept(bool kept) {
    if (!kept) {
        Log("Unanswered sales not kept in " + unanswered->Path() + ": after a restart they are sent as first sendings");
    }
}

std::string CCzechInterface::ReceiptNumber(const CFiscalCheck& check) {
    return text::Format("%s/%s", check.folioNumber.c_str(), check.checkNumber.c_str());
}

std::string CCzechInterface::SaleKey(const CFiscalCheck& check) {
    int firstTransaction = check.payments.empty() ? 0 : check.payments.front().trx_no;
    return text::Format("%s/%d", ReceiptNumber(check).c_str(), firstTransaction);
}

AnswerKind CCzechInterface::AnswerKindOf(Answer answer) {
    switch (answer) {
        case Answer::Registered:
        case Answer::Offline:
            return AnswerKind::Success;
        case Answer::Refused:
            return AnswerKind::DeviceError;
        case Answer::TimedOut:
            return AnswerKind::TimedOut;
        case Answer::Unreadable:
            // The service may hold the sale: it is in doubt like one cut off.
        case Answer::Cut:
            return AnswerKind::Cut;
        case Answer::NotDelivered:
            break;
    }
    return AnswerKind::NotDelivered;
}

bool CCzechInterface::PrintCheck(CFiscalCheck& target, bool saveDescriptionOnly) {
    lastAnswer = AnswerKind::None;
    if (saveDescriptionOnly) {
        return checkLogger.SaveDescription(control, target);
    }
    blockOnFailure = false;
    lastError.clear();
    lastAnswer = AnswerKind::NotDelivered;
    if (StopRequested()) {
        lastError = "Service stopping: the sale is not sent";
        return false;
    }
    if (!EnsureConnection()) {
        lastError = channel.GetLastError();
        blockOnFailure = true;
        return false;
    }
    CzechSaleRequest request;
    AddMembers(request, target);
    std::string frame = BuildSaleFrame(request, control.name);
    Log("Start check:");
    lastAnswer = AnswerKindOf(SendAndWait(request, frame, target));
    channel.Close();
    Log("Disconnect");
    check = target;
    return lastAnswer == AnswerKind::Success;
}

void CCzechInterface::AddMembers(CzechSaleRequest& request, CFiscalCheck& target) {
    auto optional = [&](const char* name, const std::string& value, int field) {
        // The field is emptied without the setting: it held the customer's data, which is no
        // registration data to store.
        if (field != 0) {
            target.SetField(field, value);
        }
        if (!value.empty()) {
            request.AddMember(name, value);
        }
    };
    optional("TaxPayerID", control.taxpayerId, 18);
    optional("AppTaxPayerID", control.appTaxpayerId, 17);
    optional("SiteID", control.siteId, 21);
    if (control.verificationMode) {
        request.AddMember("VerificationFlag", "true");
    }
    target.SetField(19, control.verificationMode ? "1" : "0");
    std::string saleMode = text::Format("%d", control.saleMode);
    request.AddMember("SaleMode", saleMode);
    target.SetField(20, saleMode);
    optional("CertFile", control.certFile, 0);
    optional("CertPass", control.certPass, 0);
    // A sale the outcome journal holds in doubt may be registered already: its next sending is a
    // repeated one, whatever the list of unanswered sales says, as is the sending of a check that
    // carries a code from before.
    bool inDoubt = exchangeInDoubt;
    exchangeInDoubt = false;
    if (inDoubt || !target.printedFileName.empty() || SentWithoutAnswer(target)) {
        request.AddMember("FirstSending", "false");
    }
    request.AddMember("PosID", target.cashierId);
    request.AddMember("ReceiptNumber", ReceiptNumber(target));
    request.AddMember("SaleDateTime", target.billDate);
    request.AddMember("TotalAmount", Amount(target.postingsTotal));
    double nonVat = 0;
    for (const struct_posting& posting : target.postings) {
        if (posting.tax_group == "0") {
            nonVat += posting.trx_amount;
        }
    }
    request.AddMember("TotalAmountNonVAT", Amount(nonVat));
    request.AddMember("TotalBaseVAT1", Amount(target.taxSums[2]));
    request.AddMember("TotalVAT1", Amount(target.taxSums[3]));
    request.AddMember("TotalBaseVAT2", Amount(target.taxSums[4]));
    request.AddMember("TotalVAT2", Amount(target.taxSums[5]));
    request.AddMember("TotalBaseVAT3", Amount(target.taxSums[6]));
    request.AddMember("TotalVAT3", Amount(target.taxSums[7]));
    request.AddMember("TotalAmountVoucherUsing", Amount(target.taxSums[9]));
    double vouchers = 0;
    for (const struct_posting& payment : target.payments) {
        if (payment.print_code == "4") {
            vouchers += payment.trx_amount;
        }
    }
    request.AddMember("TotalAmountVoucherSelling", Amount(vouchers));
}

std::string CCzechInterface::BuildSaleFrame(CzechSaleRequest& request, const std::string& source) const {
    return request.BuildFrame(source);
}

std::string CCzechInterface::Loggable(const std::string& frame) const {
    if (control.certPass.empty()) {
        return frame;
    }
    return text::ReplaceAll(frame, "\"CertPass\":\"" + CzechSaleRequest::Escape(control.certPass) + "\"",
                            "\"CertPass\":\"********\"");
}

CAnswerReader::Rule CCzechInterface::ReplyRule() {
    CAnswerReader::Rule rule;
    // The reply is a frame: whole at its end byte.
    rule.endMark = CPMSMessage::kEnd;
    return rule;
}

CCzechInterface::Answer CCzechInterface::SendAndWait(CzechSaleRequest& request, const std::string& frame,
                                                     CFiscalCheck& target) {
    lastError.clear();
    if (frame.empty()) {
        Log("Empty command");
        return Answer::NotDelivered;
    }
    std::string logged = Loggable(frame);
    LogRaw(logged, static_cast<int>(logged.size()), CLogFile::Outgoing);
    // Entered before it goes out and taken out only once the worker journalled its end
    // (ExchangeSettled): a sale whose answer never reaches the journal, even because the service
    // stopped or died in between, is sent again as a repeated one.
    NotKept(unanswered->Add(SaleKey(target)));
    AnswerKind kind = reader.Exchange(frame, answerTimeout);
    if (kind == AnswerKind::NotDelivered) {
        lastError = channel.GetLastError();
        Log(lastError);
        return Answer::NotDelivered;
    }
    const std::string& reply = reader.Answer();
    if (kind != AnswerKind::Success) {
        // Sent but not answered: it stays in doubt, and its next sending says so.
        if (!reply.empty()) {
            std::string shown = CAnswerReader::Shown(reply);
            LogRaw(shown, static_cast<int>(shown.size()), CLogFile::Incoming);
        }
        if (reader.TooLong()) {
            // The reader said so in the log.
            lastError = CAnswerReader::TooLongText();
            return Answer::Unreadable;
        }
        if (kind == AnswerKind::TimedOut) {
            lastError = text::Format("Waiting time is up. Fiscal printer %s not available.", control.name.c_str());
        } else {
            Log(channel.GetLastError());
            lastError = "Fiscal printer connect cut off. Try again.";
        }
        Log(lastError);
        return kind == AnswerKind::TimedOut ? Answer::TimedOut : Answer::Cut;
    }
    LogRaw(reply, static_cast<int>(reply.size()), CLogFile::Incoming);
    request.ParseReply(reply);
    if (request.success && !request.fik.empty()) {
        Log("Successful");
        if (!target.printedFileName.empty()) {
            target.SetField(8, request.fik);
        } else {
            target.SetPrintedFileName(request.fik);
        }
        target.SetField(7, request.bkp);
        return Answer::Registered;
    }
    Log("Unsuccessful");
    lastError = request.success ? "Reply without FIK" : request.errorMessage;
    Log(lastError);
    if (!request.pkp.empty()) {
        if (target.printedFileName.empty()) {
            target.SetPrintedFileName(request.pkp);
        }
        target.SetStatusCode(kOfflineRegistration);
        target.SetField(7, request.bkp);
        return Answer::Offline;
    }
    // A success without a FIK may have registered the sale all the same, and a reply without an
    // error is no refusal: either way the sale stays in doubt and its next sending is a repeat.
    bool refused = !request.success && (!request.replyErrorCode.empty() || !request.replyErrorText.empty());
    return refused ? Answer::Refused : Answer::Unreadable;
}

void CCzechInterface::ExchangeSettled(const std::string&, const CFiscalCheck& settled) {
    NotKept(unanswered->Remove(SaleKey(settled)));
}
