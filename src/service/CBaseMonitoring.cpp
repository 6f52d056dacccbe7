#include "service/CBaseMonitoring.h"

#include <algorithm>
#include <exception>
#include <set>

#include "config/AgentDetails.h"
#include "config/CCheckRouter.h"
#include "config/CConfigurationCheck.h"
#include "config/CFiscalINI.h"
#include "config/CFiscalPrinter.h"
#include "devices/CPrintInterface.h"
#include "platform/Clock.h"
#include "platform/CodePage.h"
#include "platform/Environment.h"
#include "platform/FileSystem.h"
#include "platform/ServiceNotifier.h"
#include "platform/Text.h"
#include "service/ServicePaths.h"
#include "storage/CFiscalStorage.h"

namespace {

const char* const kSavedManually = "Check description saved. Close check manually.";

}  // namespace

CBaseMonitoring::CBaseMonitoring(std::unique_ptr<CWorkerParts> workerParts, const std::string& logPath)
    : parts(workerParts ? std::move(workerParts) : std::make_unique<CWorkerParts>()) {
    programFolder = platform::ProgramFolder();
    if (programFolder.empty()) {
        programFolder = "./";
    }
    log.Open(logPath, false);
    // Until SetPlaces says otherwise the journal, the outcomes and the side files are where the
    // log is: the program folder of the service.
    journal.SetBaseFolder(log.GetFolder().empty() ? programFolder : log.GetFolder());
    sideFileFolder = journal.GetBaseFolder();
    journal.SetLog(&log);
    configuration = parts->CreateConfiguration();
    configuration->SetLog(&log);
    printerRegistry = parts->CreatePrinterRegistry();
    router = std::make_unique<CCheckRouter>(*configuration, *printerRegistry, log);
}

CBaseMonitoring::~CBaseMonitoring() = default;

void CBaseMonitoring::SetPlaces(const ServicePaths& paths) {
    configuration->SetLocation(paths.configurationFile, paths.configurationFolders);
    journal.SetBaseFolder(paths.journalFolder);
    sideFileFolder = paths.sideFileFolder;
}

bool CBaseMonitoring::PlacesWritable() {
    // A log closed by a stop that came first is no failure to open it.
    if (!log.IsOpen() && log.GetOpenError() != 0) {
        lastError = log.GetErrorText() + ": " + platform::SystemErrorText(log.GetOpenError());
        return false;
    }
    const std::string& folder = journal.GetBaseFolder();
    if (!platform::IsDirectory(folder) || !platform::IsWritable(folder)) {
        int error = platform::LastSystemError();
        lastError =
            "Check journal folder " + folder + " cannot be written: " + platform::SystemErrorText(error);
        return false;
    }
    return true;
}

std::string CBaseMonitoring::FailureReason() const {
    // The reason and where to read more, on one line.
    const std::string reason = text::ReplaceAll(lastError, "\n", " ");
    const std::string where = " (log: " + log.GetPath() + ")";
    if (endedByError) {
        return reason + where;
    }
    return "start-up failed: " + (reason.empty() ? std::string("see the log") : reason) + where;
}

bool CBaseMonitoring::Start() {
    // From here until the loop has ended a stop waits for this thread: a stop that arrives
    // during start-up finds the storage and the devices ready to block and disconnect, and the
    // loop, which would unblock the payments, is not entered.
    loopThread = std::this_thread::get_id();
    loopIdle.Reset();
    bool started = false;
    try {
        started = StartUp();
        if (started && !stopRequested) {
            if (startedHandler) {
                startedHandler();
            }
            PollingLoop();
        }
    } catch (const std::exception& e) {
        // Nothing the worker meets may end the process unseen, nor leave the payments open with
        // nothing left to register them: the reason is logged and the worker stops as at a stop.
        endedByError = true;
        lastError = std::string("Worker stopped by an error: ") + e.what();
        started = false;
    }
    if (!started) {
        if (!lastError.empty()) {
            Write(lastError);
        }
        Stop();
    }
    loopIdle.Set();
    return started;
}

