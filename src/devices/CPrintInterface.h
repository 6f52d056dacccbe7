#pragma once

#include <atomic>
#include <cstdint>
#include <string>
#include <vector>

#include "check/CFiscalCheck.h"
#include "config/CPrinterControl.h"
#include "devices/AnswerKind.h"
#include "journal/CCheckLogger.h"
#include "pos/CSockets.h"

class CFiscalINI;
class CLogFile;

// The key under which a registration of the check is known while it is in doubt: its check file
// name, or, for a check without one, its bill number and first transaction ("bill/trx").
std::string ExchangeKey(const CFiscalCheck& check);

// A fiscal device interface: registers a check on the device of one printer. The state and
// behaviour below are shared by every kind of device.
//
// Threads: every operation runs on the worker thread, except RequestStop, which the control
// thread calls at stop. Ownership: the worker owns the interface; the interface owns its channel
// and works on its own copy of a check, writing back only the registration fields.
class CPrintInterface {
public:
    virtual ~CPrintInterface() = default;

    // saveDescriptionOnly true: do not register, only save the check's description for a manual
    // close (the result is not used). false: register the check. The result is true exactly when
    // LastAnswer() is Success; the check then carries its fiscalNumber, printerId, shiftNumber
    // and printedFileName. A check that has a check file name (printedFileName, chosen with
    // NewCheckFileName and stored by the worker before the first attempt) is sent under that
    // name on every attempt, so that a device that keeps its check files recognises a repeat.
    // While AnswerOwed() nothing is sent: the result is false with NotDelivered.
    virtual bool PrintCheck(CFiscalCheck& check, bool saveDescriptionOnly) = 0;
    // Registers the check (PrintCheck(check, false)) and tells how the exchange ended. A device
    // that does not tell its answer kind is judged by its result alone.
    AnswerKind Register(CFiscalCheck& check);
    virtual bool PrintSlip(CPrinterControl& printer) = 0;
    virtual bool ShowMessage(CPrinterControl& printer, const std::string& message) = 0;

    // A new check file name for the check: the key under which the device keeps a registration.
    // The worker asks once per check, before its first attempt, and stores the name with the
    // check's status rows; every retry, also after a restart, reuses it. Empty when this kind of
    // device keeps no check files (the check then carries no name and a repeat is not known).
    virtual std::string NewCheckFileName(const CFiscalCheck& check);
    // Whether the device knows the check, sent again, for a repeat of its earlier sending (so
    // that a check in doubt may be sent again without being registered twice). By default: when
    // it carries a check file name. A check in doubt that cannot be repeated is closed by hand.
    virtual bool CanRepeat(const CFiscalCheck& check) const { return !check.printedFileName.empty(); }

    // Told by the worker before each PrintCheck(check, false): the check's key in the outcome
    // journal, and whether the journal holds that exchange in doubt (its earlier message may be
    // registered: this sending repeats it). The journal is the one source of "in doubt": a device
    // that keeps lists of its own (Czech sales without an answer, Mongolian bill numbers held)
    // takes an exchange in doubt for a repeat whatever its list says. Used by the next
    // PrintCheck only.
    void SetExchange(const std::string& key, bool inDoubt) {
        exchangeKey = key;
        exchangeInDoubt = inDoubt;
    }
    // The worker has journalled the end of the exchange of that key (registered and written, or
    // proven not registered): what the device kept of it for a repeat may go. Not before, so that
    // a crash between the device's answer and the journal leaves the exchange repeatable as it
    // went. Called on the interface of the printer the exchange went to.
    virtual void ExchangeSettled(const std::string& key, const CFiscalCheck& check) {}

    // How the last PrintCheck(check, false) or CollectLateAnswer ended.
    AnswerKind LastAnswer() const { return lastAnswer; }

    // True while the answer to a registering message that timed out may still arrive on the open
    // channel. Nothing else may be sent on this device until CollectLateAnswer has run.
    bool AnswerOwed() const { return !owedKey.empty(); }
    // The ExchangeKey of the check whose answer is owed (empty when none is).
    const std::string& OwedExchangeKey() const { return owedKey; }
    // Waits up to the answer time-out for the owed answer and reads it. Success: the check (the
    // one in doubt) now carries its fiscal number, printer id and shift, as after PrintCheck.
    // DeviceError: the device refused it, it is not registered. TimedOut: no answer came; the
    // channel is closed, so that a later answer can never be taken for that of another message,
    // and the check stays in doubt. Afterwards AnswerOwed() is false. Without an owed answer the
    // result is None and nothing waits.
    virtual AnswerKind CollectLateAnswer(CFiscalCheck& check);

    // From the control thread, at stop: no new message is sent from now on (PrintCheck ends with
    // NotDelivered before sending anything); an answer already awaited is still awaited, within
    // its time-out, so that an exchange in flight ends with a known answer kind.
    void RequestStop() { stopRequested = true; }
    bool StopRequested() const { return stopRequested; }
    // The longest an exchange in flight can still take: the connect plus the answer time-out.
    virtual int64_t ExchangeBoundMs() const;

    // Shared settings, the log, and the device connection. Virtual so that each kind of device
    // (and a test double) can add to them.
    virtual bool Configure(CFiscalINI& configuration);
    virtual void SetLog(CLogFile* logFile);
    virtual bool Connect(const CPrinterControl& printer);
    virtual void Disconnect();
    virtual bool EnsureConnection();

    void Log(const std::string& text) const;
    void LogRaw(const std::string& bytes, int length, int direction) const;
    void LogList(const std::vector<std::string>& lines) const;
    const std::string& GetLastError() const { return lastError; }

    CPrinterControl control;
    CSockets channel;
    CFiscalCheck check;
    std::string printerId;
    std::string shiftNumber;
    int32_t printerKind = 99;
    CLogFile* log = nullptr;
    int32_t answerTimeout = 7000;
    std::string lastError;
    int32_t decimals = 2;
    // Labels printed before check attributes.
    std::string account, room, cashierName, reservation, cashier, company, guest, tin, vat, roomNumber;
    bool printCopy = false;
    bool cashDrawer = false;
    bool includeRoomRate = false;
    bool blockOnFailure = false;
    bool checkRefund = false;
    bool saveShiftNumber = false;
    int32_t interfaceCashier = 0;
    CCheckLogger checkLogger;

protected:
    // Every kind of device sets these: lastAnswer in each PrintCheck(check, false), owedKey when
    // a registering message timed out on a channel that stays open.
    AnswerKind lastAnswer = AnswerKind::None;
    std::string owedKey;
    std::atomic<bool> stopRequested{false};
    // What SetExchange told for the next PrintCheck; the key falls back to ExchangeKey(check).
    // Taken (and so forgotten) by TakeExchangeKey.
    std::string TakeExchangeKey(const CFiscalCheck& check);
    std::string exchangeKey;
    bool exchangeInDoubt = false;
};
