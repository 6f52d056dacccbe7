#include "service/CBaseMonitoring.h"

#include <cmath>
#include <fstream>
#include <set>

#include "check/CCurrency.h"
#include "config/CFiscalINI.h"
#include "devices/CFiscalPrinter.h"
#include "platform/Clock.h"
#include "platform/CodePage.h"
#include "platform/Environment.h"
#include "platform/FileSystem.h"
#include "platform/Text.h"
#include "pos/CMicrosCheck.h"
#include "service/CFiscalStorage.h"
#include "service/CPrintInterface.h"

namespace {

const char* const kSavedManually = "Check description saved. Close check manually.";

double RoundToCents(double amount) { return static_cast<double>(CCurrency::Of(amount).AsDouble()); }

}  // namespace

CBaseMonitoring::CBaseMonitoring(std::unique_ptr<CWorkerParts> workerParts, const std::string& logPath)
    : parts(workerParts ? std::move(workerParts) : std::make_unique<CWorkerParts>()) {
    programFolder = platform::ProgramFolder();
    if (programFolder.empty()) {
        programFolder = "./";
    }
    journal.SetBaseFolder(programFolder);
    log.Open(logPath, false);
    journal.SetLog(&log);
    configuration = parts->CreateConfiguration();
    configuration->SetLog(&log);
    printerRegistry = parts->CreatePrinterRegistry();
}

CBaseMonitoring::~CBaseMonitoring() = default;

bool CBaseMonitoring::Start() {
    // From here until the loop has ended a stop waits for this thread: a stop that arrives
    // during start-up finds the storage and the devices ready to block and disconnect, and the
    // loop, which would unblock the payments, is not entered.
    loopThread = std::this_thread::get_id();
    loopIdle.Reset();
    if (!StartUp()) {
        if (!lastError.empty()) {
            Write(lastError);
        }
        Stop();
        loopIdle.Set();
        return false;
    }
    if (!stopRequested) {
        PollingLoop();
    }
    loopIdle.Set();
    return true;
}

bool CBaseMonitoring::StartUp() {
    if (!configuration->Load()) {
        lastError = configuration->GetLastError();
        return false;
    }
    configuration->SetLog(&log);
    if (configuration->ReadParameter("//save_log") == "1") {
        log.SetKeepOldLogs(true);
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
        lastError = reason;
        return false;
    }
    ApplyNlsLang(configuration->ReadParameter("//fiscal_trans_ini/qel_nls_lang"));
    storage->SetLogFile(&log);
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
    return CreateInterfaces();
}

void CBaseMonitoring::ReadAgentRequisites() {
    std::ifstream file(log.GetFolder() + "AgentDetails.txt");
    if (!file) {
        return;
    }
    Write("AGENT REQUISITES SUPPORTED");
    std::string line;
    while (std::getline(file, line)) {
        if (!line.empty() && line.back() == '\r') {
            line.pop_back();
        }
        size_t eq = line.find('=');
        if (eq == std::string::npos) {
            continue;
        }
        int code = text::ToInt(line.substr(0, eq));
        if (code != 0) {
            agentRequisites[code] = line.substr(eq + 1);
        }
    }
    for (const auto& [code, requisites] : agentRequisites) {
        Write(text::Format("%d : %s", code, requisites.c_str()));
    }
    agentTax = configuration->ReadParameter("//tax_mode/agent_tax");
    if (agentTax.empty()) {
        agentTax = "0";
    } else {
        Write("Agent tax: " + agentTax);
    }
}

bool CBaseMonitoring::CreateInterfaces() {
    for (const CPrinterControl& printer : configuration->printers) {
        std::string reason;
        std::unique_ptr<CPrintInterface> device = parts->CreateInterface(configuration->printerType, reason);
        if (!device) {
            lastError = reason;
            return false;
        }
        device->Configure(*configuration);
        device->SetLog(&log);
        device->includeRoomRate = storage->includeRoomRate;
        if (!device->Connect(printer)) {
            return false;
        }
        interfaces[printer.name] = std::move(device);
    }
    return true;
}

bool CBaseMonitoring::Pause(int64_t ms) {
    return stopRequested || platform::Clock::Current().Wait(stopEvent, ms);
}