bool CBaseMonitoring::StartUp() {
    if (!PlacesWritable()) {
        return false;
    }
    if (!configuration->Load()) {
        lastError = configuration->GetLastError();
        return false;
    }
    configuration->SetLog(&log);
    // The file held against what the service reads: told once here, at start-up.
    CConfigurationCheck::Result checked = CConfigurationCheck::Check(*configuration);
    for (const std::string& warning : checked.warnings) {
        Write("Configuration: " + warning);
    }
    if (!checked.errors.empty()) {
        lastError = configuration->GetFileName() + ": " + text::Join(checked.errors, "; ");
        return false;
    }
    if (configuration->ReadParameter("//save_log") == "1") {
        log.SetKeepOldLogs(true);
    }
    std::string codePage = configuration->ReadParameter("//display/codepage");
    if (!codePage.empty()) {
        log.SetEchoCodePage(codePage);
    }
    storageKind = configuration->ReadVersion();
    printerRegistry->SetLog(&log);
    if (!printerRegistry->Load(*configuration)) {
        lastError = printerRegistry->GetLastError();
        return false;
    }
    configuration->LoadRules();

    std::string reason;
    storage = parts->CreateStorage(storageKind, reason);
    if (!storage) {
        // The configured text tells the operator more than the storage kind it gave.
        std::string version = configuration->ReadParameter("//fidelio_ini/version");
        lastError = storageKind == CFiscalINI::kNoStorage
                        ? "Unknown Fidelio version \"" + version +
                              "\": //fidelio_ini/version must be OPERA, OPERA4, OPERA5 or FIDELIO8"
                        : reason;
        return false;
    }
    ApplyNlsLang(configuration->ReadParameter("//fiscal_trans_ini/qel_nls_lang"));
    storage->SetLogFile(&log);
    storage->SetSideFileFolder(sideFileFolder);
    if (!storage->Open(*configuration)) {
        lastError = storage->GetLastError();
        return false;
    }

    afterPrintPause = configuration->waitNextCheck == 0 ? 5000 : configuration->waitNextCheck;
    std::string block = configuration->ReadParameter("//fidelio_ini/block_payments");
    blockingDisabled = block == "N" || block == "0";
    pollPeriod = configuration->baseMonitoring == 0 ? 5000 : configuration->baseMonitoring;

    std::string decimalPoint = configuration->ReadParameter("//printer_ini/decimal_point");
    if (!decimalPoint.empty()) {
        Write("Decimal point position: " + decimalPoint);
    }
    Write(configuration->ReadParameter("//printer_ini/print_copy") == "1" ? "Print copy: Yes" : "Print copy: No");
    Write(configuration->ReadParameter("//printer_ini/cash_drawer") == "1" ? "Cash Drawer: Yes" : "Cash Drawer: No");
    if (configuration->ReadParameter("//printer_ini/save_shift_number") == "1") {
        Write("Save Shift Number: Yes");
    }
    std::string expand = configuration->ReadParameter("//micros_check_expand");
    posExpandMode = expand == "1" || expand == "2";
    if (configuration->ReadParameter("//printer_ini/print_refund") == "2") {
        Write("Refund processing!");
        refundProcessing = true;
    }
    ReadAgentRequisites();
    if (!CreateInterfaces()) {
        return false;
    }
    return OpenOutcomes();
}

bool CBaseMonitoring::OpenOutcomes() {
    std::string error;
    // Beside the check journal: fiscal state that must outlive the log (the state folder of an
    // installed service, the program folder otherwise).
    if (!ledger.Open(journal.GetBaseFolder(), error)) {
        lastError = error;
        return false;
    }
    ledger.SetStorage(*storage);
    ledger.SetSettledHandler([this](const std::string& printer, const std::string& key, const CFiscalCheck& check) {
        // Journalled: what the device kept of the exchange for a repeat may go now, not before.
        auto device = interfaces.find(printer);
        if (device != interfaces.end()) {
            device->second->ExchangeSettled(key, check);
        }
    });
    ledger.SetEventHandler([this](CCheckLedger::Event event) {
        // Payments: blocked while nothing can be sent or a registration waits for the database.
        SetPaymentBlock(event != CCheckLedger::Event::Recorded);
        if (event == CCheckLedger::Event::Recorded) {
            Write("Successful");
        }
    });
    ledger.SetRegistrationRecords(journal, configuration->printerType == 10, refundProcessing);
    SettleFinalEntries();
    size_t doubtful = ledger.ExchangesInDoubt();
    size_t waiting = ledger.RegistrationsWaiting();
    if (doubtful + waiting > 0) {
        Write(text::Format("%s: %zu checks in doubt, %zu registrations waiting for the database",
                           ledger.Outcomes().Path().c_str(), doubtful, waiting));
    }
    // Long enough for the longest stretch between two renewals: the pauses, and a device
    // exchange with the collection of its late answer.
    int64_t longest = 0;
    for (const auto& [name, device] : interfaces) {
        longest = std::max(longest, 2 * device->ExchangeBoundMs());
    }
    int64_t stretch = (pollPeriod + kPreCheckPause + afterPrintPause + longest) / 1000;
    lease = std::make_unique<CPropertyLease>(
        *storage, log, static_cast<int>(std::max<int64_t>(kMinimumLeaseSeconds, 2 * stretch)));
    return true;
}

