#include "service/CBaseMonitoring.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <deque>
#include <filesystem>
#include <functional>
#include <map>
#include <set>
#include <stdexcept>
#include <thread>

#include "config/CFiscalINI.h"
#include "config/CFiscalPrinter.h"
#include "devices/CPrintInterface.h"
#include "platform/CodePage.h"
#include "platform/Environment.h"
#include "platform/FileSystem.h"
#include "platform/TempFolder.h"
#include "platform/Text.h"
#include "service/COutcomeJournal.h"
#include "service/ServicePaths.h"
#include "storage/CFiscalStorage.h"
#include "tests/support/platform/ManualClock.h"

namespace {

using Calls = std::vector<std::string>;

class FakeConfig : public CFiscalINI {
public:
    explicit FakeConfig(Calls& calls) : calls(calls) {}
    bool Load() override {
        lastError = loadError;
        return loadError.empty();
    }
    std::string ReadParameter(const std::string& path) override {
        auto found = parameters.find(path);
        return found == parameters.end() ? "" : found->second;
    }
    int ReadVersion() override { return version; }
    bool LoadRules() override {
        calls.push_back("LoadRules");
        return true;
    }
    bool ApplyRules(CFiscalCheck& check) override {
        lastError.clear();
        ruleVerdict = 7;
        calls.push_back("ApplyRules " + check.checkNumber);
        return rules ? rules(check, *this) : true;
    }
    void ApplyPrinterRules(const CPrinterControl& printer, CFiscalCheck& check) override {
        calls.push_back("ApplyPrinterRules " + printer.name + " " + check.checkNumber);
    }
    bool IsInterfaceCashier(const std::string& cashier) override { return interfaceCashiers.count(cashier) > 0; }
    void SetError(const std::string& error) { lastError = error; }

    Calls& calls;
    std::string loadError;
    std::map<std::string, std::string> parameters;
    int version = 0;
    std::function<bool(CFiscalCheck&, FakeConfig&)> rules;
    std::set<std::string> interfaceCashiers;
};

// Chooses along a fixed line of printers; the first call for a check takes the first printer,
// each later call the next one (the reserve printer).
class FakeRegistry : public CFiscalPrinter {
public:
    bool Load(CFiscalINI& configuration) override {
        if (!loadError.empty()) {
            lastError = loadError;
            return false;
        }
        return true;
    }
    bool ChoosePrinter(CFiscalCheck& check, CPrinterControl& printer) override {
        if (conflicting.count(check.checkNumber)) {
            check.SetStatusCode(kNoPrinter);
            lastError = "Select printer error. Code 1000";
            return false;
        }
        if (noPrinter.count(check.checkNumber)) {
            lastError = "No printer for the check";
            return false;
        }
        size_t next = printer.name.empty() ? 0 : static_cast<size_t>(printer.lineIndex + 1);
        if (next >= printers.size()) {
            return false;
        }
        printer = printers[next];
        printer.lineIndex = static_cast<int32_t>(next);
        return true;
    }
    std::string loadError;
    std::set<std::string> conflicting;
    std::set<std::string> noPrinter;
};

class FakeStorage : public CFiscalStorage {
public:
    explicit FakeStorage(Calls& calls) : calls(calls) {}
    void GetChecks(std::vector<CFiscalCheck>& checks) override {
        calls.push_back("GetChecks");
        if (!cycles.empty()) {
            checks = cycles.front();
            cycles.pop_front();
        }
    }
    bool SetCheckStatus(CFiscalCheck& check, CheckStatusLetter letter) override {
        calls.push_back("SetCheckStatus " + check.checkNumber + " " + LetterText(letter));
        if (letter == CheckStatusLetter::Registered && refuseY > 0) {
            --refuseY;
            lastError = "ORA-03113: end-of-file on communication channel";
            return false;
        }
        return !(letter == CheckStatusLetter::NotRegistered && refuseN.count(check.checkNumber));
    }
    bool SaveCheckFileName(CFiscalCheck& check) override {
        calls.push_back("SaveCheckFileName " + check.printedFileName + " " + check.checkNumber);
        return !refuseName.count(check.checkNumber);
    }
    Lease HoldLease(const std::string& holder, int, const LeaseRow*, LeaseRow& row) override {
        Lease state = leases.empty() ? Lease::Held : leases.front();
        if (!leases.empty()) {
            leases.pop_front();
        }
        row.holder = state == Lease::Held ? holder : "pms-host|4242|/opt/fiscora/";
        row.until = "01.01.2026 10:05:00";
        return state;
    }
    bool SetCheckRemark(CFiscalCheck& check, const std::string& remark) override {
        calls.push_back("SetCheckRemark " + check.checkNumber + " " + remark);
        return true;
    }
    void CheckBusinessDate() override { calls.push_back("CheckBusinessDate"); }
    bool BlockPayments(bool block, const std::string&) override {
        calls.push_back(block ? "BlockPayments on" : "BlockPayments off");
        return blockResult;
    }
    bool Open(CFiscalINI&) override {
        calls.push_back("Open");
        if (onOpen) {
            onOpen();
        }
        lastError = openError;
        return openError.empty();
    }
    bool SaveFiscalData(CFiscalCheck& check) override {
        calls.push_back("SaveFiscalData " + check.checkNumber);
        return true;
    }
    bool SaveFiscalResult(CFiscalCheck& check) override {
        calls.push_back("SaveFiscalResult " + check.checkNumber);
        return true;
    }
    bool Close() override { return true; }
    void ExpandPosCheck(const std::string& number, int system, bool flag, CFiscalCheck& check) override {
        calls.push_back(text::Format("ExpandPosCheck %s %d %d", number.c_str(), system, flag ? 1 : 0));
        // The POS items take the place of the POS postings.
        for (struct_posting& p : check.postings) {
            if (p.cheque_number == number || p.reference == number) {
                p.cheque_number.clear();
                p.reference.clear();
            }
        }
    }
    bool SaveCheckNumber(int trx, const std::string& number) override {
        calls.push_back(text::Format("SaveCheckNumber %d %s", trx, number.c_str()));
        return true;
    }
    bool ConfirmRefund(CFiscalCheck& check, int referenced, double amount) override {
        calls.push_back(text::Format("ConfirmRefund %s %d %.2f", check.checkNumber.c_str(), referenced, amount));
        lastError = confirmResult ? "" : "Original check not found";
        return confirmResult;
    }
    bool ValidateCheck(CFiscalCheck& check, const std::string& printer) override {
        calls.push_back("ValidateCheck " + check.checkNumber + " " + printer);
        return !invalid.count(check.checkNumber);
    }
    bool IsPosRevenueCenter(int code) override { return posCenters.count(code) > 0; }
    bool DatabaseReachable() const override { return reachable; }
    bool ReadStatusLetter(int trxNo, std::optional<CheckStatusLetter>& letter) override {
        auto found = letters.find(trxNo);
        letter = found == letters.end() ? CheckStatusLetter::NotRegistered : ParseLetter(found->second);
        return reachable;
    }
    void SetError(const std::string& error) { lastError = error; }