void CBaseMonitoring::PollingLoop() {
    Write("Start service");
    SetPaymentBlock(false);
    if (!stopRequested) {
        stopEvent.Reset();
    }
    bool stopped = false;
    while (!stopped) {
        if (Pause(pollPeriod)) {
            break;
        }
        log.CheckSize();
        storage->CheckBusinessDate();
        checks.clear();
        storage->GetChecks(checks);
        if (checks.empty()) {
            SetPaymentBlock(false);
        }
        for (const CFiscalCheck& due : checks) {
            if (Pause(kPreCheckPause)) {
                stopped = true;
                break;
            }
            currentPrinter.Reset();
            currentInterface = nullptr;
            CFiscalCheck check(due);
            WriteCheckText(check, 4);
            if (ProcessCheck(check) && Pause(afterPrintPause)) {
                stopped = true;
                break;
            }
        }
    }
    Write("Stop payment monitoring");
}

void CBaseMonitoring::WriteCheckText(CFiscalCheck& check, int detail, const std::string& title) {
    log.WriteList(check.BuildText(detail, title));
}

bool CBaseMonitoring::ProcessCheck(CFiscalCheck& check) {
    if (!storage->SetCheckStatus(check, "N")) {
        return false;
    }
    bool rulesOk = configuration->ApplyRules(check);
    if (check.statusCode == 8) {
        storage->SetCheckStatus(check, "Y");
        return false;
    }
    if (check.statusCode == 16) {
        storage->SetCheckRemark(check, "Wrong payment");
        storage->SetCheckStatus(check, "Y");
        return false;
    }
    SelectPrinter(check);
    configuration->ApplyPrinterRules(currentPrinter.name, check);
    if (check.statusCode == 22) {
        CloseByHand(check);
        return false;
    }
    if (posExpandMode) {
        ReadPosChecks(check);
        return rulesOk ? Register(check) : RulesFailed(check);
    }
    ExpandInterfaceCheck(check);
    if (rulesOk && check.CheckSigns()) {
        return Register(check);
    }
    Write(check.errorText);
    return RulesFailed(check);
}

bool CBaseMonitoring::RulesFailed(CFiscalCheck& check) {
    if (check.checkMode == 7 && (configuration->ruleVerdict == 4 || check.documentKind == 4)) {
        CFiscalCheck shortCheck(check);
        bool created = shortCheck.TryToCreateShortCheck();
        SaveDescription(check);
        std::string reason = configuration->GetLastError();
        lastError = reason.empty() ? "Check description saved" : reason + " Check description saved";
        Write(lastError);
        ReportToOperator(check, lastError);
        if (!created) {
            return false;
        }
        check = shortCheck;
        return Register(check);
    }
    lastError = configuration->GetLastError();
    if (check.statusCode == 1 && check.documentKind != 0) {
        storage->SetCheckStatus(check, "D");
    } else if (check.statusCode == 1) {
        ReportToOperator(check, lastError);
        storage->SetCheckStatus(check, "N");
    } else if (check.statusCode == 4) {
        storage->SetCheckStatus(check, "Y");
    } else {
        CloseByHand(check);
    }
    return false;
}

bool CBaseMonitoring::Register(CFiscalCheck& check) {
    if (!storage->ValidateCheck(check, currentPrinter.name)) {
        CloseByHand(check);
        return false;
    }
    if (check.checkMode == 7 && !agentRequisites.empty()) {
        ApplyAgentData(check);
    }
    if (currentPrinter.ConnectionText().empty()) {
        Write(printerRegistry->GetLastError());
        SaveDescriptionAndClose(check);
        return false;
    }
    if (refundProcessing && !ConfirmRefunds(check)) {
        return false;
    }
    for (;;) {
        if (Attempt(check)) {
            SetPaymentBlock(false);
            Write("Successful");
            storage->SetCheckStatus(check, "Y");
            journal.JournalCheck(currentPrinter, check);
            if (refundProcessing && !check.payments.empty() && check.payments[0].pay_kind == 0 &&
                check.paymentsTotal > 0) {
                storage->SaveCheckNumber(check.payments[0].trx_no, check.receiptNumber);
            }
            return true;
        }
        Write("Unsuccessful");
        storage->SetCheckStatus(check, "N");
        SetPaymentBlock(currentInterface ? currentInterface->blockOnFailure : false);
        ReportToOperator(check, currentInterface ? currentInterface->GetLastError() : lastError);
        if (!(check.paymentsTotal > 0 && SelectPrinter(check))) {
            return true;
        }
    }
}