void CBaseMonitoring::ReadAgentRequisites() {
    const std::string path = sideFileFolder + "AgentDetails.txt";
    std::map<int, std::string> agentRequisites;
    switch (AgentDetails::Read(path, agentRequisites)) {
        case platform::ReadStatus::CannotOpen:
        case platform::ReadStatus::Failed:
            return;
        case platform::ReadStatus::TooLong:
            Write(text::Format("%s is longer than %zu bytes: no agent requisites are read", path.c_str(),
                               AgentDetails::kMaxFileBytes));
            return;
        case platform::ReadStatus::Ok:
            break;
    }
    Write("AGENT REQUISITES SUPPORTED");
    for (const auto& [code, requisites] : agentRequisites) {
        Write(text::Format("%d : %s", code, requisites.c_str()));
    }
    std::string agentTax = configuration->ReadParameter("//tax_mode/agent_tax");
    if (agentTax.empty()) {
        agentTax = "0";
    } else {
        Write("Agent tax: " + agentTax);
    }
    preparer.SetAgentRequisites(std::move(agentRequisites), std::move(agentTax));
}

bool CBaseMonitoring::CreateInterfaces() {
    for (const CPrinterControl& printer : printerRegistry->printers) {
        std::string reason;
        std::unique_ptr<CPrintInterface> device = parts->CreateInterface(configuration->printerType, reason);
        if (!device) {
            lastError = reason;
            return false;
        }
        device->Configure(*configuration);
        device->SetLog(&log);
        device->includeRoomRate = storage->includeRoomRate;
        device->checkLogger.SetBaseFolder(journal.GetBaseFolder());
        if (!device->Connect(printer)) {
            lastError = "printer " + printer.name + " (" + printer.ConnectionText() + "): " +
                        (device->GetLastError().empty() ? "its device interface cannot be set up"
                                                        : device->GetLastError());
            return false;
        }
        std::lock_guard<std::mutex> guard(interfacesLock);
        if (stopRequested) {
            device->RequestStop();
        }
        interfaces[printer.name] = std::move(device);
    }
    return true;
}

bool CBaseMonitoring::Pause(int64_t ms) {
    // A stop asked for while the pause ends, before it has set the event, still ends the loop
    // before the next check starts.
    return stopRequested || platform::Clock::Current().Wait(stopEvent, ms) || stopRequested;
}

void CBaseMonitoring::PollingLoop() {
    Write("Start service");
    lease->Hold();
    SetPaymentBlock(false);
    ReportHealth();
    if (!stopRequested) {
        stopEvent.Reset();
    }
    bool stopped = false;
    while (!stopped) {
        if (Pause(pollPeriod)) {
            break;
        }
        log.CheckSize();
        // Only the holder of the lease works, and registrations already made are written
        // before anything new is discovered.
        if (!lease->Hold()) {
            if (lease->Held()) {
                // Still this service's lease, but the database did not take its renewal: nothing
                // is registered, and the health tells why.
                SetPaymentBlock(true);
            }
            ReportHealth();
            continue;
        }
        if (!ledger.Mend() || !WritePendingOutcomes()) {
            // Nothing can be registered now: no payment may be taken that nothing registers.
            SetPaymentBlock(true);
            ReportHealth();
            continue;
        }
        storage->CheckBusinessDate();
        checks.clear();
        storage->GetChecks(checks);
        if (checks.empty()) {
            // Nothing due, and nothing in the way of a registration: payments open. A database
            // that does not answer found nothing because it said nothing.
            SetPaymentBlock(!storage->DatabaseReachable());
        }
        cycleRemaining = static_cast<int>(checks.size());
        cycleFailed = 0;
        cycleTaken = 0;
        cycleRefused = 0;
        ReportHealth();
        for (const CFiscalCheck& due : checks) {
            if (Pause(kPreCheckPause)) {
                stopped = true;
                break;
            }
            CCheckInWork work(due);
            preparer.WriteCheckText(work.check, 4);
            bool pause = ProcessCheck(work);
            --cycleRemaining;
            ++cycleTaken;
            cycleRefused += work.statusRefused ? 1 : 0;
            ReportHealth();
            if (pause && Pause(afterPrintPause)) {
                stopped = true;
                break;
            }
            if (!lease->Held() || ledger.Broken() || ledger.RegistrationsWaiting() > 0) {
                // The lease is gone, the outcome journal or the database refused a registration's
                // record: nothing more now.
                break;
            }
        }
        if (cycleTaken > 0 && cycleRefused == cycleTaken) {
            // The database took no check's status: none can be registered.
            SetPaymentBlock(true);
        }
    }
    CollectOwedAnswers();
    Write("Stop payment monitoring");
}

