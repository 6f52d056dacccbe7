// FiscoraService as systemd and an operator see it: readiness only after a complete start-up,
// STATUS= following the health, SIGHUP ignored, and the status command telling what the status
// table, the journal and the running service say.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>
#include <sqlite3.h>

#include <csignal>

#include "NotifyListener.h"
#include "ServiceRun.h"
#include "storage/db/OracleFormats.h"
#include "platform/Clock.h"
#include "platform/Environment.h"
#include "platform/FileSystem.h"
#include "platform/TempFolder.h"
#include "platform/Text.h"
#include "service/COutcomeJournal.h"

namespace {

bool Has(const std::string& text, const std::string& part) {
    return text.find(part) != std::string::npos;
}

StatusOutput Status(const std::string& folder, const std::string& option = "") {
    return RunStatus(folder, option);
}

// Runs the service with a notify socket of its own, as systemd starts a Type=notify unit.
class NotifiedRun : public ServiceRun {
public:
    NotifiedRun() : listener(Path("notify")) {}
    bool StartNotified() {
        platform::SetEnv("NOTIFY_SOCKET", listener.Path());
        bool started = StartService();
        ::unsetenv("NOTIFY_SOCKET");
        return started;
    }
    NotifyListener listener;
};

TEST(ServiceOperationsTest, ABrokenConfigurationNeverReachesReady) {
    struct Case {
        const char* from;
        const char* to;
        const char* reason;
    } cases[] = {
        {"<version>OPERA</version>", "<version>OPERA6</version>",
         "Fiscora: start-up failed: Unknown Fidelio version \"OPERA6\": //fidelio_ini/version must be OPERA, "
         "OPERA4, OPERA5 or FIDELIO8 (log: "},
        {"<print_list station=\"FO2\">2,1<", "<print_list station=\"FO2\">2,3<",
         "Fiscora: start-up failed: line FO2 : printer 3 not defined (log: "},
        {"<base_access>sqlite:demo_pms.db</base_access>", "<base_access></base_access>",
         "Fiscora: start-up failed: Can't read parameter Base Access (log: "},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.reason);
        NotifiedRun run;
        ASSERT_TRUE(run.StartSimulators());
        ASSERT_TRUE(run.Configure({{c.from, c.to}}));
        ASSERT_TRUE(run.StartNotified());
        ASSERT_TRUE(ServiceRun::WaitUntil([&] { return !run.ServiceRunning(); }, 20000)) << run.Diagnostics();
        EXPECT_EQ(run.StopService(), 1) << run.Diagnostics();
        std::string output = run.Diagnostics();
        EXPECT_TRUE(Has(output, std::string(c.reason) + run.Path("qelfiscal.log") + ")\n")) << output;
        EXPECT_TRUE(run.listener.WaitFor("STATUS=Starting", 100));
        EXPECT_FALSE(run.listener.Has("READY=1"));
        ExpectReconciled(run);
    }
}