bool CBaseMonitoring::Attempt(CFiscalCheck& check) {
    bool ok = false;
    if (currentInterface) {
        ok = currentInterface->PrintCheck(check, false);
    } else {
        // A printer name without an interface: a failed attempt, the check stays "N".
        lastError = text::Format("Printer number %s has no device interface.", currentPrinter.name.c_str());
        Write("PrintInterface is NULL!");
    }
    storage->SaveFiscalData(check);
    if (ok && configuration->printerType == 10) {
        storage->SaveFiscalResult(check);
    }
    return ok;
}

bool CBaseMonitoring::SelectPrinter(CFiscalCheck& check) {
    std::string previous = currentPrinter.name;
    bool chosen = printerRegistry->ChoosePrinter(check, currentPrinter);
    if (chosen) {
        if (!previous.empty()) {
            Write("Send to reserve printer");
        }
        SelectInterface(currentPrinter.name);
    }
    return chosen;
}

void CBaseMonitoring::SelectInterface(const std::string& name) {
    auto found = interfaces.find(name);
    if (found == interfaces.end()) {
        Write(text::Format("Printer number %s not found in the list.", name.c_str()));
        found = interfaces.find("");
    }
    currentInterface = found == interfaces.end() ? nullptr : found->second.get();
}

void CBaseMonitoring::SetPaymentBlock(bool block, const std::string& reason) {
    std::lock_guard<std::mutex> guard(blockLock);
    if (blockingDisabled || paymentsBlocked == block || !storage) {
        return;
    }
    if (storage->BlockPayments(block, reason)) {
        Write(block ? "Block payments" : "Unblock payments");
        Write("Successful");
        paymentsBlocked = block;
    }
}

void CBaseMonitoring::ReportToOperator(CFiscalCheck& check, const std::string& message) {
    if (message.empty() || check.documentKind == 2) {
        return;
    }
    std::string full = check.checkNumber.empty() ? message : "Check " + check.checkNumber + ". " + message;
    if (currentInterface) {
        currentInterface->ShowMessage(currentPrinter, full);
    } else {
        Write("PrintInterface is NULL!");
    }
}

void CBaseMonitoring::SaveDescription(CFiscalCheck& check) {
    if (currentInterface) {
        currentInterface->PrintCheck(check, true);
    } else {
        // No device interface to hand the description to: the journal keeps it instead, so the
        // check can still be closed by hand.
        journal.SaveDescription(currentPrinter, check);
    }
}

bool CBaseMonitoring::SaveDescriptionAndClose(CFiscalCheck& check) {
    SaveDescription(check);
    return storage->SetCheckStatus(check, "Y");
}

void CBaseMonitoring::CloseByHand(CFiscalCheck& check) {
    SaveDescriptionAndClose(check);
    lastError = kSavedManually;
    ReportToOperator(check, lastError);
}