    Calls& calls;
    std::deque<std::vector<CFiscalCheck>> cycles;
    std::set<std::string> refuseN;
    std::set<std::string> refuseName;
    int refuseY = 0;
    std::deque<Lease> leases;
    std::set<std::string> invalid;
    std::set<int> posCenters;
    std::string openError;
    bool blockResult = true;
    bool confirmResult = true;
    bool reachable = true;
    // Status letters of transactions' rows (N when not named).
    std::map<int, std::string> letters;
    // Runs while the storage opens: a stop that arrives during start-up.
    std::function<void()> onOpen;
};

// Answer kinds a printer gives, in order: to its registrations, and to the collection of a
// late answer. A device that has none scripted answers by the plain results.
struct DeviceScript {
    std::map<std::string, std::deque<AnswerKind>> answers;
    std::map<std::string, std::deque<AnswerKind>> lateAnswers;
    // Devices that keep no check files and name a registered check in their answer (the Czech
    // FIK, the Mongolian printed file name).
    bool namedByAnswer = false;
    // Whether each sending was told it repeats one in doubt; the keys whose end the device was
    // told, each with whether the journal on disk still held it then.
    std::vector<bool> repeats;
    std::vector<std::pair<std::string, bool>> settled;
    std::string journalFolder;
};

class FakeDevice : public CPrintInterface {
public:
    FakeDevice(Calls& calls, std::map<std::string, std::deque<bool>>& results, std::set<std::string>& refuse,
               std::vector<CFiscalCheck>& printed, DeviceScript& script)
        : calls(calls), results(results), refuseConnect(refuse), printed(printed), script(script) {}
    bool PrintCheck(CFiscalCheck& check, bool saveDescriptionOnly) override {
        calls.push_back((saveDescriptionOnly ? "SaveDescription " : "PrintCheck ") + control.name + " " +
                        check.checkNumber);
        if (saveDescriptionOnly) {
            return true;
        }
        blockOnFailure = false;
        lastAnswer = AnswerKind::None;
        if (check.printedFileName.empty()) {
            check.printedFileName = NewCheckFileName(check);
        }
        printed.push_back(check);
        script.repeats.push_back(exchangeInDoubt);
        exchangeInDoubt = false;
        std::deque<AnswerKind>& kinds = script.answers[control.name];
        if (!kinds.empty()) {
            lastAnswer = kinds.front();
            kinds.pop_front();
            return Answered(check);
        }
        std::deque<bool>& queue = results[control.name];
        bool ok = queue.empty() ? true : queue.front();
        if (!queue.empty()) {
            queue.pop_front();
        }
        if (!ok) {
            lastError = "Fiscal printer connect cut off.";
            blockOnFailure = true;
        } else {
            check.receiptNumber = "R" + check.checkNumber;
        }
        return ok;
    }
    bool PrintSlip(CPrinterControl&) override { return false; }
    bool ShowMessage(CPrinterControl& printer, const std::string& message) override {
        calls.push_back("ShowMessage " + printer.name + " " + message);
        return true;
    }
    bool Connect(const CPrinterControl& printer) override {
        control = printer;
        calls.push_back("Connect " + printer.name);
        return !refuseConnect.count(printer.name);
    }
    void Disconnect() override { calls.push_back("Disconnect " + control.name); }
    // A device that names a check in its answer knows a repeat by what it keeps itself.
    bool CanRepeat(const CFiscalCheck& check) const override {
        return script.namedByAnswer || CPrintInterface::CanRepeat(check);
    }
    void ExchangeSettled(const std::string& key, const CFiscalCheck&) override {
        COutcomeJournal journal;
        std::string error;
        bool held = journal.Read(script.journalFolder, error) && journal.Find(key, 0) != nullptr;
        script.settled.emplace_back(key, held);
    }
    std::string NewCheckFileName(const CFiscalCheck& check) override {
        // Cash commands carry no check file, as with the printer manager.
        if (script.namedByAnswer || check.statusCode == kCashLoan || check.statusCode == kCashPickup) {
            return "";
        }
        return control.name + "_" + check.checkNumber + "_11_100000";
    }
    AnswerKind CollectLateAnswer(CFiscalCheck& check) override {
        calls.push_back("CollectLateAnswer " + control.name + " " + check.checkNumber);
        owedKey.clear();
        std::deque<AnswerKind>& kinds = script.lateAnswers[control.name];
        lastAnswer = kinds.empty() ? AnswerKind::TimedOut : kinds.front();
        if (!kinds.empty()) {
            kinds.pop_front();
        }
        Answered(check);
        owedKey.clear();
        return lastAnswer;
    }

    // What a scripted answer leaves behind: a fiscal number, an owed answer, a lost connection.
    bool Answered(CFiscalCheck& check) {
        switch (lastAnswer) {
            case AnswerKind::Success:
                check.fiscalNumber = "F" + check.checkNumber;
                if (script.namedByAnswer) {
                    check.printedFileName = "FIK-" + check.checkNumber;
                }
                return true;
            case AnswerKind::TimedOut:
                owedKey = ExchangeKey(check);
                lastError = "Waiting time is up.";
                break;
            case AnswerKind::Cut:
            case AnswerKind::NotDelivered:
                blockOnFailure = true;
                lastError = "Fiscal printer connect cut off.";
                break;
            default:
                lastError = "Paper out";
                break;
        }
        return false;
    }

    Calls& calls;
    std::map<std::string, std::deque<bool>>& results;
    std::set<std::string>& refuseConnect;
    std::vector<CFiscalCheck>& printed;
    DeviceScript& script;
};

// Hands the fakes to the worker; until then the test owns them.
class FakeParts : public CWorkerParts {
public:
    FakeParts(std::unique_ptr<FakeConfig>& config, std::unique_ptr<FakeRegistry>& registry,
              std::unique_ptr<FakeStorage>& storage, Calls& calls, std::map<std::string, std::deque<bool>>& results,
              std::set<std::string>& refuse, std::vector<CFiscalCheck>& printed, DeviceScript& script)
        : config(config),
          registry(registry),
          storage(storage),
          calls(calls),
          results(results),
          refuse(refuse),
          printed(printed),
          script(script) {}
    std::unique_ptr<CFiscalINI> CreateConfiguration() override { return std::move(config); }
    std::unique_ptr<CFiscalPrinter> CreatePrinterRegistry() override { return std::move(registry); }
    std::unique_ptr<CFiscalStorage> CreateStorage(int kind, std::string& reason) override {
        if (kind > 2) {
            reason = "Unknown storage version";
            return nullptr;
        }
        return std::move(storage);
    }
    std::unique_ptr<CPrintInterface> CreateInterface(int, std::string&) override {
        return std::make_unique<FakeDevice>(calls, results, refuse, printed, script);
    }
    std::unique_ptr<FakeConfig>& config;
    std::unique_ptr<FakeRegistry>& registry;
    std::unique_ptr<FakeStorage>& storage;
    Calls& calls;
    std::map<std::string, std::deque<bool>>& results;
    std::set<std::string>& refuse;
    std::vector<CFiscalCheck>& printed;
    DeviceScript& script;
};

CPrinterControl Printer(const std::string& name) {
    CPrinterControl printer;
    printer.name = name;
    printer.deviceSettings.host = "127.0.0.1";
    printer.deviceSettings.port = 4050;
    return printer;
}

CFiscalCheck Bill(const std::string& number, double amount) {
    CFiscalCheck check;
    check.checkNumber = number;
    check.checkMode = 7;
    check.statusCode = kBillCheck;
    struct_posting posting;
    posting.trx_no = 100;
    posting.trx_code = 1000;
    posting.description = "Room";
    posting.trx_amount = amount;
    check.postings.push_back(posting);
    struct_posting payment;
    payment.trx_no = 200;
    payment.trx_code = 9000;
    payment.pay_kind = 0;
    payment.trx_amount = amount;
    check.payments.push_back(payment);
    check.paymentsTotal = amount;
    return check;
}

constexpr int64_t kPoll = 7000;
constexpr int64_t kAfterPrint = 3000;

class WorkerTest : public ::testing::Test {
public:
    void SetUp() override {
        worker.reset();
        ownedConfig = std::make_unique<FakeConfig>(calls);
        ownedRegistry = std::make_unique<FakeRegistry>();
        ownedStorage = std::make_unique<FakeStorage>(calls);
        config = ownedConfig.get();
        registry = ownedRegistry.get();
        storage = ownedStorage.get();
        registry->printers = {Printer("1"), Printer("2")};
        config->baseMonitoring = kPoll;
        config->waitNextCheck = kAfterPrint;
    }

    // A worker made of the fakes, logging into the test's folder.
    std::unique_ptr<CBaseMonitoring> NewWorker() {
        return std::make_unique<CBaseMonitoring>(
            std::make_unique<FakeParts>(ownedConfig, ownedRegistry, ownedStorage, calls, results, refuse, printed,
                                        script),
            temp.File("qelfiscal.log"));
    }

    // Runs the worker through the given number of polling cycles, then stops it the way the
    // service control does, from inside the next polling pause.
    bool Run(int cycles) {
        worker = NewWorker();
        worker->Log().SetEcho(false);
        if (prepare) {
            prepare(*worker);
        }
        int seen = 0;
        clock.SetHook([&, cycles](int64_t ms) {
            if (ms == worker->PollPeriod() && ++seen > cycles) {
                StopFromControlThread();
            }
            if (onPause) {
                onPause(ms);
            }
        });
        bool result = worker->Start();
        clock.SetHook(nullptr);
        if (stopper.joinable()) {
            stopper.join();
        }
        return result;
    }

    // Stops the worker the way the service control does: from another thread, while the loop
    // is in one of its pauses.
    void StopFromControlThread() {
        if (stopper.joinable()) {
            return;
        }
        stopper = std::thread([this] { worker->Stop(); });
        while (!worker->StopRequested()) {
            std::this_thread::yield();
        }
    }

    std::string LogText() {
        std::string content;
        platform::ReadFile(temp.File("qelfiscal.log"), content);
        return content;
    }

    // The calls that concern one check, in order.
    Calls CallsFor(const std::string& number) {
        Calls result;
        for (const std::string& c : calls) {
            if (c.size() > number.size() && c.compare(c.size() - number.size() - 1, std::string::npos, " " + number) == 0) {
                result.push_back(c);
            } else if (c.find(" " + number + " ") != std::string::npos || c.find("Check " + number + ".") != std::string::npos) {
                result.push_back(c);
            }
        }
        return result;
    }

    int Count(const std::string& call) { return static_cast<int>(std::count(calls.begin(), calls.end(), call)); }