TEST(ServiceOperationsTest, HealthReachesSystemdAndTheStatusCommandAndSighupDoesNotStop) {
    NotifiedRun run;
    ASSERT_TRUE(run.MakePms(pmsgen::OpenDay::Small));
    ASSERT_TRUE(run.StartSimulators());
    ASSERT_TRUE(run.Configure());
    // Before the first start every payment of the day is due, each a check of its own.
    ASSERT_TRUE(ServiceFolder::CopyProgram(ServiceBinary(), run.Path()));
    StatusOutput before = Status(run.Path());
    EXPECT_EQ(before.exitCode, 2) << before.text;
    EXPECT_TRUE(Has(before.text,
                    "Printer lines (" + std::to_string(run.DueRegistrations()) + " checks due in the next cycle)"))
        << before.text;
    // The printer manager refuses every connection: nothing can be registered.
    run.SetFault("refuse");
    ASSERT_TRUE(run.StartNotified());
    ASSERT_TRUE(run.listener.WaitFor("READY=1", 20000)) << run.Diagnostics();
    ASSERT_TRUE(ServiceRun::WaitUntil(
        [&] {
            std::string status = run.listener.LastStatus();
            return Has(status, "printer 1 unreachable") && Has(status, "payments blocked");
        },
        30000))
        << run.listener.LastStatus() << run.Diagnostics();

    StatusOutput degraded = Status(run.Path());
    EXPECT_EQ(degraded.exitCode, 1) << degraded.text;
    for (const std::string& part :
         {std::string("QEL Fiscal Service: degraded ("), std::string("payments blocked"),
          std::string("printer 1 unreachable"), std::string("service: running (pid "),
          "  PMS database: reachable (SQLite stand-in: " + run.Path("demo_pms.db") + ")\n",
          std::string("  payments: blocked (codes 9000, 9004, 9005, 9020, 9910)\n"), std::string("N bill "),
          std::string(": failed on printer ")}) {
        EXPECT_TRUE(Has(degraded.text, part)) << part << "\n" << degraded.text;
    }
    StatusOutput json = Status(run.Path(), "--json");
    EXPECT_EQ(json.exitCode, 1);
    EXPECT_TRUE(Has(json.text, "\"verdict\":\"degraded\",\"exit_code\":1,")) << json.text;
    EXPECT_TRUE(Has(json.text, "\"blocked\":true")) << json.text;
    EXPECT_TRUE(Has(json.text, "\"failed\":true")) << json.text;

    // The reload habit: logged, and the service goes on.
    ASSERT_TRUE(run.SignalService(SIGHUP));
    ASSERT_TRUE(ServiceRun::WaitUntil([&] { return run.LogCount("SIGHUP ignored") == 1; }, 10000))
        << run.Diagnostics();
    run.SetFault("none");
    std::vector<int> due = run.DuePayments();
    ASSERT_TRUE(run.WaitForStatus(due, "Y", 60000)) << run.Diagnostics();
    EXPECT_TRUE(run.ServiceRunning());
    ASSERT_TRUE(ServiceRun::WaitUntil([&] { return run.listener.LastStatus() == "Running"; }, 20000))
        << run.listener.LastStatus();
    StatusOutput healthy = Status(run.Path());
    EXPECT_EQ(healthy.exitCode, 0) << healthy.text;
    EXPECT_TRUE(Has(healthy.text, "QEL Fiscal Service: healthy\n")) << healthy.text;
    EXPECT_TRUE(Has(healthy.text, "  payments: open\n")) << healthy.text;
    EXPECT_TRUE(Has(healthy.text, "Printer lines (0 checks due in the next cycle)")) << healthy.text;
    EXPECT_TRUE(Has(healthy.text, "last registration ")) << healthy.text;

    EXPECT_EQ(run.StopService(), 0) << run.Diagnostics();
    EXPECT_TRUE(run.listener.Has("STOPPING=1"));
    EXPECT_FALSE(platform::FileExists(run.Path("fiscora.health")));
    StatusOutput stopped = Status(run.Path());
    EXPECT_EQ(stopped.exitCode, 2) << stopped.text;
    // A stop blocks the payments until the service runs again.
    EXPECT_TRUE(
        Has(stopped.text, "QEL Fiscal Service: down (the service is not running, payments blocked)\n"))
        << stopped.text;
    ExpectRegisteredOnce(run, due);
}