bool CBaseMonitoring::ConfirmRefunds(CFiscalCheck& check) {
    for (const struct_posting& payment : check.payments) {
        if (!(payment.trx_amount < 0 && payment.pay_kind == 0)) {
            continue;
        }
        Write(text::Format("Check reference %s for confirmation %s", payment.reference.c_str(),
                           check.folioNumber.c_str()));
        if (payment.reference.empty()) {
            Write("Reference is empty");
            ReportToOperator(check, platform::Cp1251("Для чека возврата не введен номер исходной операции. "
                                                     "Введите номер в поле Reference."));
            return false;
        }
        int referenced = text::ToInt(payment.reference);
        if (referenced == 0) {
            Write("Reference is not correct");
            if (payment.reference.find("Split") != std::string::npos) {
                ReportToOperator(check, platform::Cp1251("Для чека возврата введите номер исходной операции в "
                                                         "Reference."));
            } else {
                ReportToOperator(check, platform::Cp1251("Для чека возврата введен неверный номер исходной "
                                                         "операции. Введите номер в поле Reference."));
            }
            return false;
        }
        if (!storage->ConfirmRefund(check, referenced, payment.trx_amount)) {
            ReportToOperator(check, storage->GetLastError());
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

void CBaseMonitoring::ExpandInterfaceCheck(CFiscalCheck& check) {
    std::set<std::string> handled;
    size_t i = 0;
    while (i < check.postings.size()) {
        const struct_posting& posting = check.postings[i];
        if (posting.line_type != 14 || posting.cheque_number.empty() || handled.count(posting.cheque_number)) {
            ++i;
            continue;
        }
        std::string number = posting.cheque_number;
        handled.insert(number);
        Write("Interface Check " + number);
        CMicrosCheck pos(check);
        pos.postings.clear();
        pos.payments.clear();
        for (const struct_posting& p : check.postings) {
            if (p.cheque_number == number) {
                pos.postings.push_back(p);
            }
        }
        log.WriteList(pos.DumpText(""));
        if (!pos.PrepareCheck()) {
            ++i;
            continue;
        }
        Write("Interface check:");
        log.WriteList(pos.DumpText(""));
        // The POS items take the place of the postings of that number, where the first one stood.
        std::vector<struct_posting> replaced;
        bool inserted = false;
        for (const struct_posting& p : check.postings) {
            if (p.cheque_number != number) {
                replaced.push_back(p);
            } else if (!inserted) {
                replaced.insert(replaced.end(), pos.postings.begin(), pos.postings.end());
                inserted = true;
            }
        }
        check.postings = std::move(replaced);
        // The list changed under the scan: start it again; handled numbers are passed over.
        i = 0;
    }
    WriteCheckText(check, 2);
    check.MergePostings();
    WriteCheckText(check, 2);
}

bool CBaseMonitoring::ApplyAgentData(CFiscalCheck& check) {
    bool changed = false;
    size_t i = 0;
    while (i < check.postings.size()) {
        struct_posting& posting = check.postings[i];
        auto found = agentRequisites.find(posting.trx_code);
        if (!posting.agent.empty() || found == agentRequisites.end()) {
            ++i;
            continue;
        }
        std::vector<std::string> partsOfText;
        for (const std::string& part : text::Split(found->second, '=')) {
            if (!part.empty()) {
                partsOfText.push_back(part);
                Write(part);
            }
        }
        if (partsOfText.empty()) {
            // Nothing to set: the posting stays as it is and the scan goes on past it.
            ++i;
            continue;
        }
        struct_posting updated = posting;
        updated.agent = partsOfText[0];
        int percentage = partsOfText.size() > 1 ? text::ToInt(text::ReplaceAll(partsOfText[1], "%", "")) : 0;
        std::string agentName = partsOfText.size() > 2 ? partsOfText[2] : "";
        if (percentage != 0) {
            double former = posting.trx_amount;
            struct_posting agentPosting = posting;
            agentPosting.trx_amount = RoundToCents(former / 100.0 * percentage);
            agentPosting.quantity = 1.0;
            agentPosting.tax_group = agentTax;
            agentPosting.description = platform::Cp1251("Агентское вознаграждение ") + agentName;
            agentPosting.agent = "XXX";
            updated.trx_amount = RoundToCents(former - agentPosting.trx_amount);
            double difference = former - (updated.trx_amount + agentPosting.trx_amount);
            if (std::fabs(difference) >= 0.005) {
                agentPosting.trx_amount += std::fabs(difference);
            }
            check.postings[i] = updated;
            check.postings.insert(check.postings.begin() + static_cast<std::ptrdiff_t>(i) + 1, agentPosting);
        } else {
            check.postings[i] = updated;
        }
        changed = true;
        i = 0;
    }
    WriteCheckText(check, 4, "Agent");
    return changed;
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
    stopEvent.Set();
    // Rather than a blind pause, wait for the loop to reach its next wait and end, so that the
    // storage and the devices are never used from two threads at once. A registration in
    // progress finishes first; after kStopLoopWait the stop goes on regardless.
    if (std::this_thread::get_id() != loopThread) {
        loopIdle.Wait(kStopLoopWait);
    }
    SetPaymentBlock(true);
    for (auto& [name, device] : interfaces) {
        device->Disconnect();
    }
    Write("Stop service");
    log.Close();
    stoppedEvent.Set();
    return true;
}