    platform::TempFolder temp;
    platform::ManualClock clock;
    platform::ScopedClock scoped{clock};
    Calls calls;
    std::map<std::string, std::deque<bool>> results;
    std::set<std::string> refuse;
    std::unique_ptr<FakeConfig> ownedConfig;
    std::unique_ptr<FakeRegistry> ownedRegistry;
    std::unique_ptr<FakeStorage> ownedStorage;
    FakeConfig* config;
    FakeRegistry* registry;
    FakeStorage* storage;
    std::unique_ptr<CBaseMonitoring> worker;
    std::function<void(int64_t)> onPause;
    // Runs on the new worker before it starts.
    std::function<void(CBaseMonitoring&)> prepare;
    std::thread stopper;
    std::vector<CFiscalCheck> printed;
    DeviceScript script;
};

}  // namespace

TEST_F(WorkerTest, SuccessfulRegistrationInOrder) {
    storage->cycles.push_back({Bill("77", 100)});
    ASSERT_TRUE(Run(1));
    Calls expected = {"SetCheckStatus 77 N",
                      "ApplyRules 77",
                      "ApplyPrinterRules 1 77",
                      "ValidateCheck 77 1",
                      "SaveCheckFileName 1_77_11_100000 77",
                      "PrintCheck 1 77",
                      "SaveFiscalData 77",
                      "SetCheckStatus 77 Y"};
    EXPECT_EQ(CallsFor("77"), expected);
    // The pauses of one cycle: poll, pre-check, after-print, then the next poll where it stopped.
    std::vector<int64_t> pauses = clock.Pauses();
    ASSERT_GE(pauses.size(), 4u);
    EXPECT_EQ(pauses[0], kPoll);
    EXPECT_EQ(pauses[1], 1000);
    EXPECT_EQ(pauses[2], kAfterPrint);
    EXPECT_EQ(pauses[3], kPoll);
    std::string log = LogText();
    EXPECT_NE(log.find("Start service"), std::string::npos);
    EXPECT_NE(log.find("Successful"), std::string::npos);
    EXPECT_NE(log.find("Stop payment monitoring"), std::string::npos);
    EXPECT_NE(log.find("Stop service"), std::string::npos);
    EXPECT_NE(log.find("Check: 77"), std::string::npos);
}

TEST_F(WorkerTest, CycleStartsWithBusinessDateThenChecks) {
    storage->cycles.push_back({});
    storage->cycles.push_back({Bill("1", 10)});
    ASSERT_TRUE(Run(2));
    std::vector<std::string> order;
    for (const std::string& c : calls) {
        if (c == "CheckBusinessDate" || c == "GetChecks" || c == "SetCheckStatus 1 N") {
            order.push_back(c);
        }
    }
    Calls expected = {"CheckBusinessDate", "GetChecks", "CheckBusinessDate", "GetChecks", "SetCheckStatus 1 N"};
    EXPECT_EQ(order, expected);
}

TEST_F(WorkerTest, RulesOutcomesThatCloseWithoutPrinting) {
    struct Case {
        int statusCode;
        Calls expected;
    } cases[] = {
        {8, {"SetCheckStatus 5 N", "ApplyRules 5", "SetCheckStatus 5 Y"}},
        {16, {"SetCheckStatus 5 N", "ApplyRules 5", "SetCheckRemark 5 Wrong payment", "SetCheckStatus 5 Y"}},
    };
    // Counted as closed by the rules, for the health line.
    ClosedChecks byRules;
    byRules.byRules = 1;
    for (const Case& c : cases) {
        SetUp();
        calls.clear();
        storage->cycles.push_back({Bill("5", 10)});
        CheckStatusCode code = static_cast<CheckStatusCode>(c.statusCode);
        config->rules = [code](CFiscalCheck& check, FakeConfig&) {
            check.SetStatusCode(code);
            return false;
        };
        ASSERT_TRUE(Run(1));
        EXPECT_EQ(CallsFor("5"), c.expected) << c.statusCode;
        EXPECT_EQ(storage->closedToday, byRules) << c.statusCode;
        worker.reset();
    }
}

TEST_F(WorkerTest, NoPrinterForConflictingPostingsSavesTheDescriptionAndCloses) {
    storage->cycles.push_back({Bill("22", 10)});
    registry->conflicting.insert("22");
    ASSERT_TRUE(Run(1));
    // The description goes through the interface of the last printer only when one was chosen:
    // here none was, so the journal keeps it and no device is asked anything.
    Calls got = CallsFor("22");
    EXPECT_EQ(std::count_if(got.begin(), got.end(), [](const std::string& c) { return c.rfind("PrintCheck", 0) == 0; }),
              0);
    EXPECT_EQ(got.back(), "SetCheckStatus 22 Y");
    EXPECT_EQ(Count("SetCheckStatus 22 Y"), 1);
    EXPECT_EQ(Count("ValidateCheck 22 "), 0);
}

TEST_F(WorkerTest, SetStatusNRefusedSkipsTheCheck) {
    storage->cycles.push_back({Bill("9", 10), Bill("10", 10)});
    storage->refuseN.insert("9");
    ASSERT_TRUE(Run(1));
    EXPECT_EQ(CallsFor("9"), Calls{"SetCheckStatus 9 N"});
    EXPECT_EQ(Count("PrintCheck 1 10"), 1);
}

TEST_F(WorkerTest, RulesFailedOutcomesByStatusCode) {
    struct Case {
        int statusCode;
        int documentKind;
        Calls expected;
        std::string closed;  // the health line's count of checks closed without registration
    } cases[] = {
        {1, 7, {"SetCheckStatus 3 N", "ApplyRules 3", "ApplyPrinterRules 1 3", "SetCheckStatus 3 D"}, ""},
        {1, 0,
         {"SetCheckStatus 3 N", "ApplyRules 3", "ApplyPrinterRules 1 3", "ShowMessage 1 Check 3. amounts differ",
          "SetCheckStatus 3 N"},
         ""},
        {4, 0, {"SetCheckStatus 3 N", "ApplyRules 3", "ApplyPrinterRules 1 3", "SetCheckStatus 3 Y"},
         "1 closed without registration (1 by the rules)"},
        {0, 0,
         {"SetCheckStatus 3 N", "ApplyRules 3", "ApplyPrinterRules 1 3", "SaveDescription 1 3", "SetCheckStatus 3 Y",
          "ShowMessage 1 Check 3. Check description saved. Close check manually."},
         "1 closed without registration (1 by hand)"},
        // A return the rules refuse (a part of its sale) is closed for the operator, counted apart.
        {14, 0,
         {"SetCheckStatus 3 N", "ApplyRules 3", "ApplyPrinterRules 1 3", "SaveDescription 1 3", "SetCheckStatus 3 Y",
          "ShowMessage 1 Check 3. Check description saved. Close check manually."},
         "1 closed without registration (1 refused)"},
    };
    for (const Case& c : cases) {
        SetUp();
        calls.clear();
        storage->cycles.push_back({Bill("3", 10)});
        CheckStatusCode code = static_cast<CheckStatusCode>(c.statusCode);
        int kind = c.documentKind;
        config->rules = [code, kind](CFiscalCheck& check, FakeConfig& cfg) {
            check.SetStatusCode(code);
            check.documentKind = kind;
            cfg.SetError("amounts differ");
            return false;
        };
        std::string health;
        prepare = [&](CBaseMonitoring& w) {
            w.SetHealthHandler([&](const WorkerHealth& h) { health = h.closed.Text(); });
        };
        ASSERT_TRUE(Run(1));
        EXPECT_EQ(CallsFor("3"), c.expected) << c.statusCode << "/" << c.documentKind;
        EXPECT_EQ(Count("PrintCheck 1 3"), 0);
        EXPECT_EQ(health, c.closed) << c.statusCode << "/" << c.documentKind;
        worker.reset();
        prepare = nullptr;
    }
}

TEST_F(WorkerTest, FailedCompositionBecomesAShortCheck) {
    CFiscalCheck bill = Bill("4", 10);
    bill.payments[0].trx_amount = 12;
    bill.paymentsTotal = 12;
    storage->cycles.push_back({bill});
    config->rules = [](CFiscalCheck& check, FakeConfig& cfg) {
        check.documentKind = 0;
        cfg.ruleVerdict = 4;
        cfg.SetError("Postings amount = 10.0000, payments amount = 12.0000. (2.0000)");
        return false;
    };
    ASSERT_TRUE(Run(1));
    Calls expected = {
        "SetCheckStatus 4 N",
        "ApplyRules 4",
        "ApplyPrinterRules 1 4",
        "SaveDescription 1 4",
        "ShowMessage 1 Check 4. Postings amount = 10.0000, payments amount = 12.0000. (2.0000) Check "
        "description saved",
        "ValidateCheck 4 1",
        "SaveCheckFileName 1_4_11_100000 4",
        "PrintCheck 1 4",
        "SaveFiscalData 4",
        "SetCheckStatus 4 Y"};
    EXPECT_EQ(CallsFor("4"), expected);
    // The printed check is the short one: a single line for the payments' total.
    ASSERT_EQ(printed.size(), 1u);
    ASSERT_EQ(printed[0].postings.size(), 1u);
    EXPECT_EQ(printed[0].postings[0].trx_code, 100);
    EXPECT_DOUBLE_EQ(printed[0].postings[0].trx_amount, 12.0);
}