void CBaseMonitoring::CollectOwedAnswers() {
    for (auto& [name, device] : interfaces) {
        SettleOwedAnswer(*device, name, "");
    }
}

bool CBaseMonitoring::ProcessCheck(CCheckInWork& work) {
    // The stage the check ended from tells whether a device answered it: the after-print pause
    // follows then.
    CheckStage last = work.stage;
    while (work.stage != CheckStage::LetterWritten) {
        last = work.stage;
        work.stage = Advance(work);
    }
    return last == CheckStage::Answered || last == CheckStage::InDoubt || last == CheckStage::Failed;
}

CheckStage CBaseMonitoring::Advance(CCheckInWork& work) {
    switch (work.stage) {
        case CheckStage::Due:
            return Route(work);
        case CheckStage::Routed:
            return NameFile(work);
        case CheckStage::FileNamed:
            return Send(work);
        case CheckStage::Sent:
            return StageOf(work.answer);
        case CheckStage::Answered:
            MarkPrinter(work.route.printer.name, true);
            ledger.Registered(work.check, work.route.printer, work.key);
            return CheckStage::LetterWritten;
        case CheckStage::InDoubt:
            MarkPrinter(work.route.printer.name, false);
            KeepInDoubt(work);
            return CheckStage::LetterWritten;
        case CheckStage::Failed:
            return Fail(work);
        case CheckStage::LetterWritten:
            break;
    }
    return CheckStage::LetterWritten;
}

CheckStage CBaseMonitoring::Route(CCheckInWork& work) {
    CFiscalCheck& check = work.check;
    if (!ledger.WriteLetter(check, CheckStatusLetter::NotRegistered)) {
        work.statusRefused = true;
        return CheckStage::LetterWritten;
    }
    work.route = router->Route(check, [this, &work](CFiscalCheck& routed) { return BoundPrinter(work, routed); });
    work.device = work.route.printerChosen ? DeviceOf(work.route.printer.name) : nullptr;
    const bool rulesOk = work.route.rulesOk;
    if (check.statusCode == kNotToRegister) {
        ledger.Close(check, ClosedChecks::Why::ByRules);
        return CheckStage::LetterWritten;
    }
    if (check.statusCode == kWrongPayment) {
        ledger.Close(check, ClosedChecks::Why::ByRules, "Wrong payment");
        return CheckStage::LetterWritten;
    }
    if (check.statusCode == kNoPrinter) {
        CloseByHand(work);
        return CheckStage::LetterWritten;
    }
    if (posExpandMode) {
        ReadPosChecks(check);
        return rulesOk ? CheckStage::Routed : RulesFailed(work);
    }
    return preparer.Prepare(check, rulesOk) ? CheckStage::Routed : RulesFailed(work);
}

CheckStage CBaseMonitoring::RulesFailed(CCheckInWork& work) {
    CFiscalCheck& check = work.check;
    if (check.checkMode == 7 && (work.route.ruleVerdict == 4 || check.documentKind == 4)) {
        CFiscalCheck shortCheck(check);
        bool created = shortCheck.TryToCreateShortCheck();
        SaveDescription(work);
        const std::string& reason = work.route.rulesError;
        work.message = reason.empty() ? "Check description saved" : reason + " Check description saved";
        Write(work.message);
        ReportToOperator(work, work.message);
        if (!created) {
            return CheckStage::LetterWritten;
        }
        check = shortCheck;
        return CheckStage::Routed;
    }
    work.message = work.route.rulesError;
    // A letter the database refuses leaves the row as it was: the next cycle meets the check again.
    if (check.statusCode == kDepositCheck && check.documentKind != 0) {
        static_cast<void>(ledger.WriteLetter(check, CheckStatusLetter::Deposit));
    } else if (check.statusCode == kDepositCheck) {
        ReportToOperator(work, work.message);
        static_cast<void>(ledger.WriteLetter(check, CheckStatusLetter::NotRegistered));
    } else if (check.statusCode == kDepositLikeCheck) {
        ledger.Close(check, ClosedChecks::Why::ByRules);
    } else {
        CloseByHand(work);
    }
    return CheckStage::LetterWritten;
}

