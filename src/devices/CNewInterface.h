#pragma once

#include <string>

#include "devices/CAnswerReader.h"
#include "devices/CPrintInterface.h"
#include "devices/FiscMessage.h"

// The printer-manager interface: registers checks by sending text messages over the channel to
// a printer manager in front of the fiscal printers and waiting for one answer per message.
class CNewInterface : public CPrintInterface {
public:
    ~CNewInterface() override = default;

    // Adds the GTIN code file the settings read with the printer type, and the answer settle time
    // (//printer_ini/answer_settle, ms), to the shared settings.
    bool Configure(CFiscalINI& configuration) override;
    // Takes the printer and its GTIN codes, which turn item codes into product codes.
    bool Connect(const CPrinterControl& printer) override;
    bool PrintCheck(CFiscalCheck& check, bool saveDescriptionOnly) override;
    bool PrintSlip(CPrinterControl& printer) override;
    bool ShowMessage(CPrinterControl& printer, const std::string& message) override { return true; }
    // The printer, the document number and the time: "<printer>_<document>_<day><month>_hhmmss".
    // Cash commands carry no check file, so they get none.
    std::string NewCheckFileName(const CFiscalCheck& check) override;
    AnswerKind CollectLateAnswer(CFiscalCheck& check) override;
    // How long the line stays quiet after an answer's bytes before the answer counts as whole.
    int64_t AnswerSettleMs() const { return reader.SettleMs(); }

    // Sends one message and waits up to timeoutMs (0: answerTimeout) for its answer; true when an
    // answer arrived, whether it reports success or an error (then in lastError).
    bool SendAndWait(const std::string& message, int timeoutMs, CFiscalCheck* target);
    // Device identity, shift number and the tender tests of a refund before the check.
    bool PrepareTender(FiscMessage& message, CFiscalCheck& target, const std::string& flags);
    bool TestTenders(FiscMessage& message, const std::string& flags, CFiscalCheck& target);
    // A posting is split into at most this many lines.
    static constexpr double kMaxLineParts = 1000;

    // Splits postings above the device's largest line amount into parts it accepts; a posting
    // that would take more than kMaxLineParts lines (or has no finite amount) leaves lastError.
    void SplitLargeLines(CFiscalCheck& target);

private:
    bool Register(bool saveDescriptionOnly);
    // One tender test message per payment (cashOnly: only the cash-class ones), in order.
    bool SendTenderTests(FiscMessage& message, const std::string& flags, CFiscalCheck& target, bool cashOnly);
    void AddTextLines(FiscMessage& message);
    void AddItems(FiscMessage& message);
    void AddRequisites(FiscMessage& message);
    std::string SubCode(const struct_posting& posting) const;
    bool IsInterfaceCashier(const std::string& cashierId) const;
    void SendNetAmounts(FiscMessage& message);
    void ReadConfigAnswer(FiscMessage& parser, const std::string& answer);
    // The channel could not be (re)opened: the device is lost.
    bool ConnectionLost();
    bool SendPrint(FiscMessage& message, const std::string& text, int count, int number);
    // Sends a check or a cash command: true only when the manager's answer reports success.
    bool SendDocument(const std::string& message, CFiscalCheck* target);
    // One message and its answer. A registering message (a check or a cash command) whose answer
    // does not come whole is in doubt; any other message without a whole answer closes the
    // channel, so that its late answer cannot be taken for the answer to the next message.
    AnswerKind Exchange(const std::string& message, int timeoutMs, CFiscalCheck* target, bool registering);
    // A whole answer: Success (fiscal number, identity or shift taken) or DeviceError.
    AnswerKind TakeAnswer(AnswerKind kind, const std::string& messageKind, CFiscalCheck* target);
    // An exchange that ended without a whole answer: the error text, and what it means.
    AnswerKind NoAnswer(AnswerKind kind, bool registering);
    // When a printer manager's answer is whole, and what it reports.
    static CAnswerReader::Rule AnswerRule();

    std::string gtinFile;
    // Why the configured answer settle time was not taken, for the log once it is there.
    std::string settleNote;
    // The key of the check being registered.
    std::string exchangeKey;
    // Keeps what came of an answer owed after a time-out until it is collected.
    CAnswerReader reader{channel, AnswerRule()};
    // The last check file name given, so that two checks never share one.
    std::string lastNewName;
};