TEST_F(WorkerTest, ValidateCheckRefusalClosesWithDescription) {
    storage->cycles.push_back({Bill("6", 10)});
    storage->invalid.insert("6");
    ASSERT_TRUE(Run(1));
    Calls expected = {"SetCheckStatus 6 N",   "ApplyRules 6",        "ApplyPrinterRules 1 6",
                      "ValidateCheck 6 1",    "SaveDescription 1 6", "SetCheckStatus 6 Y",
                      "ShowMessage 1 Check 6. Check description saved. Close check manually."};
    EXPECT_EQ(CallsFor("6"), expected);
}

TEST_F(WorkerTest, FailedAttemptGoesToTheReservePrinter) {
    storage->cycles.push_back({Bill("7", 50)});
    results["1"] = {false};
    ASSERT_TRUE(Run(1));
    Calls expected = {"SetCheckStatus 7 N",
                      "ApplyRules 7",
                      "ApplyPrinterRules 1 7",
                      "ValidateCheck 7 1",
                      "SaveCheckFileName 1_7_11_100000 7",
                      "PrintCheck 1 7",
                      "SaveFiscalData 7",
                      "SetCheckStatus 7 N",
                      "ShowMessage 1 Check 7. Fiscal printer connect cut off.",
                      "PrintCheck 2 7",
                      "SaveFiscalData 7",
                      "SetCheckStatus 7 Y"};
    EXPECT_EQ(CallsFor("7"), expected);
    std::string log = LogText();
    EXPECT_NE(log.find("Unsuccessful"), std::string::npos);
    EXPECT_NE(log.find("Send to reserve printer"), std::string::npos);
    // The lost connection blocked payments, the success on the reserve printer unblocked them.
    auto block = std::find(calls.begin(), calls.end(), "BlockPayments on");
    ASSERT_NE(block, calls.end());
    EXPECT_NE(std::find(block, calls.end(), "BlockPayments off"), calls.end());
}

TEST_F(WorkerTest, RefundCheckIsNotSentToTheReservePrinter) {
    CFiscalCheck refund = Bill("8", -50);
    storage->cycles.push_back({refund});
    results["1"] = {false};
    ASSERT_TRUE(Run(1));
    EXPECT_EQ(Count("PrintCheck 1 8"), 1);
    EXPECT_EQ(Count("PrintCheck 2 8"), 0);
    EXPECT_EQ(Count("SetCheckStatus 8 N"), 2);
    EXPECT_EQ(Count("SetCheckStatus 8 Y"), 0);
}