CheckStage CBaseMonitoring::NameFile(CCheckInWork& work) {
    CFiscalCheck& check = work.check;
    if (!ledger.ValidateCheck(check, work.route.printer.name)) {
        CloseByHand(work);
        return CheckStage::LetterWritten;
    }
    if (check.checkMode == 7) {
        preparer.ApplyAgentData(check);
    }
    if (work.route.connection.empty()) {
        Write(work.route.printerError);
        SaveDescriptionAndClose(work);
        return CheckStage::LetterWritten;
    }
    // A refund without its confirmation, or a file name not kept, stays N for a later cycle.
    if ((refundProcessing && !ConfirmRefunds(work)) || !ChooseCheckFileName(work)) {
        return CheckStage::LetterWritten;
    }
    if (work.key.empty()) {
        work.key = ExchangeKey(check);
    }
    return CheckStage::FileNamed;
}

CheckStage CBaseMonitoring::Send(CCheckInWork& work) {
    CFiscalCheck& check = work.check;
    if (work.device) {
        SettleOwedAnswer(*work.device, work.route.printer.name, work.key);
    }
    if (work.device && work.device->AnswerOwed() && work.device->OwedExchangeKey() == work.key) {
        // The answer to this check's own earlier message: known now, registered or refused, the
        // check is bound to no printer from the next cycle on.
        work.answer = CollectLateAnswer(*work.device, work.route.printer.name, check);
        if (work.answer == AnswerKind::Success || work.answer == AnswerKind::DeviceError) {
            work.inDoubt = false;
        }
    }
    if (work.answer != AnswerKind::Success) {
        if (work.device && work.inDoubt && !work.device->CanRepeat(check)) {
            Write(text::Format(
                "Check %s is in doubt on printer %s, which would not know it again: it is not sent again",
                check.checkNumber.c_str(), work.route.printer.name.c_str()));
            Settle(work.key);
            CloseByHand(work);
            return CheckStage::LetterWritten;
        }
        work.answer = Attempt(work);
    }
    // Nothing was sent when another service holds the property now.
    return lease->Held() ? CheckStage::Sent : CheckStage::LetterWritten;
}

CheckStage CBaseMonitoring::Fail(CCheckInWork& work) {
    CFiscalCheck& check = work.check;
    // Proven not registered. A check still in doubt from before stays so: the answer to its first
    // message may yet show it registered.
    ledger.Failed(check, work.key, !work.inDoubt);
    // Only a device that was called tells whether its connection failed.
    bool deviceCalled = work.device && !work.journalRefused;
    if (deviceCalled) {
        MarkPrinter(work.route.printer.name, false);
    }
    SetPaymentBlock(work.journalRefused || (deviceCalled && work.device->blockOnFailure));
    ReportToOperator(work, deviceCalled ? work.device->GetLastError() : work.message);
    // A check bound to its printer waits for that one; a refund never goes elsewhere; with
    // the journal refusing records no printer can take it.
    if (work.pinned || ledger.Broken() || !(check.paymentsTotal > 0 && ChooseReserve(work))) {
        ++cycleFailed;
        return CheckStage::LetterWritten;
    }
    work.answer = AnswerKind::None;
    return CheckStage::FileNamed;  // the reserve printer, under the same key and check file name
}

bool CBaseMonitoring::ChooseCheckFileName(CCheckInWork& work) {
    CFiscalCheck& check = work.check;
    if (!check.printedFileName.empty() || !work.device || work.pinned) {
        return true;
    }
    std::string name = work.device->NewCheckFileName(check);
    if (name.empty()) {
        return true;  // a device that keeps no check files
    }
    return ledger.KeepCheckFileName(check, name);
}

CheckStage CBaseMonitoring::StageOf(AnswerKind answer) {
    switch (answer) {
        case AnswerKind::Success:
            return CheckStage::Answered;
        case AnswerKind::TimedOut:
        case AnswerKind::Cut:
            return CheckStage::InDoubt;
        case AnswerKind::None:
        case AnswerKind::DeviceError:
        case AnswerKind::NotDelivered:
            break;
    }
    return CheckStage::Failed;
}

