#include "ServiceRun.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <map>
#include <set>

#include "platform/Environment.h"
#include "platform/FileSystem.h"
#include "platform/Text.h"
#include "service/COutcomeJournal.h"

// Whatever way a test starts the service, the client library's discovery stays on loopback.
static const bool kLoopbackBroadcast = platform::SetEnv("LGX_BROADCAST_ADDRESS", "127.255.255.255");

std::string SourceDir() {
    std::string source = platform::GetEnv("FISCORA_SOURCE_DIR");
    if (source.empty()) {
        std::string here = __FILE__;
        source = here.substr(0, here.rfind("/tests/"));
    }
    return source + "/";
}

std::string ServiceBinary() {
    std::string binaryDir = platform::GetEnv("FISCORA_BINARY_DIR");
    return (binaryDir.empty() ? platform::ProgramFolder() : binaryDir + "/") + "FiscoraService";
}

ServiceRun::ServiceRun() : ServiceRun("demo/VuvovaZododAVU.xml") {}

ServiceRun::ServiceRun(const std::string& demoConfiguration) : ServiceRun(demoConfiguration, ServiceBinary()) {}

ServiceRun::ServiceRun(const std::string& demoConfiguration, const std::string& program)
    : ServiceFolder(temp.Path(), program, SourceDir() + demoConfiguration) {}

ServiceRun::~ServiceRun() {
    Shutdown();
    std::string keep = platform::GetEnv("FISCORA_E2E_KEEP");
    const ::testing::TestInfo* test = ::testing::UnitTest::GetInstance()->current_test_info();
    if (!keep.empty() && test) {
        std::error_code ignored;
        std::string target = keep + "/" + test->test_suite_name() + "." + test->name();
        std::filesystem::remove_all(target, ignored);
        std::filesystem::create_directories(target, ignored);
        std::filesystem::copy(temp.Path(), target, std::filesystem::copy_options::recursive, ignored);
    }
}

bool ServiceRun::MakePms(pmsgen::OpenDay day, bool testBills, pmsgen::PmsKind pms) {
    pmsgen::Options options;
    options.openDay = day;
    options.testBills = testBills;
    options.pms = pms;
    return MakePms(options);
}

bool ServiceRun::MakePms(const pmsgen::Options& options) {
    std::string error;
    bool made = ServiceFolder::MakePms(options, error);
    EXPECT_TRUE(made) << error;
    return made;
}

bool ServiceRun::StartSimulators(const std::vector<std::string>& printerIdPrefixes) {
    std::string error;
    bool started = ServiceFolder::StartSimulators(printerIdPrefixes, error);
    EXPECT_TRUE(started) << error;
    return started;
}

bool ServiceRun::Start(pmsgen::OpenDay day, bool testBills, const Changes& changes) {
    pmsgen::Options options;
    options.openDay = day;
    options.testBills = testBills;
    return Start(options, changes);
}

bool ServiceRun::Start(const pmsgen::Options& options, const Changes& changes) {
    bool configured = MakePms(options) && StartSimulators() && Configure(changes);
    EXPECT_TRUE(configured) << "the demo configuration does not hold what the test changes";
    bool started = configured && StartService();
    EXPECT_TRUE(started) << Diagnostics();
    return started;
}

bool ServiceRun::Restart(const Changes& changes) {
    EXPECT_EQ(StopService(), 0) << Diagnostics();
    bool configured = Configure(changes);
    EXPECT_TRUE(configured) << "the demo configuration does not hold what the test changes";
    bool started = configured && StartService();
    EXPECT_TRUE(started) << Diagnostics();
    return started;
}

bool ServiceRun::StartWithFault(pmsgen::OpenDay day, const std::string& fault) {
    if (!MakePms(day) || !StartSimulators()) {
        return false;
    }
    SetFault(fault);
    bool started = Configure() && StartService();
    EXPECT_TRUE(started) << Diagnostics();
    return started;
}

std::string ServiceRun::Diagnostics() const {
    std::string output;
    platform::ReadFile(Path("service.out"), output);
    std::string log = Log();
    // The end of the log: where a run that went wrong usually shows why.
    size_t keep = 6000;
    std::string tail = log.size() > keep ? log.substr(log.size() - keep) : log;
    return "\n--- service output ---\n" + output + "\n--- end of qelfiscal.log ---\n" + tail;
}

bool ServiceRun::RefuseStatusY() {
    return Execute(
        "create table fault_switch (fail integer); insert into fault_switch values (1); "
        "create trigger refuse_y before update of qel_fisc_status on qel_financial_transactions "
        "when new.qel_fisc_status='Y' and (select fail from fault_switch)=1 "
        "begin select raise(abort, 'simulated database failure'); end;");
}

bool ServiceRun::AllowStatusY() {
    return Execute("update fault_switch set fail=0");
}

void ExpectReconciled(ServiceRun& run, const Reconciliation::Expected& expected) {
    Reconciliation reconciliation(run, expected);
    EXPECT_TRUE(reconciliation.Ok()) << text::Join(reconciliation.Report(), "\n");
}