TEST_F(WorkerTest, TheAnswerKindDecidesBetweenRegisteredReservePrinterAndInDoubt) {
    struct Case {
        AnswerKind answer;
        int reserveAttempts;
        int statusN;
        bool inDoubt;
    };
    const Case cases[] = {
        {AnswerKind::Success, 0, 1, false},     {AnswerKind::DeviceError, 1, 2, false},
        {AnswerKind::NotDelivered, 1, 2, false}, {AnswerKind::TimedOut, 0, 1, true},
        {AnswerKind::Cut, 0, 1, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(AnswerKindText(c.answer));
        SetUp();
        calls.clear();
        storage->cycles.push_back({Bill("9", 50)});
        script.answers["1"] = {c.answer};
        size_t logStart = LogText().size();
        ASSERT_TRUE(Run(1));
        std::string log = LogText().substr(logStart);
        EXPECT_EQ(Count("PrintCheck 1 9"), 1);
        EXPECT_EQ(Count("PrintCheck 2 9"), c.reserveAttempts);
        EXPECT_EQ(Count("SetCheckStatus 9 N"), c.statusN);
        EXPECT_EQ(Count("SetCheckStatus 9 Y"), c.inDoubt ? 0 : 1);
        EXPECT_EQ(log.find("in doubt on printer 1") != std::string::npos, c.inDoubt);
        EXPECT_EQ(log.find("Unsuccessful") != std::string::npos, c.reserveAttempts > 0);
    }
}

TEST_F(WorkerTest, ALateAnswerIsCollectedBeforeTheNextCheckGoesToThatPrinter) {
    CFiscalCheck first = Bill("30", 50);
    CFiscalCheck second = Bill("31", 60);
    second.payments[0].trx_no = 201;
    storage->cycles.push_back({first, second});
    script.answers["1"] = {AnswerKind::TimedOut, AnswerKind::Success};
    script.lateAnswers["1"] = {AnswerKind::Success};
    ASSERT_TRUE(Run(1));
    Calls order;
    for (const std::string& c : calls) {
        if (c.find(" 30") != std::string::npos || c.find(" 31") != std::string::npos) {
            order.push_back(c);
        }
    }
    Calls expected = {"SetCheckStatus 30 N",
                      "ApplyRules 30",
                      "ApplyPrinterRules 1 30",
                      "ValidateCheck 30 1",
                      "SaveCheckFileName 1_30_11_100000 30",
                      "PrintCheck 1 30",
                      "SaveFiscalData 30",
                      "ShowMessage 1 Check 30. Waiting time is up.",
                      "SetCheckStatus 31 N",
                      "ApplyRules 31",
                      "ApplyPrinterRules 1 31",
                      "ValidateCheck 31 1",
                      "SaveCheckFileName 1_31_11_100000 31",
                      "CollectLateAnswer 1 30",
                      "SaveFiscalData 30",
                      "SetCheckStatus 30 Y",
                      "PrintCheck 1 31",
                      "SaveFiscalData 31",
                      "SetCheckStatus 31 Y"};
    EXPECT_EQ(order, expected);
    EXPECT_EQ(Count("PrintCheck 2 30"), 0);
}

TEST_F(WorkerTest, ACheckInDoubtGoesBackOnlyToItsPrinterUnderTheSameFileName) {
    // Cut on printer 1; printer 1 still down in the next cycle; then it answers.
    storage->cycles.push_back({Bill("40", 50)});
    storage->cycles.push_back({Bill("40", 50)});
    storage->cycles.push_back({Bill("40", 50)});
    script.answers["1"] = {AnswerKind::Cut, AnswerKind::NotDelivered, AnswerKind::Success};
    ASSERT_TRUE(Run(3));
    EXPECT_EQ(Count("PrintCheck 1 40"), 3);
    EXPECT_EQ(Count("PrintCheck 2 40"), 0);
    EXPECT_EQ(Count("SetCheckStatus 40 Y"), 1);
    ASSERT_EQ(printed.size(), 3u);
    EXPECT_FALSE(printed[0].printedFileName.empty());
    EXPECT_EQ(printed[1].printedFileName, printed[0].printedFileName);
    EXPECT_EQ(printed[2].printedFileName, printed[0].printedFileName);
    EXPECT_NE(LogText().find("Check 40 is in doubt on printer 1: only that printer is used"), std::string::npos);

    // The late answer never came: sent again to printer 1. An error answer to the repeat proves
    // nothing about the first message, so printer 2 is never tried; the late error answer to the
    // first message does, and then the reserve printer may take the check.
    SetUp();
    calls.clear();
    printed.clear();
    for (int cycle = 0; cycle < 5; ++cycle) {
        storage->cycles.push_back({Bill("41", 50)});
    }
    script.answers["1"] = {AnswerKind::TimedOut, AnswerKind::DeviceError, AnswerKind::TimedOut,
                           AnswerKind::DeviceError, AnswerKind::DeviceError};
    script.lateAnswers["1"] = {AnswerKind::TimedOut, AnswerKind::DeviceError};
    ASSERT_TRUE(Run(5));
    Calls expected = {"PrintCheck 1 41", "CollectLateAnswer 1 41", "PrintCheck 1 41",  // cycles 1, 2
                      "PrintCheck 1 41", "CollectLateAnswer 1 41", "PrintCheck 1 41",  // cycles 3, 4
                      "PrintCheck 1 41", "PrintCheck 2 41"};                           // cycle 5
    Calls seen;
    for (const std::string& c : CallsFor("41")) {
        if (c.rfind("PrintCheck", 0) == 0 || c.rfind("CollectLateAnswer", 0) == 0) {
            seen.push_back(c);
        }
    }
    EXPECT_EQ(seen, expected);
}

// The position of the first call, or calls.size() when there is none.
size_t Position(const Calls& calls, const std::string& call, size_t from = 0) {
    return static_cast<size_t>(
        std::find(calls.begin() + static_cast<std::ptrdiff_t>(from), calls.end(), call) - calls.begin());
}

TEST_F(WorkerTest, TheCheckFileNameIsKeptBeforeTheFirstAttemptOrTheCheckWaits) {
    storage->cycles.push_back({Bill("50", 50), Bill("51", 60)});
    storage->cycles.back()[1].payments[0].trx_no = 201;
    storage->refuseName = {"51"};
    ASSERT_TRUE(Run(1));
    EXPECT_LT(Position(calls, "SaveCheckFileName 1_50_11_100000 50"), Position(calls, "PrintCheck 1 50"));
    ASSERT_EQ(printed.size(), 1u);
    EXPECT_EQ(printed[0].printedFileName, "1_50_11_100000");
    // Not kept: not sent, still N, for a later cycle.
    EXPECT_EQ(Count("PrintCheck 1 51") + Count("PrintCheck 2 51"), 0);
    EXPECT_EQ(Count("SetCheckStatus 51 Y"), 0);
    EXPECT_NE(LogText().find("Check file name 1_51_11_100000 of check 51 not kept"), std::string::npos);
}

TEST_F(WorkerTest, ARegistrationTheDatabaseRefusesIsKeptAndWrittenBeforeAnythingNewIsFound) {
    CFiscalCheck second = Bill("61", 60);
    second.payments[0].trx_no = 201;
    storage->cycles.push_back({Bill("60", 50), second});
    storage->cycles.push_back({});
    storage->refuseY = 1;
    ASSERT_TRUE(Run(2));
    EXPECT_EQ(Count("PrintCheck 1 60"), 1);
    EXPECT_EQ(Count("SetCheckStatus 60 Y"), 2);
    // The rest of that cycle waits; the next cycle writes the registration before it looks.
    EXPECT_EQ(Count("SetCheckStatus 61 N"), 0);
    size_t refused = Position(calls, "SetCheckStatus 60 Y");
    size_t written = Position(calls, "SetCheckStatus 60 Y", refused + 1);
    size_t secondLook = Position(calls, "GetChecks", Position(calls, "GetChecks") + 1);
    EXPECT_LT(written, secondLook);
    EXPECT_NE(LogText().find("Registration of check 60 (fiscal number , printer 1) kept in "),
              std::string::npos);
    COutcomeJournal after;
    std::string error;
    ASSERT_TRUE(after.Open(temp.Path(), error)) << error;
    EXPECT_TRUE(after.Entries().empty());
}

TEST_F(WorkerTest, AfterACrashTheCheckInDoubtGoesOnlyToItsPrinterAndAKeptRegistrationIsWritten) {
    // What a service killed in the middle of two registrations left behind.
    CFiscalCheck sent = Bill("70", 50);
    sent.printedFileName = "2_70_11_100000";
    CFiscalCheck registered = Bill("71", 60);
    registered.payments[0].trx_no = 201;
    registered.printedFileName = "1_71_11_100000";
    registered.fiscalNumber = "5071";
    {
        COutcomeJournal before;
        std::string error;
        ASSERT_TRUE(before.Open(temp.Path(), error)) << error;
        ASSERT_TRUE(before.Sending("2_70_11_100000", "2", sent));
        ASSERT_TRUE(before.Outcome("1_71_11_100000", "1", registered));
    }
    // Found again with the name its status rows keep.
    storage->cycles.push_back({sent});
    ASSERT_TRUE(Run(1));
    EXPECT_LT(Position(calls, "SetCheckStatus 71 Y"), Position(calls, "GetChecks"));
    EXPECT_EQ(Count("PrintCheck 1 71") + Count("PrintCheck 2 71"), 0);
    EXPECT_EQ(Count("PrintCheck 1 70"), 0);
    EXPECT_EQ(Count("PrintCheck 2 70"), 1);
    EXPECT_EQ(Count("SaveCheckFileName 2_70_11_100000 70"), 0);
    ASSERT_EQ(printed.size(), 1u);
    EXPECT_EQ(printed[0].printedFileName, "2_70_11_100000");
    EXPECT_EQ(Count("SetCheckStatus 70 Y"), 1);
    EXPECT_NE(LogText().find("1 checks in doubt, 1 registrations waiting for the database"),
              std::string::npos);
}

TEST_F(WorkerTest, ACashCommandInDoubtIsClosedByHandNotSentAgain) {
    CFiscalCheck loan = Bill("80", 50);
    loan.statusCode = kCashLoan;
    storage->cycles.push_back({loan});
    storage->cycles.push_back({loan});
    script.answers["1"] = {AnswerKind::TimedOut};
    script.lateAnswers["1"] = {AnswerKind::TimedOut};
    ASSERT_TRUE(Run(2));
    EXPECT_EQ(Count("PrintCheck 1 80"), 1);
    EXPECT_EQ(Count("PrintCheck 2 80"), 0);
    EXPECT_EQ(Count("CollectLateAnswer 1 80"), 1);
    EXPECT_EQ(Count("SaveDescription 1 80"), 1);
    EXPECT_EQ(Count("SetCheckStatus 80 Y"), 1);
    EXPECT_EQ(Count("ShowMessage 1 Check 80. Check description saved. Close check manually."), 1);
}

TEST_F(WorkerTest, OnlyTheHolderOfThePropertysLeaseRegistersAndSwitchesPayments) {
    using Lease = CFiscalStorage::Lease;
    // Held elsewhere at the start and in the first cycle; then taken.
    storage->leases = {Lease::HeldElsewhere, Lease::HeldElsewhere, Lease::Held};
    storage->cycles.push_back({Bill("90", 50)});
    ASSERT_TRUE(Run(2));
    size_t taken = Position(calls, "GetChecks");
    ASSERT_LT(taken, calls.size());
    EXPECT_EQ(Count("GetChecks"), 1);
    EXPECT_LT(taken, Position(calls, "BlockPayments off"));
    EXPECT_EQ(Count("SetCheckStatus 90 Y"), 1);
    std::string log = LogText();
    const std::string waiting =
        "Another service registers the checks of this property: pms-host|4242|/opt/fiscora/, "
        "lease until 01.01.2026 10:05:00. Waiting for it to end";
    EXPECT_EQ(log.find(waiting), log.rfind(waiting));
    EXPECT_NE(log.find(waiting), std::string::npos);

    // Lost at the renewal right before the device is called (a third of the lease has passed):
    // nothing is sent, nothing goes to the reserve printer, and a service that no longer holds the
    // property leaves payment entry alone.
    SetUp();
    calls.clear();
    storage->leases = {Lease::Held, Lease::HeldElsewhere, Lease::HeldElsewhere};
    onPause = [&](int64_t ms) {
        if (ms == 1000) {
            clock.Advance(30000);
        }
    };
    storage->cycles.push_back({Bill("91", 50)});
    ASSERT_TRUE(Run(2));
    EXPECT_EQ(Count("PrintCheck 1 91") + Count("PrintCheck 2 91"), 0);
    EXPECT_EQ(Count("SetCheckStatus 91 N"), 1);
    EXPECT_EQ(Count("BlockPayments on"), 0);
}

TEST_F(WorkerTest, AllPrintersFailingLeavesTheCheckNAndPaymentsBlocked) {
    storage->cycles.push_back({Bill("11", 50)});
    results["1"] = {false};
    results["2"] = {false};
    ASSERT_TRUE(Run(1));
    EXPECT_EQ(Count("SetCheckStatus 11 Y"), 0);
    EXPECT_EQ(calls.back(), "Disconnect 2");
    // Blocked after the failure; the stop keeps them blocked (no second call needed).
    EXPECT_EQ(Count("BlockPayments on"), 1);
}

TEST_F(WorkerTest, BlockingDisabledNeverBlocks) {
    for (const char* value : {"N", "0"}) {
        SetUp();
        calls.clear();
        config->parameters["//fidelio_ini/block_payments"] = value;
        storage->cycles.push_back({Bill("12", 50)});
        storage->cycles.push_back({});
        results["1"] = {false};
        results["2"] = {false};
        ASSERT_TRUE(Run(2));
        EXPECT_EQ(Count("BlockPayments on"), 0) << value;
        EXPECT_EQ(Count("BlockPayments off"), 0) << value;
        worker.reset();
    }
}

TEST_F(WorkerTest, EmptyListsUnblockOnlyOnceAndStopBlocks) {
    storage->cycles = {{}, {}, {}};
    ASSERT_TRUE(Run(3));
    EXPECT_EQ(Count("BlockPayments off"), 1);  // at the start of the loop; the empty lists change nothing
    EXPECT_EQ(Count("BlockPayments on"), 1);   // at stop
    EXPECT_EQ(calls.back(), "Disconnect 2");
    EXPECT_TRUE(worker->PaymentsBlocked());
}

TEST_F(WorkerTest, FailedUnblockIsRetriedByTheNextEmptyList) {
    storage->blockResult = false;
    storage->cycles = {{}, {}};
    ASSERT_TRUE(Run(2));
    // Each attempt failed, so the state never changed and every empty list tried again.
    EXPECT_EQ(Count("BlockPayments off"), 3);
}

TEST_F(WorkerTest, StopDuringThePreCheckPauseTouchesNoCheck) {
    storage->cycles.push_back({Bill("13", 10), Bill("14", 10)});
    onPause = [&](int64_t ms) {
        if (ms == 1000) {
            StopFromControlThread();
        }
    };
    ASSERT_TRUE(Run(5));
    EXPECT_TRUE(CallsFor("13").empty());
    EXPECT_TRUE(CallsFor("14").empty());
    EXPECT_NE(LogText().find("Stop payment monitoring"), std::string::npos);
}

TEST_F(WorkerTest, StopDuringTheAfterPrintPauseEndsBeforeTheNextCheck) {
    storage->cycles.push_back({Bill("15", 10), Bill("16", 10)});
    onPause = [&](int64_t ms) {
        if (ms == kAfterPrint) {
            StopFromControlThread();
        }
    };
    ASSERT_TRUE(Run(5));
    EXPECT_EQ(Count("SetCheckStatus 15 Y"), 1);
    EXPECT_TRUE(CallsFor("16").empty());
}

TEST_F(WorkerTest, StopBeforeTheLoopStartsIsNotLost) {
    storage->cycles.push_back({Bill("17", 10)});
    worker = NewWorker();
    worker->Log().SetEcho(false);
    // A stop that arrives while the storage is still connecting.
    EXPECT_TRUE(worker->Stop());
    EXPECT_TRUE(worker->Start());
    EXPECT_TRUE(CallsFor("17").empty());
    EXPECT_EQ(Count("BlockPayments off"), 0);
}

TEST_F(WorkerTest, StopDuringStartUpWaitsForItAndNeverUnblocksPayments) {
    storage->cycles.push_back({Bill("21", 10)});
    worker = NewWorker();
    worker->Log().SetEcho(false);
    storage->onOpen = [this] { StopFromControlThread(); };
    EXPECT_TRUE(worker->Start());
    stopper.join();
    // The stop went on only when start-up was over: both devices let go, the loop never ran
    // and the payments were never unblocked.
    EXPECT_EQ(Count("GetChecks"), 0);
    EXPECT_EQ(Count("BlockPayments off"), 0);
    EXPECT_EQ(Count("Disconnect 1") + Count("Disconnect 2"), 2);
    auto connected = std::find(calls.begin(), calls.end(), "Connect 2");
    EXPECT_NE(std::find(connected, calls.end(), "Disconnect 2"), calls.end());
    EXPECT_TRUE(CallsFor("21").empty());
}

TEST_F(WorkerTest, SuccessOnCzechPrinterSavesTheFiscalResult) {
    config->printerType = 10;
    storage->cycles.push_back({Bill("18", 10)});
    ASSERT_TRUE(Run(1));
    EXPECT_EQ(Count("SaveFiscalResult 18"), 1);
}

TEST_F(WorkerTest, RefundProcessingConfirmsRefundsAndSavesCheckNumbers) {
    config->parameters["//printer_ini/print_refund"] = "2";
    CFiscalCheck sale = Bill("19", 40);
    CFiscalCheck refund = Bill("20", -40);
    refund.payments[0].reference = "1234";
    storage->cycles.push_back({sale, refund});
    ASSERT_TRUE(Run(1));
    EXPECT_EQ(Count("SaveCheckNumber 200 R19"), 1);
    EXPECT_EQ(Count("ConfirmRefund 20 1234 -40.00"), 1);
    EXPECT_EQ(Count("PrintCheck 1 20"), 1);
    EXPECT_EQ(Count("SaveCheckNumber 200 R20"), 0);  // not for a refund
    EXPECT_NE(LogText().find("Refund processing!"), std::string::npos);
    EXPECT_NE(LogText().find("Check reference 1234 for confirmation "), std::string::npos);
}

TEST_F(WorkerTest, RefundConfirmationFailuresLeaveTheCheckN) {
    struct Case {
        std::string reference;
        bool storageConfirms;
        std::string logLine;
        std::string message;
    } cases[] = {
        {"", true, "Reference is empty",
         "Для чека возврата не введен номер исходной операции. Введите номер в поле Reference."},
        {"Split 5", true, "Reference is not correct", "Для чека возврата введите номер исходной операции в Reference."},
        {"abc", true, "Reference is not correct",
         "Для чека возврата введен неверный номер исходной операции. Введите номер в поле Reference."},
        {"99", false, "Check reference 99 for confirmation", "Original check not found"},
    };
    for (const Case& c : cases) {
        SetUp();
        calls.clear();
        config->parameters["//printer_ini/print_refund"] = "2";
        storage->confirmResult = c.storageConfirms;
        CFiscalCheck refund = Bill("21", -40);
        refund.payments[0].reference = c.reference;
        storage->cycles.push_back({refund});
        ASSERT_TRUE(Run(1));
        EXPECT_EQ(Count("PrintCheck 1 21"), 0) << c.reference;
        EXPECT_EQ(Count("SetCheckStatus 21 Y"), 0) << c.reference;
        std::string cp = c.storageConfirms ? platform::Cp1251(c.message) : c.message;
        EXPECT_EQ(Count("ShowMessage 1 Check 21. " + cp), 1) << c.reference;
        EXPECT_NE(LogText().find(c.logLine), std::string::npos) << c.reference;
        worker.reset();
    }
}

TEST_F(WorkerTest, NoPrinterChosenSavesTheDescription) {
    storage->cycles.push_back({Bill("23", 10)});
    registry->noPrinter.insert("23");
    ASSERT_TRUE(Run(1));
    EXPECT_EQ(Count("ValidateCheck 23 "), 1);
    EXPECT_EQ(Count("SetCheckStatus 23 Y"), 1);
    EXPECT_EQ(Count("PrintCheck 1 23"), 0);
    EXPECT_NE(LogText().find("No printer for the check"), std::string::npos);
}

TEST_F(WorkerTest, NullCheckMessagesAreNotShown) {
    storage->cycles.push_back({Bill("24", 10)});
    config->rules = [](CFiscalCheck& check, FakeConfig& cfg) {
        check.SetStatusCode(kBillCheck);
        check.documentKind = 2;
        cfg.SetError("Null check. Skipping.");
        return false;
    };
    ASSERT_TRUE(Run(1));
    EXPECT_EQ(Count("SetCheckStatus 24 Y"), 1);
    for (const std::string& c : calls) {
        EXPECT_EQ(c.rfind("ShowMessage", 0), std::string::npos) << c;
    }
}

TEST_F(WorkerTest, PosPostingsAreExpandedThroughTheStorage) {
    config->parameters["//micros_check_expand"] = "1";
    config->interfaceCashiers = {"42"};
    storage->posCenters = {3000};
    CFiscalCheck check = Bill("25", 30);
    struct_posting center;
    center.trx_code = 3000;
    center.reference = "555";
    center.cashier_id = "42";
    center.trx_amount = 10;
    struct_posting flagged;
    flagged.trx_code = 1000;
    flagged.cheque_number = "556";
    flagged.pos_flag = true;
    flagged.cashier_id = "42";
    struct_posting foreign;
    foreign.trx_code = 1000;
    foreign.cheque_number = "557";
    foreign.cashier_id = "7";
    check.postings = {center, flagged, foreign};
    storage->cycles.push_back({check});
    ASSERT_TRUE(Run(1));
    EXPECT_EQ(Count("ExpandPosCheck 555 3000 0"), 1);
    // The system number of the revenue-centre posting carries over to the next POS number found
    // after the restart of the scan.
    EXPECT_EQ(Count("ExpandPosCheck 556 3000 1"), 1);
    EXPECT_EQ(Count("ExpandPosCheck 557 0 0"), 0);
    std::string log = LogText();
    EXPECT_NE(log.find("Read Micros Check 555, SI 3000"), std::string::npos);
    EXPECT_NE(log.find("Read Micros Check 556, SI 3000"), std::string::npos);
    EXPECT_NE(log.find("Not inteface cashier 7"), std::string::npos);
    EXPECT_EQ(Count("PrintCheck 1 25"), 1);
}

TEST_F(WorkerTest, StartUpFailuresStopAndReport) {
    struct Case {
        std::function<void(WorkerTest&)> arrange;
        std::string error;
    } cases[] = {
        {[](WorkerTest& t) { t.config->loadError = "VuvovaZododAVU.xml file FAILED to load\nbad"; },
         "VuvovaZododAVU.xml file FAILED to load\nbad"},
        {[](WorkerTest& t) { t.registry->loadError = "Empty printer list!"; }, "Empty printer list!"},
        {[](WorkerTest& t) {
             t.config->version = 6;
             t.config->parameters["//fidelio_ini/version"] = "OPERA6";
         },
         "Unknown Fidelio version \"OPERA6\": //fidelio_ini/version must be OPERA, OPERA4, OPERA5 or "
         "FIDELIO8"},
        {[](WorkerTest& t) { t.config->version = 3; }, "Unknown storage version"},
        {[](WorkerTest& t) { t.storage->openError = "DATABASE CONNECT UNDEFINED"; },
         "DATABASE CONNECT UNDEFINED"},
        // A device interface that cannot be set up is named with its printer.
        {[](WorkerTest& t) { t.refuse.insert("2"); }, "printer 2 (127.0.0.1 : 4050): its device interface cannot be set up"},
    };
    for (const Case& c : cases) {
        SetUp();
        calls.clear();
        refuse.clear();
        c.arrange(*this);
        EXPECT_FALSE(Run(1));
        EXPECT_EQ(worker->GetLastError(), c.error);
        EXPECT_EQ(Count("GetChecks"), 0);
        EXPECT_TRUE(worker->StoppedEvent().IsSet());
        EXPECT_NE(LogText().find("Stop service"), std::string::npos);
        worker.reset();
    }
}

TEST_F(WorkerTest, StartUpReadsTimingAndOptions) {
    config->waitNextCheck = 0;
    config->baseMonitoring = 0;
    config->parameters = {{"//printer_ini/decimal_point", "0"},  {"//printer_ini/print_copy", "1"},
                          {"//printer_ini/cash_drawer", "0"},    {"//printer_ini/save_shift_number", "1"},
                          {"//fiscal_trans_ini/qel_nls_lang", "AMERICAN_AMERICA.CL8MSWIN1251"}};
    platform::SetEnv("NLS_LANG", "RUSSIAN_CIS.UTF8");
    ASSERT_TRUE(Run(0));
    EXPECT_EQ(worker->PollPeriod(), 5000);
    EXPECT_EQ(worker->AfterPrintPause(), 5000);
    std::string log = LogText();
    for (const char* line : {"Decimal point position: 0", "Print copy: Yes", "Cash Drawer: No",
                             "Save Shift Number: Yes", "Original NLS_LANG: RUSSIAN_CIS.UTF8",
                             "New NLS_LANG: AMERICAN_AMERICA.CL8MSWIN1251"}) {
        EXPECT_NE(log.find(line), std::string::npos) << line;
    }
    EXPECT_EQ(platform::GetEnv("NLS_LANG"), "AMERICAN_AMERICA.CL8MSWIN1251");
    Calls connects;
    for (const std::string& c : calls) {
        if (c.rfind("Connect", 0) == 0) {
            connects.push_back(c);
        }
    }
    EXPECT_EQ(connects, (Calls{"Connect 1", "Connect 2"}));
}

TEST_F(WorkerTest, AgentRequisitesAreReadAndSplitPostings) {
    // The log folder is the temp folder, so the requisites file is read from there.
    platform::WriteFile(temp.File("AgentDetails.txt"),
                        "1000=AG7=15%=Tour Agency\r\n0=ignored\nabc=ignored\nno equals sign\n2000=AG8\n");
    config->parameters["//tax_mode/agent_tax"] = "4";
    storage->cycles.push_back({Bill("26", 100)});
    ASSERT_TRUE(Run(1));
    ASSERT_EQ(worker->Preparer().AgentRequisites().size(), 2u);
    EXPECT_EQ(worker->Preparer().AgentRequisites().at(1000), "AG7=15%=Tour Agency");
    EXPECT_EQ(worker->Preparer().AgentRequisites().at(2000), "AG8");
    std::string log = LogText();
    EXPECT_NE(log.find("AGENT REQUISITES SUPPORTED"), std::string::npos);
    EXPECT_NE(log.find("1000 : AG7=15%=Tour Agency"), std::string::npos);
    EXPECT_NE(log.find("Agent tax: 4"), std::string::npos);
    EXPECT_NE(log.find("Agent\n"), std::string::npos);
}

TEST_F(WorkerTest, EveryInterfaceCheckOfABillIsExpandedAlsoWhenOneLeavesNoItems) {
    CFiscalCheck bill = Bill("30", 5);
    struct_posting line = bill.postings[0];
    line.line_type = 14;
    bill.postings.clear();
    // POS check A cancels itself out; B stands right behind it.
    for (auto [number, amount] : {std::pair<const char*, double>{"A", 10}, {"A", -10}, {"B", 5}}) {
        line.cheque_number = number;
        line.trx_amount = amount;
        bill.postings.push_back(line);
    }
    storage->cycles.push_back({bill});
    ASSERT_TRUE(Run(1));
    EXPECT_NE(LogText().find("Interface Check A"), std::string::npos);
    EXPECT_NE(LogText().find("Interface Check B"), std::string::npos);
}

TEST_F(WorkerTest, AnErrorThatEndsTheWorkerIsLoggedAndLeavesThePaymentsBlocked) {
    // In the loop, after a registration unblocked the payments, and while the storage opens.
    for (bool inLoop : {true, false}) {
        SCOPED_TRACE(inLoop ? "in the loop" : "while starting");
        SetUp();
        calls.clear();
        storage->cycles.push_back({Bill("31", 10)});
        worker = NewWorker();
        worker->Log().SetEcho(false);
        if (inLoop) {
            clock.SetHook([this](int64_t ms) {
                if (ms == worker->PollPeriod()) {
                    throw std::runtime_error("memory exhausted");
                }
            });
        } else {
            storage->onOpen = [] { throw std::runtime_error("memory exhausted"); };
        }
        EXPECT_FALSE(worker->Start());
        clock.SetHook(nullptr);
        EXPECT_EQ(worker->FailureReason(),
                  "Worker stopped by an error: memory exhausted (log: " + temp.File("qelfiscal.log") + ")");
        const std::string log = LogText();
        const size_t error = log.find("Worker stopped by an error: memory exhausted");
        ASSERT_NE(error, std::string::npos);
        EXPECT_NE(log.find("Stop service", error), std::string::npos) << log;

        if (!inLoop) {
            EXPECT_EQ(Count("BlockPayments off"), 0);
            continue;
        }
        // Nothing registers payments any more: they are blocked after the registration had
        // unblocked them, and the devices are let go.
        EXPECT_EQ(Count("BlockPayments off"), 1);
        auto blocked = std::find(calls.rbegin(), calls.rend(), "BlockPayments on");
        ASSERT_NE(blocked, calls.rend());
        EXPECT_EQ(std::find(calls.rbegin(), blocked, "BlockPayments off"), blocked);
        EXPECT_EQ(Count("Disconnect 1") + Count("Disconnect 2"), 2);
    }

    // A start that fails is reported as such.
    SetUp();
    storage->openError = "Oracle connect problem.";
    worker = NewWorker();
    worker->Log().SetEcho(false);
    EXPECT_FALSE(worker->Start());
    EXPECT_EQ(worker->FailureReason(),
              "start-up failed: Oracle connect problem. (log: " + temp.File("qelfiscal.log") + ")");
}

TEST_F(WorkerTest, ReadyOnlyAfterStartUpAndHealthFollowsTheDevicesAndTheDatabase) {
    storage->cycles.push_back({Bill("40", 10)});
    storage->cycles.push_back({Bill("41", 10)});
    storage->cycles.push_back({});
    results["1"] = {false, true};
    results["2"] = {false};
    std::vector<std::string> events;
    prepare = [&](CBaseMonitoring& w) {
        w.SetStartedHandler([&] { events.push_back("started, " + text::Join(calls, ";")); });
        w.SetHealthHandler([&](const WorkerHealth& health) { events.push_back(health.StatusText()); });
    };
    onPause = [&](int64_t ms) {
        // While the third cycle waits, the database goes away.
        if (ms == kPoll && Count("GetChecks") == 2) {
            storage->reachable = false;
            storage->SetError("unable to open database file: demo_pms.db");
        }
    };
    ASSERT_TRUE(Run(3));
    ASSERT_GE(events.size(), 5u);
    // Ready once, after the devices were connected and before the first poll.
    EXPECT_EQ(events[0].substr(0, 8), "started,");
    EXPECT_NE(events[0].find("Connect 2"), std::string::npos);
    EXPECT_EQ(events[0].find("GetChecks"), std::string::npos);
    EXPECT_EQ(std::count_if(events.begin(), events.end(),
                            [](const std::string& e) { return e.rfind("started", 0) == 0; }),
              1);
    Calls expected = {
        "Running", "Running: 1 check pending",
        "Running: 1 check pending, printer 1 unreachable, printer 2 unreachable, payments blocked",
        "Running: printer 2 unreachable",
        // A database that does not answer found nothing because it said nothing: payments stay
        // blocked, not opened by the empty list.
        "Running: printer 2 unreachable, payments blocked, PMS database unreachable: unable to open database "
        "file: demo_pms.db"};
    EXPECT_EQ(std::vector<std::string>(events.begin() + 1, events.end()), expected);
}

TEST_F(WorkerTest, AFailedStartUpNeverReportsReady) {
    bool started = false;
    config->loadError = "VuvovaZododAVU.xml file FAILED to load\nFile was not found";
    prepare = [&](CBaseMonitoring& w) { w.SetStartedHandler([&] { started = true; }); };
    EXPECT_FALSE(Run(1));
    EXPECT_FALSE(started);
}

TEST_F(WorkerTest, ALogOrJournalThatCannotBeWrittenStopsStartUp) {
    struct Case {
        std::string log;
        std::string journal;
        std::string error;
        // ENOENT (2) is Windows' own "file not found" number too.
    } cases[] = {
        {temp.File("missing/qelfiscal.log"), "",
         "Error open " + temp.File("missing/qelfiscal.log") + ": " + platform::SystemErrorText(ENOENT)},
        {temp.File("qelfiscal.log"), temp.File("nowhere/"),
         "Check journal folder " + temp.File("nowhere/") + " cannot be written: " + platform::SystemErrorText(ENOENT)},
    };
    for (const Case& c : cases) {
        SetUp();
        worker = std::make_unique<CBaseMonitoring>(
            std::make_unique<FakeParts>(ownedConfig, ownedRegistry, ownedStorage, calls, results, refuse,
                                        printed, script),
            c.log);
        worker->Log().SetEcho(false);
        if (!c.journal.empty()) {
            ServicePaths paths;
            paths.journalFolder = c.journal;
            paths.sideFileFolder = temp.Path();
            worker->SetPlaces(paths);
        }
        EXPECT_FALSE(worker->Start());
        EXPECT_EQ(worker->GetLastError(), c.error);
        EXPECT_EQ(Count("Open"), 0);
        worker.reset();
    }
}

// The journal as the next start (or the status command) finds it.
COutcomeJournal JournalIn(const platform::TempFolder& temp) {
    COutcomeJournal journal;
    std::string error;
    EXPECT_TRUE(journal.Read(temp.Path(), error)) << error;
    return journal;
}

TEST_F(WorkerTest, AnExchangeKeepsItsKeyWhenTheAnswerNamesTheCheckAnew) {
    // Registered at once, and registered by the late answer to the next cycle's repeat: each
    // exchange ends settled under the key it began with, so nothing stays in doubt.
    script.namedByAnswer = true;
    CFiscalCheck late = Bill("21", 60);
    late.payments[0].trx_no = 201;
    storage->cycles.push_back({Bill("20", 50), late});
    storage->cycles.push_back({late});
    script.answers["1"] = {AnswerKind::Success, AnswerKind::TimedOut, AnswerKind::Success};
    ASSERT_TRUE(Run(2));
    EXPECT_EQ(Count("SetCheckStatus 20 Y"), 1);
    EXPECT_EQ(Count("SetCheckStatus 21 Y"), 1);
    EXPECT_EQ(Count("PrintCheck 2 21"), 0);
    EXPECT_TRUE(JournalIn(temp).Entries().empty());
    // The next start finds nothing in doubt and tells of nothing.
    size_t before = LogText().size();
    SetUp();
    storage->cycles.push_back({});
    ASSERT_TRUE(Run(1));
    EXPECT_EQ(LogText().find("in doubt", before), std::string::npos);
}

TEST_F(WorkerTest, AtStartAnEntryWhoseRowIsFinalIsNoLongerInDoubt) {
    CFiscalCheck closed = Bill("25", 50);
    CFiscalCheck open = Bill("26", 60);
    open.payments[0].trx_no = 201;
    {
        // An older version's journal: the sending records of two checks; the first was
        // registered (its row is Y), the answer to the second never came.
        COutcomeJournal before;
        std::string error;
        ASSERT_TRUE(before.Open(temp.Path(), error)) << error;
        ASSERT_TRUE(before.Sending("25/200", "1", closed));
        ASSERT_TRUE(before.Sending("26/201", "1", open));
    }
    storage->letters = {{200, "Y"}};
    storage->cycles.push_back({});
    ASSERT_TRUE(Run(1));
    EXPECT_NE(
        LogText().find("Check 25 (transaction 200, 25/200) is Y in the status table: no longer in doubt"),
        std::string::npos);
    EXPECT_NE(LogText().find("1 checks in doubt, 0 registrations waiting"), std::string::npos);
    COutcomeJournal after = JournalIn(temp);
    ASSERT_EQ(after.Entries().size(), 1u);
    EXPECT_NE(after.Find("26/201", 0), nullptr);
}

// Makes the outcome journal of the folder unwritable (a folder in its place) or writable again.
void BreakJournal(const platform::TempFolder& temp, bool broken) {
    std::string path = temp.File(COutcomeJournal::kFileName);
    std::error_code ignored;
    std::filesystem::remove(path, ignored);
    if (broken) {
        std::filesystem::create_directory(path, ignored);
    }
}

TEST_F(WorkerTest, AJournalThatRefusesRecordsBlocksPaymentsUntilItTakesThemAgain) {
    // Cycle 1 registers; the journal breaks before cycle 2, which sends nothing and blocks
    // payments, and cycle 3 does not look for checks; writable again, cycle 4 registers the check
    // and unblocks.
    CFiscalCheck waiting = Bill("31", 60);
    waiting.payments[0].trx_no = 201;
    storage->cycles = {{Bill("30", 50)}, {waiting}, {waiting}};
    int polls = 0;
    onPause = [&](int64_t ms) {
        if (ms == kPoll) {
            ++polls;
            BreakJournal(temp, polls == 2 || polls == 3);
        }
    };
    ASSERT_TRUE(Run(4));
    EXPECT_EQ(Count("GetChecks"), 3);
    EXPECT_EQ(Count("SetCheckStatus 31 Y"), 1);
    Calls switches;
    for (const std::string& c : calls) {
        if (c.rfind("BlockPayments", 0) == 0 || c.rfind("PrintCheck", 0) == 0) {
            switches.push_back(c);
        }
    }
    // Start, cycle 1, cycle 2 (nothing sent, no reserve printer: blocked), the registration of
    // cycle 4 (unblocked), stop.
    Calls expected = {"BlockPayments off", "PrintCheck 1 30",   "BlockPayments on",
                      "PrintCheck 1 31",   "BlockPayments off", "BlockPayments on"};
    EXPECT_EQ(switches, expected);
    std::string log = LogText();
    EXPECT_NE(log.find("refused the record sending 1_31_11_100000: nothing is sent and payments are blocked"),
              std::string::npos);
    EXPECT_NE(log.find("can be written again"), std::string::npos);
    EXPECT_EQ(Count("ShowMessage 1 Check 31. The outcome journal " + temp.File(COutcomeJournal::kFileName) +
                    " cannot be written: nothing is sent"),
              1);
    EXPECT_TRUE(JournalIn(temp).Entries().empty());
}

TEST_F(WorkerTest, ASettledRecordTheJournalRefusesIsWrittenOnceItCanBe) {
    // In doubt in cycle 1; the journal breaks; the late answer in cycle 2 registers it (the
    // database has it), but its outcome and settled records miss the file. Writable again, the
    // journal is made whole, and no start finds the check in doubt.
    storage->cycles = {{Bill("35", 50)}, {Bill("35", 50)}, {}, {}};
    script.answers["1"] = {AnswerKind::TimedOut};
    script.lateAnswers["1"] = {AnswerKind::Success};
    onPause = [&](int64_t ms) {
        if (ms == kPoll) {
            BreakJournal(temp, Count("GetChecks") == 1 || Count("GetChecks") == 2);
        }
    };
    ASSERT_TRUE(Run(4));
    EXPECT_EQ(Count("PrintCheck 1 35"), 1);
    EXPECT_EQ(Count("CollectLateAnswer 1 35"), 1);
    EXPECT_EQ(Count("SetCheckStatus 35 Y"), 1);
    EXPECT_TRUE(JournalIn(temp).Entries().empty());
    EXPECT_NE(LogText().find("refused the record outcome "), std::string::npos);
}

TEST_F(WorkerTest, ADeviceRepeatsWhatTheJournalHoldsInDoubtAndLetsGoOnlyOnceItsEndIsJournalled) {
    // In doubt in cycle 1, its late answer never comes, its repeat registers it in cycle 2; a
    // second check is refused and settled in cycle 1.
    script.namedByAnswer = true;
    script.journalFolder = temp.Path();
    CFiscalCheck refused = Bill("46", 60);
    refused.payments[0].trx_no = 201;
    storage->cycles.push_back({Bill("45", 50)});
    storage->cycles.push_back({Bill("45", 50), refused});
    script.answers["1"] = {AnswerKind::Cut, AnswerKind::Success, AnswerKind::DeviceError};
    script.answers["2"] = {AnswerKind::Success};
    ASSERT_TRUE(Run(2));
    EXPECT_EQ(script.repeats, (std::vector<bool>{false, true, false, false}));
    // Each end once it is no longer in the journal (the refusal on printer 1, then the
    // registration on printer 2); nothing while the first check was in doubt.
    std::vector<std::pair<std::string, bool>> expected = {
        {"45/200", false}, {"46/201", false}, {"46/201", false}};
    EXPECT_EQ(script.settled, expected);
    EXPECT_TRUE(JournalIn(temp).Entries().empty());
}