AnswerKind CBaseMonitoring::Attempt(CCheckInWork& work) {
    CFiscalCheck& check = work.check;
    if (!work.device) {
        // A printer name without an interface: a failed attempt, the check stays "N".
        work.message = text::Format("Printer number %s has no device interface.", work.route.printer.name.c_str());
        Write("PrintInterface is NULL!");
        return AnswerKind::NotDelivered;
    }
    // The lease is renewed right before the device is called and must outlast the exchange by
    // this service's own clock; the call is on the disk first.
    if (!lease->Hold() || !lease->Covers(work.device->ExchangeBoundMs())) {
        return AnswerKind::NotDelivered;
    }
    if (!ledger.Sending(work.key, work.route.printer.name, check)) {
        work.message = "The outcome journal " + ledger.Outcomes().Path() + " cannot be written: nothing is sent";
        work.journalRefused = true;
        JournalFailed();
        return AnswerKind::NotDelivered;
    }
    work.device->SetExchange(work.key, work.inDoubt);
    return work.device->Register(check);
}

void CBaseMonitoring::SettleOwedAnswer(CPrintInterface& device, const std::string& printerName,
                                       const std::string& ownKey) {
    if (!device.AnswerOwed() || device.OwedExchangeKey() == ownKey) {
        return;
    }
    const std::string key = device.OwedExchangeKey();
    const COutcomeJournal::Entry* entry = ledger.Outcomes().Find(key, 0);
    CFiscalCheck owed = entry ? entry->Check() : CFiscalCheck();
    const std::string printer = entry ? entry->printer : printerName;
    if (CollectLateAnswer(device, printerName, owed) == AnswerKind::Success && entry) {
        ledger.Registered(owed, router->PrinterNamed(printer), key);
    }
}

AnswerKind CBaseMonitoring::CollectLateAnswer(CPrintInterface& device, const std::string& printerName,
                                              CFiscalCheck& owed) {
    const std::string key = device.OwedExchangeKey();
    AnswerKind late = device.CollectLateAnswer(owed);
    Write(text::Format("Late answer for %s from printer %s: %s", key.c_str(), printerName.c_str(),
                       AnswerKindText(late)));
    if (late == AnswerKind::DeviceError) {
        Settle(key);  // refused by the device: proven not registered
    }
    return late;
}

void CBaseMonitoring::KeepInDoubt(CCheckInWork& work) {
    CFiscalCheck& check = work.check;
    const std::string& key = work.key;
    ledger.KeptInDoubt(check, key, work.answer);
    Write(text::Format(
        "Check %s in doubt on printer %s (%s, %s): kept for that printer only, sent again under "
        "the same check file name",
        check.checkNumber.c_str(), work.route.printer.name.c_str(), AnswerKindText(work.answer), key.c_str()));
    SetPaymentBlock(work.device->blockOnFailure);
    ReportToOperator(work, work.device->GetLastError());
}

void CBaseMonitoring::JournalFailed() {
    // The ledger told why; nothing is sent until the journal takes records again.
    SetPaymentBlock(true);
}

void CBaseMonitoring::Settle(const std::string& key) {
    if (!ledger.Settle(key)) {
        JournalFailed();
    }
}

void CBaseMonitoring::SettleFinalEntries() {
    const COutcomeJournal& outcomes = ledger.Outcomes();
    std::vector<std::string> doubtful;
    for (const auto& [key, entry] : outcomes.Entries()) {
        if (entry.state != COutcomeJournal::State::Outcome && entry.firstTransaction != 0) {
            doubtful.push_back(key);
        }
    }
    for (const std::string& key : doubtful) {
        const COutcomeJournal::Entry& entry = *outcomes.Find(key, 0);
        std::optional<CheckStatusLetter> letter;
        if (!storage->ReadStatusLetter(entry.firstTransaction, letter)) {
            return;  // the database does not tell: they stay in doubt
        }
        if (RegisteredLetter(letter)) {
            Write(text::Format("Check %s (transaction %d, %s) is %s in the status table: no longer in doubt",
                               entry.Check().checkNumber.c_str(), entry.firstTransaction, key.c_str(),
                               LetterText(*letter).c_str()));
            Settle(key);
        }
    }
}

bool CBaseMonitoring::WritePendingOutcomes() {
    const COutcomeJournal& outcomes = ledger.Outcomes();
    for (const std::string& key : outcomes.KeysIn(COutcomeJournal::State::Outcome)) {
        std::string printer = outcomes.Find(key, 0)->printer;
        CFiscalCheck check = outcomes.Find(key, 0)->Check();
        if (!ledger.WriteRegistration(check, router->PrinterNamed(printer), key)) {
            return false;
        }
        Write(text::Format("Registration of check %s (fiscal number %s, printer %s) written from %s",
                           check.checkNumber.c_str(), check.fiscalNumber.c_str(), printer.c_str(),
                           outcomes.Path().c_str()));
    }
    return true;
}