void ExpectRegisteredOnce(ServiceRun& run, const std::vector<int>& due, const std::vector<int>& deposits,
                          const std::map<int, std::string>& closed) {
    Reconciliation::Expected expected;
    expected.due = due;
    expected.due.insert(expected.due.end(), deposits.begin(), deposits.end());
    expected.closed = closed;
    ExpectReconciled(run, expected);
    std::map<int, ServiceFolder::StatusRow> rows = run.StatusRows();
    std::vector<ServiceFolder::Registered> records = run.AllRecords();
    std::vector<std::string> problems = run.RegistrationProblems(records, due.size() + deposits.size());
    EXPECT_TRUE(problems.empty()) << text::Join(problems, "\n");
    // A document is known by its printer and fiscal number.
    std::map<std::string, ServiceFolder::Registered> registered;
    for (const ServiceFolder::Registered& r : records) {
        registered.emplace(r.printer + "/" + r.fiscalNumber, r);
    }
    std::set<std::string> files;
    auto amountOf = [&run](int trxNo, double sign = 1) {
        return text::Format(
            "%.2f", sign * text::ToDouble(run.Query(
                               text::Format("select trx_amount from financial_transactions where trx_no=%d", trxNo))));
    };
    for (int trxNo : due) {
        SCOPED_TRACE(trxNo);
        ASSERT_EQ(rows.count(trxNo), 1u);
        const ServiceFolder::StatusRow& row = rows[trxNo];
        EXPECT_EQ(row.status, "Y");
        auto found = registered.find(row.attempt + "/" + row.checkNumber);
        ASSERT_NE(found, registered.end())
            << "nothing registered as " << row.attempt << "/" << row.checkNumber;
        ServiceFolder::Registered record = found->second;
        registered.erase(found);
        // The journal file the check was announced under (unless the announcement went wrong).
        if (!record.file.empty()) {
            EXPECT_EQ(record.file, row.title);
        }
        EXPECT_TRUE(files.insert(row.title).second) << row.title;
        // A cash pick-up (a refund of another day's sale) names the amount taken out.
        EXPECT_EQ(record.total, amountOf(trxNo, record.command == "Cash Pickup" ? -1 : 1));
    }
    // A deposit's row names its fiscal number but not its printer.
    for (int trxNo : deposits) {
        SCOPED_TRACE(trxNo);
        ASSERT_EQ(rows.count(trxNo), 1u);
        const ServiceFolder::StatusRow& row = rows[trxNo];
        EXPECT_EQ(row.status, "D");
        auto found = std::find_if(registered.begin(), registered.end(), [&](const auto& r) {
            return ServiceFolder::IsRegistrationOf(r.second, row);
        });
        ASSERT_NE(found, registered.end()) << "nothing registered as deposit " << row.checkNumber;
        EXPECT_EQ(found->second.total, amountOf(trxNo));
        registered.erase(found);
    }
}

std::map<int, std::string> IgnoredPayments(const ServiceRun& run) {
    std::map<int, std::string> closed;
    for (int trxNo : run.Pms().ignoredPayments) {
        closed[trxNo] = "Payment included in ignore list.";
    }
    return closed;
}

ServiceRun::Registered DocumentOf(ServiceRun& run, int payment) {
    ServiceRun::StatusRow row = run.StatusRows()[payment];
    for (const ServiceRun::Registered& r : run.AllRecords()) {
        if (r.printer == row.attempt && r.fiscalNumber == row.checkNumber) {
            return r;
        }
    }
    ADD_FAILURE() << "nothing registered for payment " << payment;
    return {};
}

double SumOfAmounts(const std::vector<ServiceRun::Item>& items) {
    double sum = 0;
    for (const ServiceRun::Item& item : items) {
        sum += text::ToDouble(item.amount);
    }
    return sum;
}

void ExpectNothingPending(ServiceRun& run) {
    COutcomeJournal journal;
    std::string error;
    ASSERT_TRUE(journal.Read(run.Path(), error)) << error;
    std::vector<std::string> keys;
    for (const auto& [key, entry] : journal.Entries()) {
        keys.push_back(key);
    }
    EXPECT_TRUE(keys.empty()) << text::Join(keys, ", ");
    EXPECT_EQ(run.LogCount(" checks in doubt, "), 0u) << run.Diagnostics();
}

void ExpectASecondStartRegistersNothing(ServiceRun& run, size_t records, int startWaitMs) {
    std::map<int, ServiceRun::StatusRow> before = run.StatusRows();
    ASSERT_TRUE(run.StartService()) << run.Diagnostics();
    ASSERT_TRUE(ServiceRun::WaitUntil([&] { return run.LogCount("Start service") == 2; }, startWaitMs))
        << run.Diagnostics();
    // Many polling cycles of 100 ms.
    ServiceRun::WaitUntil([] { return false; }, 2000);
    EXPECT_EQ(run.StopService(), 0) << run.Diagnostics();
    EXPECT_EQ(run.AllRecords().size(), records);
    std::map<int, ServiceRun::StatusRow> after = run.StatusRows();
    ASSERT_EQ(after.size(), before.size());
    for (const auto& [trxNo, row] : before) {
        EXPECT_EQ(after[trxNo].status, row.status) << trxNo;
        EXPECT_EQ(after[trxNo].checkNumber, row.checkNumber) << trxNo;
    }
    ExpectNothingPending(run);
}

StatusOutput RunStatus(const std::string& folder, const std::string& option) {
    StatusOutput result;
    result.exitCode = platform::RunProgram(
        "/bin/sh", {"-c", "cd \"$1\" && exec ./FiscoraService status $2", "sh", folder, option}, &result.text,
        true);
    return result;
}