TEST(ServiceOperationsTest, StatusOfAStoppedServiceTellsWhatTheRowsSay) {
    ServiceRun run;
    ASSERT_TRUE(run.MakePms(pmsgen::OpenDay::Demo));
    ASSERT_TRUE(run.StartSimulators());
    ASSERT_TRUE(run.Configure());
    ASSERT_TRUE(ServiceFolder::CopyProgram(ServiceBinary(), run.Path()));
    const pmsgen::Summary& pms = run.Pms();
    // Yesterday's bill failed on printer 1 (N); the one before was marked for registering again (S).
    std::vector<std::vector<std::string>> rows = run.Rows(
        "select trx_no, bill_no, qel_fisc_status from qel_financial_transactions where qel_fisc_status in "
        "('N','S') order by trx_no");
    ASSERT_EQ(rows.size(), 2u);
    StatusOutput report = Status(run.Path());
    EXPECT_EQ(report.exitCode, 2) << report.text;
    EXPECT_TRUE(Has(report.text, "QEL Fiscal Service: down (the service is not running, 1 failed check)\n"))
        << report.text;
    EXPECT_TRUE(Has(report.text, "N bill " + std::to_string(pms.yesterdayBill) + ", ")) << report.text;
    EXPECT_TRUE(Has(report.text, "S bill " + std::to_string(pms.againBill) + ", ")) << report.text;
    for (const auto& row : rows) {
        EXPECT_TRUE(Has(report.text, ", trx " + row[0] + ": ")) << row[0] << "\n" << report.text;
    }
    // Both of closed business dates, which the next cycle takes up after the open date's checks.
    const std::string taken = "; of a closed business date: registered after the open date's checks, with its own date\n";
    EXPECT_TRUE(Has(report.text, "to be registered again" + taken)) << report.text;
    EXPECT_TRUE(Has(report.text, ": failed on printer 1" + taken)) << report.text;
    EXPECT_TRUE(Has(report.text, "Open checks: 2\n")) << report.text;
    // Where no cycle takes them up, they wait for the operator and the report says so.
    ASSERT_TRUE(run.Configure({{"<earlier_days>30<", "<earlier_days>1<"}}));
    StatusOutput beyond = Status(run.Path());
    EXPECT_TRUE(Has(beyond.text, "(the service is not running, 1 failed check, 1 check of closed business dates "
                                 "needs the operator)\n"))
        << beyond.text;
    EXPECT_TRUE(Has(beyond.text, "to be registered again; of a closed business date: needs the operator (older "
                                 "than the 1 days of earlier_days)\n"))
        << beyond.text;
    ASSERT_TRUE(run.Configure());
    EXPECT_FALSE(Has(report.text, "Closed without a registration")) << report.text;

    // A payment of the latest business day closed Y without a registration (by hand, refused, a
    // split part): the operator is shown it, and how many there are.
    ASSERT_TRUE(run.Execute(text::Format(
        "insert into qel_financial_transactions (trx_no, qel_fisc_status, bill_no, trx_amount, business_date) "
        "select 99000001, 'Y', %d, 1200, max(business_date) from qel_financial_transactions",
        pms.houseBill)));
    // The latest business day of the table: yesterday's failed bill.
    std::string day = run.Query(text::Format(
        "select business_date from qel_financial_transactions where bill_no=%d", pms.yesterdayBill));
    ASSERT_FALSE(day.empty());
    std::string dayText;
    ASSERT_TRUE(db::oracle::FormatDate(text::ToDouble(day), "dd.mm.yyyy", dayText, day));
    day = dayText;
    StatusOutput closed = Status(run.Path());
    EXPECT_TRUE(Has(closed.text, "Closed without a registration on business date " + day + ": 1 (the log says why)\n" +
                                     text::Format("  trx 99000001, bill %d, 1200.00\n", pms.houseBill)))
        << closed.text;
    StatusOutput closedJson = Status(run.Path(), "--json");
    EXPECT_TRUE(Has(closedJson.text, text::Format("\"closed_without_registration\":[{\"transaction\":99000001,"
                                                  "\"bill\":\"%d\",\"business_date\":\"%s\",\"amount\":1200.00}]",
                                                  pms.houseBill, day.c_str())))
        << closedJson.text;

    // A fiscal number in an N row: the printer registered it but the status was never saved.
    run.Query("update qel_financial_transactions set check_number='77', attempt=2 where trx_no=" +
              rows[0][0]);
    StatusOutput waiting = Status(run.Path(), "--json");
    EXPECT_TRUE(Has(waiting.text, "\"fiscal_number\":\"77\"")) << waiting.text;
    EXPECT_TRUE(Has(waiting.text, "\"waiting\":true")) << waiting.text;
    EXPECT_TRUE(Has(waiting.text,
                    "\"reasons\":[\"the service is not running\",\"1 registration waiting for the "
                    "database\"]"))
        << waiting.text;
    // The service's outcome journal beside the check journal: the other check was sent and its
    // answer never came whole.
    {
        COutcomeJournal outcomes;
        std::string error;
        ASSERT_TRUE(outcomes.Open(run.Path(), error)) << error;
        CFiscalCheck sent;
        sent.checkNumber = rows[1][1];
        struct_posting payment;
        payment.trx_no = text::ToInt(rows[1][0]);
        sent.payments.push_back(payment);
        ASSERT_TRUE(outcomes.Sending("1_" + rows[1][1] + "_1", "1", sent));
        ASSERT_TRUE(outcomes.InDoubt("1_" + rows[1][1] + "_1", AnswerKind::TimedOut));
        // And a check whose status row is Y: its settled record was lost, it is no doubt.
        sent.payments[0].trx_no = 999001;
        ASSERT_TRUE(outcomes.Sending("999001", "2", sent));
    }
    ASSERT_TRUE(
        run.Execute("insert into qel_financial_transactions (trx_no, qel_fisc_status) values (999001, 'Y')"));
    StatusOutput doubt = Status(run.Path());
    EXPECT_TRUE(Has(doubt.text,
                    "(the service is not running, 1 check in doubt, 1 registration waiting for the "
                    "database)\n"))
        << doubt.text;
    EXPECT_TRUE(Has(doubt.text, ", trx " + rows[1][0] + ": in doubt on printer 1; ")) << doubt.text;
    EXPECT_TRUE(Has(doubt.text, "Outcome journal: 2\n  1_" + rows[1][1] + "_1 printer 1, trx " + rows[1][0]))
        << doubt.text;
    EXPECT_TRUE(Has(doubt.text, "  999001 printer 2, trx 999001, since ")) << doubt.text;
    EXPECT_TRUE(Has(doubt.text, ": final in the status table, settled at the next start\n")) << doubt.text;

    // The database gone: down; a configuration the service would refuse, or none: unknown.
    ASSERT_TRUE(platform::RenameFile(run.Path("demo_pms.db"), run.Path("away.db")));
    StatusOutput unreachable = Status(run.Path());
    EXPECT_EQ(unreachable.exitCode, 2);
    EXPECT_TRUE(Has(unreachable.text, "  PMS database: unreachable (SQLite stand-in: " + run.Path("demo_pms.db") +
                                          "): SQLite stand-in connect problem."))
        << unreachable.text;
    ASSERT_TRUE(run.Configure({{"ip_address=\"127.0.0.1\" port=", "ip_adress=\"127.0.0.1\" port="}}));
    StatusOutput unusable = Status(run.Path());
    EXPECT_EQ(unusable.exitCode, 3);
    EXPECT_TRUE(Has(unusable.text, "QEL Fiscal Service: unknown (configuration: " + run.Path("VuvovaZododAVU.xml") +
                                       ": printer 1 (tcpip_ini num=\"1\"): attribute ip_address is missing"))
        << unusable.text;
    ASSERT_TRUE(platform::RemoveFile(run.Path("VuvovaZododAVU.xml")));
    StatusOutput unknown = Status(run.Path());
    EXPECT_EQ(unknown.exitCode, 3);
    EXPECT_TRUE(Has(unknown.text,
                    "QEL Fiscal Service: unknown (configuration: VuvovaZododAVU.xml file FAILED to "
                    "load File was not found in "))
        << unknown.text;
}