std::string CBaseMonitoring::BoundPrinter(CCheckInWork& work, CFiscalCheck& check) {
    const COutcomeJournal::Entry* held = ledger.EntryOf(check);
    if (!held || held->state == COutcomeJournal::State::Outcome) {
        return "";
    }
    // In doubt on its printer: only that printer may hold the registration.
    const std::string& name = held->printer;
    check.printerName = name;
    if (check.printedFileName.empty()) {
        check.printedFileName = held->Check().printedFileName;
    }
    work.key = held->key;
    work.pinned = true;
    work.inDoubt = true;
    Write(text::Format("Check %s is in doubt on printer %s: only that printer is used", check.checkNumber.c_str(),
                       name.c_str()));
    return name;
}

bool CBaseMonitoring::ChooseReserve(CCheckInWork& work) {
    if (!router->Reserve(work.check, work.route)) {
        return false;
    }
    work.device = DeviceOf(work.route.printer.name);
    return true;
}

CPrintInterface* CBaseMonitoring::DeviceOf(const std::string& name) const {
    auto found = interfaces.find(name);
    if (found == interfaces.end()) {
        found = interfaces.find("");
    }
    return found == interfaces.end() ? nullptr : found->second.get();
}

void CBaseMonitoring::SetPaymentBlock(bool block, const std::string& reason) {
    std::lock_guard<std::mutex> guard(blockLock);
    // Payment entry belongs to the service that holds the property.
    if (blockingDisabled || paymentsBlocked == block || !storage || !lease || !lease->Held()) {
        return;
    }
    if (!block && ledger.Broken()) {
        return;  // nothing can be sent while the outcome journal refuses its records
    }
    if (storage->BlockPayments(block, reason)) {
        Write(block ? "Block payments" : "Unblock payments");
        Write("Successful");
        paymentsBlocked = block;
    }
}

void CBaseMonitoring::MarkPrinter(const std::string& name, bool reachable) {
    if (reachable) {
        unreachablePrinters.erase(name);
    } else {
        unreachablePrinters.insert(name);
    }
}

void CBaseMonitoring::ReportHealth() {
    if (!healthHandler) {
        return;
    }
    WorkerHealth health;
    health.pendingChecks = cycleRemaining + cycleFailed;
    health.inDoubtChecks = static_cast<int>(ledger.ExchangesInDoubt());
    health.waitingRegistrations = static_cast<int>(ledger.RegistrationsWaiting());
    health.unreachablePrinters.assign(unreachablePrinters.begin(), unreachablePrinters.end());
    health.paymentsBlocked = paymentsBlocked && !blockingDisabled;
    health.databaseReachable = storage && storage->DatabaseReachable();
    if (storage) {
        health.closed = storage->closedToday;
    }
    if (!health.databaseReachable && storage) {
        health.databaseError = storage->GetLastError();
        health.databaseSilentSince = storage->DatabaseSilentSince();
        health.databaseSilentSeconds = WorkerHealth::RoundedSilence(storage->DatabaseSilentMs());
    }
    health.waiting = lease ? lease->WaitingReason() : "";
    if (healthReported && health == reportedHealth) {
        return;
    }
    reportedHealth = health;
    healthReported = true;
    healthHandler(health);
}

void CBaseMonitoring::ReportToOperator(CCheckInWork& work, const std::string& message) {
    const CFiscalCheck& check = work.check;
    if (message.empty() || check.documentKind == 2) {
        return;
    }
    std::string full = check.checkNumber.empty() ? message : "Check " + check.checkNumber + ". " + message;
    if (work.device) {
        work.device->ShowMessage(work.route.printer, full);
    } else {
        Write("PrintInterface is NULL!");
    }
}

void CBaseMonitoring::SaveDescription(CCheckInWork& work) {
    if (work.device) {
        work.device->PrintCheck(work.check, true);
    } else {
        // No device interface to hand the description to: the journal keeps it instead, so the
        // check can still be closed by hand.
        journal.SaveDescription(work.route.printer, work.check);
    }
}

bool CBaseMonitoring::SaveDescriptionAndClose(CCheckInWork& work) {
    SaveDescription(work);
    // A refund the rules refused (a return the tax service cannot take) is closed for a
    // registration by hand as well, but counted apart.
    return ledger.Close(
        work.check, work.check.statusCode == kBillRefund ? ClosedChecks::Why::Refused : ClosedChecks::Why::ByHand);
}

void CBaseMonitoring::CloseByHand(CCheckInWork& work) {
    SaveDescriptionAndClose(work);
    work.message = kSavedManually;
    ReportToOperator(work, work.message);
}

