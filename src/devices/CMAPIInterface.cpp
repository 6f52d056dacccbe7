#include "devices/CMAPIInterface.h"

#include "config/CFiscalINI.h"
#include "log/CLogFile.h"
#include "platform/Text.h"

bool CMAPIInterface::Configure(CFiscalINI& configuration) {
    districtCode = configuration.ReadParameter("//printer_ini/district_code");
    return CPrintInterface::Configure(configuration);
}

bool CMAPIInterface::PrintCheck(CFiscalCheck& check, bool saveDescriptionOnly) {
    if (saveDescriptionOnly) {
        return checkLogger.SaveDescription(control, check);
    }
    lastAnswer = Register(check);
    return lastAnswer == AnswerKind::Success;
}

void CMAPIInterface::Fail(const std::string& text) {
    lastError = text;
    Log(lastError);
}

AnswerKind CMAPIInterface::Register(CFiscalCheck& check) {
    lastError.clear();
    blockOnFailure = false;
    if (stopRequested) {
        lastError = "Service is stopping: check not sent";
        return AnswerKind::NotDelivered;
    }
    if (!EnsureConnection()) {
        lastError = channel.GetLastError();
        blockOnFailure = true;
        return AnswerKind::NotDelivered;
    }
    // Every command takes its bill number, a return too: its text names the sale and not the
    // number, but the register's numbering counts it, and a return in doubt keeps its number
    // like a sale.
    bool isReturn = check.statusCode == kBillRefund;
    std::string key = CheckKey(TakeExchangeKey(check));
    CBillSequence files = Sequence();
    int32_t sequence = files.SentFor(key);
    if (sequence != 0) {
        Log(text::Format("Bill %06d of check %s went out without an answer: it goes again", sequence, key.c_str()));
        sequence = KeepNextAfter(sequence) ? sequence : 0;
    } else {
        sequence = NextSequence(key);
    }
    if (sequence == 0) {
        Disconnect();
        return AnswerKind::NotDelivered;
    }
    CMAPICommand command(districtCode, control.name, sequence);
    std::string text = isReturn ? command.BuildReturn(check) : command.BuildSale(check);
    Log("Start check:");
    Log(text);
    AnswerKind answer = SendAndWait(command, text, check);
    Disconnect();
    Log("Disconnect");
    // The number stays held, whatever the answer, until the worker has journalled the end.
    return answer;
}

void CMAPIInterface::ExchangeSettled(const std::string& exchange, const CFiscalCheck&) {
    CBillSequence files = Sequence();
    int error = 0;
    if (!files.Forget(CheckKey(exchange), error)) {
        // The number stays held for this check: harmless, it is only never given out again.
        Log(text::Format("Couldn't write to sequence file: %s (%d)  ", files.SentPath().c_str(), error));
    }
}

int32_t CMAPIInterface::NextSequence(const std::string& key) {
    CBillSequence files = Sequence();
    int32_t next = 1;
    int error = 0;
    bool missing = false;
    if (!files.Read(next, error, missing)) {
        Fail(text::Format("Couldn't open sequence file: %s (%d)  ", files.Path().c_str(), error));
        if (!missing) {
            // The file is there but unreadable: starting again at 1 would give out numbers
            // that went out already.
            return 0;
        }
        next = 1;
    }
    if (next < 1 || next > CBillSequence::kLast) {
        next = 1;
    }
    // Numbers held by checks in doubt are passed over.
    for (int32_t tried = 0; tried < CBillSequence::kLast && files.IsSent(next); ++tried) {
        next = next % CBillSequence::kLast + 1;
    }
    // Held for the check first, so that a crash before the next one is stored cannot give the
    // number to another check.
    if (!files.Remember(key, next, error)) {
        Fail(text::Format("Couldn't write to sequence file: %s (%d)  ", files.SentPath().c_str(), error));
        return 0;
    }
    if (!files.Store(next + 1, error)) {
        Fail(text::Format("Couldn't write to sequence file: %s (%d)  ", files.Path().c_str(), error));
        // Not stored, the number would be given again once this check has its answer.
        files.Forget(key, error);
        return 0;
    }
    return next;
}

bool CMAPIInterface::KeepNextAfter(int32_t sent) {
    CBillSequence files = Sequence();
    int32_t next = 0;
    int error = 0;
    bool missing = false;
    // A crash between holding the number and storing the next one leaves the file at the
    // number itself.
    if (!files.Read(next, error, missing) || next != sent) {
        return true;
    }
    if (files.Store(sent + 1, error)) {
        return true;
    }
    Fail(text::Format("Couldn't write to sequence file: %s (%d)  ", files.Path().c_str(), error));
    return false;
}

CAnswerReader::Rule CMAPIInterface::ReplyRule() {
    CAnswerReader::Rule rule;
    // A reply may come in pieces: it is whole once what came ends with the end mark.
    rule.endMark = CMAPICommand::kEnd;
    rule.markLastOnly = true;
    return rule;
}

AnswerKind CMAPIInterface::SendAndWait(CMAPICommand& command, const std::string& text, CFiscalCheck& target) {
    if (text.empty()) {
        Log("Empty command");
        return AnswerKind::NotDelivered;
    }
    LogRaw(text, static_cast<int>(text.size()), CLogFile::Outgoing);
    AnswerKind kind = reader.Exchange(text, answerTimeout);
    if (kind == AnswerKind::NotDelivered) {
        // Not every byte left, so the service has no end mark and no command.
        Fail(channel.GetLastError());
        return kind;
    }
    const std::string& reply = reader.Answer();
    if (!reply.empty()) {
        command.ParseReply(reply);
    }
    if (kind == AnswerKind::Cut) {
        if (!reply.empty()) {
            std::string shown = CAnswerReader::Shown(command.MaskedReply(reply));
            LogRaw(shown, static_cast<int>(shown.size()), CLogFile::Incoming);
        }
        if (reader.TooLong()) {
            // The reader said so in the log.
            lastError = CAnswerReader::TooLongText();
        } else {
            Log(channel.GetLastError());
            Fail("Fiscal printer connect cut off. Try again.");
        }
        return kind;
    }
    if (reply.empty()) {
        Fail(text::Format("Waiting time is up. Fiscal printer %s not available.", control.name.c_str()));
        return AnswerKind::TimedOut;
    }
    // Whole, or what came by the end of the answer time without the end mark: the reply. Only
    // of bytes that never became whole does the log show no more than their start.
    auto shown = [&](const std::string& bytes) {
        return kind == AnswerKind::Success ? bytes : CAnswerReader::Shown(bytes);
    };
    if (command.replyOk) {
        std::string masked = shown(command.MaskedReply(reply));
        LogRaw(masked, static_cast<int>(masked.size()), CLogFile::Incoming);
        Log("success");
        target.fiscalNumber = command.replyValue1;
        target.shiftNumber = command.replyValue2;
        target.printerId = command.replyValue3;
        target.SetPrintedFileName(command.replyValue4);
        return AnswerKind::Success;
    }
    std::string logged = shown(reply);
    LogRaw(logged, static_cast<int>(logged.size()), CLogFile::Incoming);
    Fail(command.ErrorText());
    // Bytes that are no reply say nothing of what the service did with the bill: it may hold it.
    return command.IsRefusal() ? AnswerKind::DeviceError : AnswerKind::Cut;
}