// The printer manager is down through the night audit: the payments taken up stay N. The next
// day the status command says what becomes of them, and once the printer answers each is
// registered once, keeping the business date it was paid on.
TEST(ServiceOperationsTest, APaymentLeftNAtTheDayChangeIsRegisteredTheNextDayOnceWithItsOwnDate) {
    ServiceRun run;
    ASSERT_TRUE(run.StartWithFault(pmsgen::OpenDay::Small, "refuse"));
    std::vector<int> due = run.DuePayments();
    ASSERT_FALSE(due.empty());
    ASSERT_TRUE(run.WaitForStatus(due, "N", 60000)) << run.Diagnostics();
    std::string paidOn = run.Query("select business_date from businessdate where state='OPEN'");
    ASSERT_TRUE(run.NightAudit());
    ASSERT_TRUE(ServiceRun::WaitUntil([&] { return run.LogCount("Payment " + std::to_string(due.back()) +
                                                                " of the closed business date ") > 0; },
                                      30000))
        << run.Diagnostics();
    EXPECT_TRUE(run.Records().empty());

    StatusOutput waiting = Status(run.Path());
    EXPECT_EQ(waiting.exitCode, 1) << waiting.text;
    EXPECT_TRUE(Has(waiting.text, "  open business date: ")) << waiting.text;
    EXPECT_TRUE(Has(waiting.text, "  Earlier business dates: checks left N or S within 30 days before")) << waiting.text;
    for (int payment : due) {
        EXPECT_TRUE(Has(waiting.text, text::Format(", trx %d: ", payment))) << waiting.text;
    }
    EXPECT_TRUE(Has(waiting.text, ": registered after the open date's checks, with its own date\n")) << waiting.text;
    EXPECT_FALSE(Has(waiting.text, "need the operator")) << waiting.text;

    run.SetFault("none");
    ASSERT_TRUE(run.WaitForStatus(due, "Y", 60000)) << run.Diagnostics();
    EXPECT_EQ(run.StopService(), 0) << run.Diagnostics();
    // What the printer manager received: one document per payment, for its amount.
    ExpectRegisteredOnce(run, due);
    for (int payment : due) {
        EXPECT_EQ(run.Query(text::Format("select business_date from qel_financial_transactions where trx_no=%d",
                                         payment)),
                  paidOn);
    }
    // The closed date changed nothing: no clean-up, no pause.
    EXPECT_EQ(run.LogCount("Business date was changed."), 0u);
    ExpectASecondStartRegistersNothing(run, due.size(), 20000);
}