bool CBaseMonitoring::ConfirmRefunds(CCheckInWork& work) {
    CFiscalCheck& check = work.check;
    for (const struct_posting& payment : check.payments) {
        if (!(payment.trx_amount < 0 && payment.pay_kind == 0)) {
            continue;
        }
        Write(text::Format("Check reference %s for confirmation %s", payment.reference.c_str(),
                           check.folioNumber.c_str()));
        if (payment.reference.empty()) {
            Write("Reference is empty");
            ReportToOperator(work, platform::Cp1251("Для чека возврата не введен номер исходной операции. "
                                                    "Введите номер в поле Reference."));
            return false;
        }
        int referenced = text::ToInt(payment.reference);
        if (referenced == 0) {
            Write("Reference is not correct");
            if (payment.reference.find("Split") != std::string::npos) {
                ReportToOperator(work, platform::Cp1251("Для чека возврата введите номер исходной операции в "
                                                        "Reference."));
            } else {
                ReportToOperator(work, platform::Cp1251("Для чека возврата введен неверный номер исходной "
                                                        "операции. Введите номер в поле Reference."));
            }
            return false;
        }
        if (!storage->ConfirmRefund(check, referenced, payment.trx_amount)) {
            ReportToOperator(work, storage->GetLastError());
            return false;
        }
    }
    return true;
}

void CBaseMonitoring::ReadPosChecks(CFiscalCheck& check) {
    std::set<std::string> expanded;
    int posSystem = 0;
    size_t i = 0;
    while (i < check.postings.size()) {
        const struct_posting& posting = check.postings[i];
        std::string number;
        bool flag;
        if (storage->IsPosRevenueCenter(posting.trx_code)) {
            number = posting.reference;
            flag = false;
            if (posSystem == 0) {
                posSystem = posting.trx_code;
            }
        } else {
            number = posting.cheque_number;
            flag = posting.pos_flag;
        }
        if (number.empty()) {
            ++i;
            continue;
        }
        if (!configuration->IsInterfaceCashier(posting.cashier_id)) {
            Write("Not inteface cashier " + posting.cashier_id);
            ++i;
            continue;
        }
        if (!expanded.insert(number).second) {
            ++i;
            continue;
        }
        if (posSystem != 0) {
            Write(text::Format("Read Micros Check %s, SI %d", number.c_str(), posSystem));
        } else {
            Write("Read Interface Check " + number);
        }
        storage->ExpandPosCheck(number, posSystem, flag, check);
        posSystem = 0;
        i = 0;
    }
}

void CBaseMonitoring::ApplyNlsLang(const std::string& value) {
    Write("Original NLS_LANG: " + platform::GetEnv("NLS_LANG"));
    if (!value.empty()) {
        platform::SetEnv("NLS_LANG", value);
        Write("New NLS_LANG: " + platform::GetEnv("NLS_LANG"));
    }
}

bool CBaseMonitoring::Stop() {
    stopRequested = true;
    // A statement the loop is in, and one more before it sees the stop, each wait at most this
    // long for the database; so do the payment block and the lease's release after the loop.
    const int64_t statements = 2 * CFiscalStorage::kStatementWaitSeconds * 1000;
    int64_t wait = kStopLoopWait + statements;
    {
        // From now on no device starts a new message; one already sent is answered or times out
        // within the device's own bounds, so the loop is awaited that long and no exchange is
        // abandoned half way.
        std::lock_guard<std::mutex> guard(interfacesLock);
        for (auto& [name, device] : interfaces) {
            device->RequestStop();
            // The exchange in flight, then the collection of its late answer.
            wait = std::max(wait, 2 * device->ExchangeBoundMs() + kStopLoopWait + statements);
        }
    }
    // systemd would kill a stop that outlasts the unit's stop time-out: it is told how long this
    // one may take, and the tail of the stop after it.
    platform::ServiceNotifier::ExtendTimeout(wait + kStopLoopWait + statements);
    stopEvent.Set();
    // Rather than a blind pause, wait for the loop to reach its next wait and end, so that the
    // storage and the devices are never used from two threads at once.
    bool idle = std::this_thread::get_id() == loopThread || loopIdle.Wait(wait);
    if (!idle) {
        Write("Stop: the registration in progress did not end in time");
    }
    SetPaymentBlock(true);
    if (idle && lease) {
        // Given up, so that a service waiting for the property takes over at once.
        lease->Release();
    }
    for (auto& [name, device] : interfaces) {
        device->Disconnect();
    }
    Write("Stop service");
    log.Close();
    stoppedEvent.Set();
    return true;
}
