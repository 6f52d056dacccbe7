#include "devices/CNewInterface.h"

#include <algorithm>
#include <cmath>

#include "check/CCurrency.h"
#include "check/CheckStatus.h"
#include "config/CFiscalINI.h"
#include "log/CLogFile.h"
#include "platform/CodePage.h"
#include "platform/Text.h"

namespace {

constexpr size_t kTextLineWidth = 40;
constexpr size_t kSlipChunk = 1900;
// Line types of the check record that matter to the device.
constexpr int kTextPosting = 20;
constexpr int kCashierPosting = 14;
constexpr int kHiddenPayment = 18;
// How long the line must stay quiet after an answer's bytes for a manager that sends no end
// byte, unless configured, and the most of the answer time-out it may take.
constexpr int32_t kDefaultSettleMs = 50;
constexpr int32_t kSettleShareOfTimeout = 10;

// Cut and padded to the width of a text line.
std::string Fit(const std::string& text) {
    std::string format = text::Format("%%-%zus", kTextLineWidth);
    return text::FormatDynamic(format.c_str(), text.c_str()).substr(0, kTextLineWidth);
}

bool Contains(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

// Device model from the printer type text the manager reports.
int PrinterKindOf(const std::string& type) {
    static const std::string shtrih = platform::Cp1251("ШТРИХ");
    static const std::string prim = platform::Cp1251("ПРИМ");
    static const std::string spark = platform::Cp1251("СПАРК");
    if (Contains(type, shtrih)) {
        return 1;
    }
    if (Contains(type, prim)) {
        return 2;
    }
    if (Contains(type, spark)) {
        return 0;
    }
    if (Contains(type, "GP200")) {
        return 12;
    }
    return 99;
}

}  // namespace

CAnswerReader::Rule CNewInterface::AnswerRule() {
    CAnswerReader::Rule rule;
    // A manager may end its answer with EOT (which then is no part of its last field); the
    // answer of one that sends no end byte is whole once the line stays quiet after it.
    rule.endMark = FiscMessage::EOT;
    rule.markInAnswer = false;
    rule.settleMs = kDefaultSettleMs;
    rule.verdict = [](const std::string& answer) {
        return !answer.empty() && answer[0] == '0' ? AnswerKind::Success : AnswerKind::DeviceError;
    };
    return rule;
}

bool CNewInterface::Configure(CFiscalINI& configuration) {
    gtinFile = configuration.gtinFile;
    bool configured = CPrintInterface::Configure(configuration);
    int32_t settle = text::ToInt(configuration.ReadParameter("//printer_ini/answer_settle"));
    if (settle <= 0) {
        settle = kDefaultSettleMs;
    }
    // Far below the answer time-out, or an answer could only be taken for whole when it is late.
    int32_t most = std::max(1, answerTimeout / kSettleShareOfTimeout);
    settleNote.clear();
    if (settle > most) {
        settleNote = text::Format("Answer settle time %d ms is too long for the answer time-out of %d ms: %d ms used",
                                  settle, answerTimeout, most);
        settle = most;
    }
    reader.SetSettleMs(settle);
    return configured;
}

bool CNewInterface::Connect(const CPrinterControl& printer) {
    if (!settleNote.empty()) {
        Log(settleNote);
    }
    if (!CPrintInterface::Connect(printer)) {
        return false;
    }
    if (!gtinFile.empty() && control.gtinCodes.empty()) {
        control.lastError.clear();
        control.ReadGtinFile(gtinFile);
        if (control.gtinCodes.empty()) {
            Log(control.lastError.empty() ? "GTIN file " + gtinFile + ": no product codes" : control.lastError);
        } else {
            Log(control.GtinText());
        }
    }
    return true;
}

bool CNewInterface::SendAndWait(const std::string& message, int timeoutMs, CFiscalCheck* target) {
    AnswerKind kind = Exchange(message, timeoutMs, target, false);
    return kind == AnswerKind::Success || kind == AnswerKind::DeviceError;
}

AnswerKind CNewInterface::Exchange(const std::string& message, int timeoutMs, CFiscalCheck* target,
                                   bool registering) {
    if (message.empty()) {
        Log("Empty command");
        return AnswerKind::NotDelivered;
    }
    if (stopRequested || AnswerOwed()) {
        // A stop lets the exchange in flight end but starts none; an owed answer must be
        // collected before anything else goes to the device.
        lastError = stopRequested ? "Service stopping: nothing more is sent" : "An answer is still owed";
        Log(lastError);
        return AnswerKind::NotDelivered;
    }
    LogRaw(message, static_cast<int>(message.size()), CLogFile::Outgoing);
    AnswerKind kind = reader.Exchange(message, timeoutMs == 0 ? answerTimeout : timeoutMs);
    if (kind == AnswerKind::NotDelivered) {
        lastError = channel.GetLastError();
        blockOnFailure = true;
        return kind;
    }
    if (kind != AnswerKind::Success && kind != AnswerKind::DeviceError) {
        return NoAnswer(kind, registering);
    }
    // The kind comes from the header, so a name or description that holds "Check" or "Config"
    // is not taken for one.
    return TakeAnswer(kind, FiscMessage::MessageKind(message), target);
}

AnswerKind CNewInterface::NoAnswer(AnswerKind kind, bool registering) {
    const std::string& answer = reader.Answer();
    if (!answer.empty()) {
        std::string shown = CAnswerReader::Shown(answer);
        LogRaw(shown, static_cast<int>(shown.size()), CLogFile::Incoming);
    }
    if (kind == AnswerKind::TimedOut) {
        lastError = text::Format("Waiting time is up. Fiscal printer %s not available.", channel.Describe().c_str());
    } else {
        lastError = "Fiscal printer connect cut off.";
        blockOnFailure = true;
    }
    Log(lastError);
    if (!answer.empty() && answer[0] != '0') {
        // The start of an error answer (or of bytes that are no answer): whatever follows, the
        // device did not register. Its rest must not meet the next message.
        channel.Close();
        reader.Clear();
        return AnswerKind::DeviceError;
    }
    if (kind == AnswerKind::TimedOut) {
        if (registering) {
            // The device may still answer: the channel keeps listening, the reader keeps what
            // came so far, and nothing else is sent on it until the answer is collected.
            owedKey = exchangeKey;
        } else {
            channel.Close();
            reader.Clear();
        }
    }
    return kind;
}

AnswerKind CNewInterface::TakeAnswer(AnswerKind kind, const std::string& messageKind, CFiscalCheck* target) {
    const std::string& answer = reader.Answer();
    LogRaw(answer, static_cast<int>(answer.size()), CLogFile::Incoming);
    FiscMessage parser;
    if (kind != AnswerKind::Success) {
        lastError = parser.AnswerError(answer);
        Log(lastError);
        return AnswerKind::DeviceError;
    }
    if (messageKind == "Check" && target) {
        std::string number = text::Trim(parser.AnswerCheckNumber(answer));
        if (text::ToInt64(number) > 0) {
            target->fiscalNumber = number;
        }
    } else if (messageKind == "Config") {
        ReadConfigAnswer(parser, answer);
    }
    return AnswerKind::Success;
}

AnswerKind CNewInterface::CollectLateAnswer(CFiscalCheck& target) {
    if (!AnswerOwed()) {
        return AnswerKind::None;
    }
    Log("Waiting for the late answer of " + owedKey);
    owedKey.clear();
    AnswerKind kind = reader.Await(answerTimeout);
    if (kind == AnswerKind::Success || kind == AnswerKind::DeviceError) {
        lastAnswer = TakeAnswer(kind, target.IsCashOperation() ? "Command" : "Check", &target);
        return lastAnswer;
    }
    lastAnswer = NoAnswer(kind, false);
    return lastAnswer;
}

std::string CNewInterface::NewCheckFileName(const CFiscalCheck& target) {
    if (target.IsCashOperation()) {
        return "";
    }
    FiscMessage message;
    message.SetHeaderId(control.name);
    message.SetDocumentNumber(text::Trim(target.checkNumber.empty() ? target.folioNumber : target.checkNumber));
    std::string name = message.NewFileName("", 0);
    if (name == lastNewName && !target.payments.empty()) {
        // Two checks of one document within one second: the first transaction tells them apart.
        name = message.NewFileName("", target.payments.front().trx_no);
    }
    lastNewName = name;
    return name;
}

void CNewInterface::ReadConfigAnswer(FiscMessage& parser, const std::string& answer) {
    std::string number = parser.AnswerConfigNumber(answer);
    Log("Config num " + number);
    if (number == "2") {
        printerId = text::Trim(parser.AnswerPrinterId(answer));
        Log("Printer ID " + printerId);
        std::string type = text::Trim(parser.AnswerPrinterType(answer));
        Log("Printer type " + type);
        printerKind = PrinterKindOf(type);
        if (printerKind == 12) {
            Log("Set GP200");
        }
    } else if (number == "5") {
        shiftNumber = text::Trim(parser.AnswerShift(answer));
        Log("Shift num " + shiftNumber);
    }
}

bool CNewInterface::PrepareTender(FiscMessage& message, CFiscalCheck& target, const std::string& flags) {
    if (printerId.empty() && !SendAndWait(message.BuildConfig(2), 0, nullptr)) {
        return false;
    }
    target.printerId = printerId;
    Log(target.printerId);
    if (saveShiftNumber) {
        SendAndWait(message.BuildConfig(5), 0, nullptr);
    }
    target.shiftNumber = shiftNumber;
    Log(target.shiftNumber);
    if (control.testCommand || !checkRefund ||
        (target.statusCode != kRefundCheck && target.statusCode != kCashPickup)) {
        return true;
    }
    return SendTenderTests(message, flags, target, true);
}

bool CNewInterface::TestTenders(FiscMessage& message, const std::string& flags, CFiscalCheck& target) {
    return SendTenderTests(message, flags, target, false);
}

bool CNewInterface::SendTenderTests(FiscMessage& message, const std::string& flags, CFiscalCheck& target,
                                    bool cashOnly) {
    for (size_t i = 0; i < target.payments.size(); ++i) {
        const struct_posting& payment = target.payments[i];
        if (cashOnly && payment.pay_kind != 0) {
            continue;
        }
        std::string test = message.BuildTest(payment.trx_code, payment.trx_amount, static_cast<int>(i), flags,
                                             target.cashReturned);
        Log(text::Format("Start tender test %zu:", i + 1));
        if (!SendAndWait(test, 0, nullptr)) {
            return false;
        }
    }
    return true;
}

void CNewInterface::SplitLargeLines(CFiscalCheck& target) {
    lastError.clear();
    if (target.postingsTotal <= 0) {
        return;
    }
    double limit = 9999999999.99;
    if (printerKind == 0) {
        limit = target.IsCashOperation() ? 100000000 : 999999.99;
    }
    std::vector<struct_posting>& postings = target.postings;
    for (const struct_posting& posting : postings) {
        // An amount no device line could carry in a bounded number of parts is refused, rather
        // than split until memory runs out.
        if (!std::isfinite(posting.trx_amount) || std::fabs(posting.trx_amount) / limit > kMaxLineParts) {
            lastError = text::Format("Posting %d: amount %.2f is too large for the printer's lines",
                                     posting.trx_code, posting.trx_amount);
            Log(lastError);
            return;
        }
    }
    for (size_t i = 0; i < postings.size();) {
        struct_posting large = postings[i];
        if (std::fabs(large.trx_amount) <= limit) {
            ++i;
            continue;
        }
        // The parts keep the sign of the posting (a large negative line shrinks towards zero too)
        // and share its net amount in proportion.
        double part = large.trx_amount > 0 ? limit : -limit;
        struct_posting rest = large;
        struct_posting full = large;
        rest.trx_amount = large.trx_amount - part;
        full.trx_amount = part;
        rest.net_amount = large.net_amount * (rest.trx_amount / large.trx_amount);
        full.net_amount = large.net_amount - rest.net_amount;
        postings.erase(postings.begin() + static_cast<std::ptrdiff_t>(i));
        postings.push_back(rest);
        postings.push_back(full);
        i = 0;
    }
}

bool CNewInterface::ConnectionLost() {
    lastError = channel.GetLastError();
    blockOnFailure = true;
    return false;
}

bool CNewInterface::PrintCheck(CFiscalCheck& original, bool saveDescriptionOnly) {
    check = original;
    lastAnswer = AnswerKind::None;
    bool result = Register(saveDescriptionOnly);
    if (!saveDescriptionOnly) {
        // Whatever ended the attempt before the document went out left it undelivered.
        if (lastAnswer == AnswerKind::None) {
            lastAnswer = result ? AnswerKind::Success : AnswerKind::NotDelivered;
        }
        result = lastAnswer == AnswerKind::Success;
    }
    // The worker records what the device reported with its own check.
    original.printerId = check.printerId;
    original.shiftNumber = check.shiftNumber;
    original.fiscalNumber = check.fiscalNumber;
    original.printedFileName = check.printedFileName;
    return result;
}

bool CNewInterface::Register(bool saveDescriptionOnly) {
    lastError.clear();
    FiscMessage message;
    message.SetHeaderId(control.name);
    message.SetDocumentNumber(check.checkNumber.empty() ? check.folioNumber : check.checkNumber);
    if (!cashierName.empty()) {
        message.SetOperatorId("01");
        message.SetOperatorName(cashierName);
    } else {
        message.SetOperatorId(check.cashierId);
        message.SetOperatorName(check.cashierName);
        message.PrependOperatorName(check.cashierPosition);
    }
    message.postingsAmount = check.postingsTotal;
    message.SetRoomText(roomNumber.empty() ? check.room : roomNumber);
    // Sixteen flag bits, none of them set.
    const std::string flags = text::Format("%04X", 0);

    blockOnFailure = false;
    if (!saveDescriptionOnly && AnswerOwed()) {
        lastError = "The answer for " + owedKey + " is still owed: nothing is sent before it is collected";
        Log(lastError);
        return false;
    }
    if (!saveDescriptionOnly && !EnsureConnection()) {
        return ConnectionLost();
    }
    if (!includeRoomRate && !saveDescriptionOnly && !PrepareTender(message, check, flags)) {
        channel.Close();
        if (!EnsureConnection()) {
            return ConnectionLost();
        }
        PrepareTender(message, check, flags);
    }
    // Saving the description must not depend on the device being reachable.
    if (control.testCommand && !saveDescriptionOnly && !TestTenders(message, flags, check)) {
        return false;
    }
    AddTextLines(message);
    SplitLargeLines(check);
    if (!lastError.empty()) {
        return false;
    }
    SendNetAmounts(message);
    message.paymentsAmount = check.paymentsTotal;
    AddItems(message);
    for (const struct_posting& payment : check.payments) {
        if (payment.line_type != kHiddenPayment) {
            message.AddPayment(payment.print_code, check.checkMode == 7 ? "" : payment.description, "",
                               payment.trx_amount, control.noReference);
        }
    }

    if (check.IsCashOperation()) {
        std::string command = check.paymentsTotal >= 0 ? message.BuildCommand("Cash Loan", check.paymentsTotal)
                                                       : message.BuildCommand("Cash Pickup", -check.paymentsTotal);
        if (saveDescriptionOnly) {
            return checkLogger.SaveCheckFile(message.NewFileName(check.printedFileName, 0), command, control, check);
        }
        return SendDocument(command, nullptr);
    }

    int documentType = 1;
    if (check.statusCode == kDepositCheck || check.statusCode == kDepositLikeCheck ||
        check.statusCode == kOtherDeposit) {
        if (check.depositTemplate.tax_group.empty()) {
            documentType = 3;
        }
    } else if (!check.postings.empty() && check.postings.front().line_type == kTextPosting) {
        documentType = 2;
    }
    message.BuildCheck(documentType, check.taxSystem);
    message.BuildFileLine(check.printedFileName, true, 0);

    if (saveDescriptionOnly) {
        if (!check.postings.empty() || !check.payments.empty()) {
            checkLogger.SaveCheckFile(message.fileName, message.checkMessage, control, check);
        }
        return true;
    }
    Log(text::Format("Start print: %s", check.printedFileName.c_str()));
    // The check goes only after the manager took its file name: under that name a manager that
    // keeps its check files knows the check again when it has to be sent once more.
    if (Exchange(message.fileLine, 0, nullptr, false) != AnswerKind::Success) {
        channel.Close();
        if (!EnsureConnection()) {
            return ConnectionLost();
        }
        if (Exchange(message.fileLine, 0, nullptr, false) != AnswerKind::Success) {
            return false;
        }
    }
    check.SetPrintedFileName(message.fileName);
    Log("Start check:");
    return SendDocument(message.checkMessage, &check);
}

bool CNewInterface::SendDocument(const std::string& message, CFiscalCheck* target) {
    // Only a whole answer that reports success means the document is registered: after an error
    // answer, or bytes that are no answer at all, the check stays due (and may go to the
    // reserve printer); without a whole answer it is in doubt.
    exchangeKey = ExchangeKey(check);
    lastAnswer = Exchange(message, 0, target, true);
    return lastAnswer == AnswerKind::Success;
}

void CNewInterface::AddTextLines(FiscMessage& message) {
    if (check.statusCode != kBillCheck && printerKind == 0) {
        if (message.roomText.size() >= 5) {
            message.SetRoomText("");
        }
        return;
    }
    if (!check.postings.empty() && check.postings.front().line_type == kTextPosting) {
        const std::u16string& wide = check.postings.front().w_description;
        if (!wide.empty()) {
            message.AddTextLine(platform::Utf16ToCodePage(wide, "1252"));
        }
        return;
    }
    auto add = [&message](const std::string& label, const std::string& value, bool always) {
        std::string trimmed = text::Trim(value);
        if (label.empty() || (trimmed.empty() && !always)) {
            return false;
        }
        message.AddTextLine(Fit(label + trimmed));
        return true;
    };
    add(text::ReplaceAll(cashier, "+", "&"), check.cashierId + " " + check.cashierName, true);
    add(company, check.companyName, false);
    if (!check.guestFirstName.empty() || !check.guestLastName.empty()) {
        add(guest, check.guestFirstName + " " + check.guestLastName, false);
    }
    add(room, check.room, false);
    add(reservation, check.folioNumber, false);
    if (add(account, check.checkNumber, false)) {
        message.SetDocumentNumber(text::Trim(check.checkNumber));
    }
    if (!tin.empty() && !vat.empty()) {
        std::vector<std::string> parts;
        if (!check.companyExtra.empty()) {
            parts.push_back(tin + text::Trim(check.companyExtra));
        }
        if (!check.companyTaxId.empty()) {
            parts.push_back(vat + text::Trim(check.companyTaxId));
        }
        if (!parts.empty()) {
            message.AddTextLine(Fit(text::Join(parts, " ")));
        }
    }
    if (!check.headerLine.empty()) {
        message.AddTextLine(check.headerLine);
    }
}

void CNewInterface::SendNetAmounts(FiscMessage& message) {
    if (printerKind != 12 && !control.netAmountSupport) {
        return;
    }
    message.postingsAmount = check.netTotal;
    Log(text::Format("GP200 printer. Send net amount %.02f", check.netTotal));
    // Compared in whole cents, the way the device adds the item amounts up.
    int64_t sum = 0;
    for (const struct_posting& posting : check.postings) {
        sum += CCurrency::Of(posting.net_amount).Value();
    }
    if (sum != CCurrency::Of(check.netTotal).Value()) {
        CCurrency total;
        total.FromValue(sum);
        message.postingsAmount = static_cast<double>(total.AsDouble());
        Log(text::Format("Net amount %.02f", message.postingsAmount));
    }
}

void CNewInterface::AddRequisites(FiscMessage& message) {
    if (!check.cashierTaxId.empty()) {
        message.AddRequisite("1203", text::Format("%-12s", check.cashierTaxId.c_str()));
    }
    if (!check.email.empty()) {
        message.AddRequisite("1008", check.email);
    }
    if (!check.phone.empty()) {
        message.AddRequisite("1008", check.phone);
    }
    if (!check.companyName.empty()) {
        message.AddRequisite("1227", check.companyName);
    }
    if (!check.companyTaxId.empty()) {
        message.AddRequisite("1228", text::Format("%-12s", check.companyTaxId.c_str()));
    }
}

bool CNewInterface::IsInterfaceCashier(const std::string& cashierId) const {
    if (interfaceCashier == 0 || cashierId.size() != 1) {
        return false;
    }
    // The one-character cashier is the interface cashier either as its character code or as its
    // number ("5" for 5), so both ways of configuring it work.
    char asCode = static_cast<char>(interfaceCashier & 0xFF);
    return cashierId[0] == asCode || text::ToInt(cashierId) == interfaceCashier;
}

std::string CNewInterface::SubCode(const struct_posting& posting) const {
    std::string subCode = "4;4;";
    if (check.statusCode == kDepositCheck || check.statusCode == kDepositLikeCheck) {
        subCode = "3;10;";
    } else if (!posting.print_text.empty()) {
        subCode = posting.print_text;
    } else if (posting.line_type == kCashierPosting || IsInterfaceCashier(posting.cashier_id)) {
        subCode = "7;1;";
    }
    if (posting.agent == "XXX") {
        subCode = "4;11;";
    } else if (!posting.agent.empty()) {
        subCode += "|" + FiscMessage::RecordText(posting.agent);
    }
    return subCode;
}

void CNewInterface::AddItems(FiscMessage& message) {
    bool netAmounts = printerKind == 12 || control.netAmountSupport;
    bool groupCode = check.statusCode == kPaymentCheck || check.statusCode == kRefundCheck ||
                     check.statusCode == kPayMasterCheck;
    for (const struct_posting& posting : check.postings) {
        int type = posting.line_type;
        std::string kind = "M";
        if (type == 4 || type == 15) {
            kind = "D";
        } else if (type == 12 || type == 16 || type == 7) {
            kind = "S";
        }
        std::string code = std::to_string(posting.trx_code);
        if (!control.gtinCodes.empty()) {
            code = text::Format("%c%013d", control.HasGtin(posting.trx_code) ? '0' : '3', posting.trx_code);
        } else if (check.checkMode == 7) {
            AddRequisites(message);
        }
        std::string description = posting.description;
        bool utf8 = false;
        if (!posting.w_description.empty()) {
            utf8 = check.codePage.empty();
            description = utf8 ? platform::Utf16ToUtf8(posting.w_description)
                               : platform::Utf16ToCodePage(posting.w_description, "1252");
        }
        message.AddItem(kind, code, description, posting.quantity,
                        netAmounts ? posting.net_amount : posting.trx_amount,
                        posting.tax_group.empty() ? control.tax : posting.tax_group, decimals, groupCode,
                        posting.category, SubCode(posting), utf8);
    }
}

bool CNewInterface::SendPrint(FiscMessage& message, const std::string& text, int count, int number) {
    message.BuildPrint(text, count);
    message.BuildFileLine("", false, number);
    Log("Start print:");
    if (!SendAndWait(message.fileLine, 0, nullptr)) {
        return false;
    }
    Log("Start slip:");
    return SendAndWait(message.printMessage, 0, nullptr);
}

bool CNewInterface::PrintSlip(CPrinterControl& printer) {
    if (printer.headerLines.empty()) {
        return true;
    }
    FiscMessage message;
    message.SetHeaderId(printer.name);
    message.SetDocumentNumber(text::ReplaceAll(printer.printHeader, "*", "_"));
    message.SetOperatorId("99");
    message.SetOperatorName("QEL");
    int number = 0;
    for (const std::vector<std::string>* list : {&printer.headerLines, &printer.slipLines}) {
        std::string collected;
        int count = 0;
        for (const std::string& line : *list) {
            collected += (count == 0 ? "" : "\r\n") + line;
            ++count;
            if (collected.size() > kSlipChunk) {
                if (!SendPrint(message, collected, count, ++number)) {
                    return false;
                }
                collected.clear();
                count = 0;
            }
        }
        if (count > 0 && !SendPrint(message, collected, count, ++number)) {
            return false;
        }
    }
    return true;
}