// The status command run from another folder reads relative paths as the service does, from the
// service's working folder, and names the database engine; a file that is there but may not be
// read is told from one that is not there.
TEST(ServiceOperationsTest, StatusReadsAsTheServiceDoesFromAnyFolderAndTellsUnreadableFromMissing) {
    ServiceRun run;
    ASSERT_TRUE(run.Start(pmsgen::OpenDay::Small));
    ASSERT_TRUE(run.WaitForStatus(run.DuePayments(), "Y", 60000)) << run.Diagnostics();
    ASSERT_TRUE(ServiceRun::WaitUntil([&] { return platform::FileExists(run.Path("fiscora.health")); }, 10000));
    std::string elsewhere;
    int code = platform::RunProgram("/bin/sh", {"-c", "cd / && exec \"$1\" status", "sh", run.Path("FiscoraService")},
                                    &elsewhere, true);
    EXPECT_EQ(code, 0) << elsewhere;
    EXPECT_TRUE(Has(elsewhere, "  working folder: " + run.Path() + "\n")) << elsewhere;
    EXPECT_TRUE(Has(elsewhere, "  PMS database: reachable (SQLite stand-in: " + run.Path("demo_pms.db") + ")\n"))
        << elsewhere;
    EXPECT_EQ(run.StopService(), 0) << run.Diagnostics();

    // A health file that cannot be read: whether the service runs is unknown, not "not running".
    ASSERT_TRUE(platform::MakeDirectories(run.Path("fiscora.health")));
    StatusOutput unknown = Status(run.Path());
    EXPECT_EQ(unknown.exitCode, 3) << unknown.text;
    EXPECT_TRUE(Has(unknown.text, "  service: unknown, " + run.Path("fiscora.health") + " cannot be read: "))
        << unknown.text;
    ASSERT_EQ(::rmdir(run.Path("fiscora.health").c_str()), 0);
    EXPECT_TRUE(Has(Status(run.Path()).text, "  service: not running\n"));

    // A configuration this user may not read is no configuration "not found".
    if (::geteuid() != 0) {
        GTEST_SKIP() << "the rest needs another user than this one";
    }
    ASSERT_EQ(::chmod(run.Path().c_str(), 0711), 0);
    ASSERT_EQ(::chmod(run.Path("VuvovaZododAVU.xml").c_str(), 0600), 0);
    std::string denied;
    code = platform::RunProgram("/usr/bin/setpriv",
                                {"--reuid=65534", "--regid=65534", "--clear-groups", run.Path("FiscoraService"),
                                 "status"},
                                &denied, true);
    EXPECT_EQ(code, 3) << denied;
    EXPECT_TRUE(Has(denied, run.Path("VuvovaZododAVU.xml") + " file FAILED to load The file cannot be read: "
                            "Permission denied"))
        << denied;
    ::chmod(run.Path().c_str(), 0700);
}

// Another program holds the PMS database's write lock for 12 s, as an exclusive lock of an Oracle
// session would: no statement of the service waits longer than its statement time-out, the health
// names the database and how long it has not answered, and once the lock is gone every check is
// registered.
TEST(ServiceOperationsTest, ADatabaseThatDoesNotAnswerIsNamedInTheHealthWithItsSilence) {
    NotifiedRun run;
    ASSERT_TRUE(run.MakePms(pmsgen::OpenDay::Small));
    ASSERT_TRUE(run.StartSimulators());
    ASSERT_TRUE(run.Configure());
    ASSERT_TRUE(run.StartNotified());
    ASSERT_TRUE(run.listener.WaitFor("READY=1", 20000)) << run.Diagnostics();
    ASSERT_TRUE(ServiceRun::WaitUntil([&] { return run.LogCount("Unblock payments") > 0; }, 20000))
        << run.Diagnostics();
    sqlite3* locker = nullptr;
    ASSERT_EQ(sqlite3_open(run.Path("demo_pms.db").c_str(), &locker), SQLITE_OK);
    ASSERT_EQ(sqlite3_exec(locker, "BEGIN IMMEDIATE", nullptr, nullptr, nullptr), SQLITE_OK);
    int64_t locked = platform::Clock::Current().MonotonicMs();
    bool named = ServiceRun::WaitUntil(
        [&] { return Has(run.listener.LastStatus(), "PMS database unreachable for "); }, 11000);
    int64_t seen = platform::Clock::Current().MonotonicMs() - locked;
    std::string status = run.listener.LastStatus();
    ServiceRun::WaitUntil([&] { return platform::Clock::Current().MonotonicMs() - locked > 12000; }, 13000);
    sqlite3_exec(locker, "COMMIT", nullptr, nullptr, nullptr);
    sqlite3_close(locker);
    ASSERT_TRUE(named) << run.listener.LastStatus() << run.Diagnostics();
    // The first statement that met the lock gave up after its time-out.
    EXPECT_LT(seen, 11000);
    EXPECT_TRUE(Has(status, " s (since ")) << status;
    EXPECT_TRUE(Has(status, "): database is locked")) << status;
    EXPECT_TRUE(Has(run.Log(), "database is locked")) << run.Diagnostics();

    std::vector<int> due = run.DuePayments();
    ASSERT_TRUE(run.WaitForStatus(due, "Y", 60000)) << run.Diagnostics();
    ASSERT_TRUE(ServiceRun::WaitUntil([&] { return run.listener.LastStatus() == "Running"; }, 20000))
        << run.listener.LastStatus();
    EXPECT_EQ(run.StopService(), 0) << run.Diagnostics();
    ExpectRegisteredOnce(run, due);
}

}  // namespace
