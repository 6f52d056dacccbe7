// FiscoraService over its lifetime: the PMS database going away for a while and coming back,
// SIGTERM while a check is being registered, followed by a restart, and a second copy started
// in the same folder.
#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>

#include "ServiceRun.h"
#include "platform/ChildProcess.h"
#include "platform/FileSystem.h"
#include "platform/Text.h"

namespace {

size_t CountOf(const std::map<int, ServiceRun::StatusRow>& rows, const std::string& status) {
    size_t n = 0;
    for (const auto& entry : rows) {
        n += entry.second.status == status;
    }
    return n;
}

TEST(ServiceLifeTest, PmsDatabaseAwayForAWhileIsReconnectedAndNothingIsLost) {
    ServiceRun run;
    ASSERT_TRUE(run.Start(pmsgen::OpenDay::Small));
    std::vector<int> due = run.DuePayments();

    // Between two checks (the pause before each lasts a second) the database file goes away.
    ASSERT_TRUE(ServiceRun::WaitUntil([&] { return CountOf(run.StatusRows(), "Y") >= 2; }, 30000))
        << run.Diagnostics();
    std::string file = run.Path("demo_pms.db");
    std::filesystem::rename(file, file + ".away");
    ASSERT_TRUE(
        ServiceRun::WaitUntil([&] { return run.LogCount("unable to open database file") >= 2; }, 20000))
        << run.Diagnostics();
    size_t registeredWhileAway = run.Records().size();
    EXPECT_TRUE(run.ServiceRunning());
    std::filesystem::rename(file + ".away", file);

    ASSERT_TRUE(run.WaitForStatus(due, "Y", 60000)) << run.Diagnostics();
    EXPECT_EQ(run.StopService(), 0) << run.Diagnostics();
    EXPECT_LE(registeredWhileAway, 3u);
    EXPECT_TRUE(run.LogCount("the database file is gone") >= 1) << run.Diagnostics();
    ExpectRegisteredOnce(run, due);
}

TEST(ServiceLifeTest, StopDuringARegistrationEndsInTimeAndARestartFinishesTheRest) {
    ServiceRun run;
    ASSERT_TRUE(run.Start(pmsgen::OpenDay::Small, true));
    std::vector<int> due = run.DuePayments();
    ASSERT_EQ(due.size(), 8u);

    // The fourth check's answer takes two seconds; the stop arrives while it is awaited.
    ASSERT_TRUE(ServiceRun::WaitUntil([&] { return run.Records().size() >= 3; }, 30000)) << run.Diagnostics();
    run.SetFault("delay ms=2000 kind=Check count=1");
    ASSERT_TRUE(ServiceRun::WaitUntil(
        [&] { return run.Simulator().Fault().mode == FaultSetting::Mode::None; }, 30000))
        << run.Diagnostics();
    auto stopped = std::chrono::steady_clock::now();
    EXPECT_EQ(run.StopService(10000), 0) << run.Diagnostics();
    EXPECT_LT(std::chrono::steady_clock::now() - stopped, std::chrono::seconds(10));

    // The check in work was finished and recorded; nothing else was started after the stop.
    EXPECT_EQ(run.Records().size(), 4u);
    std::map<int, ServiceRun::StatusRow> rows = run.StatusRows();
    EXPECT_EQ(CountOf(rows, "Y"), 4u);
    std::string log = run.Log();
    for (const char* line : {"Stop payment monitoring", "Block payments", "Stop service"}) {
        EXPECT_NE(log.find(line, log.rfind("Successful", log.rfind("Start check:"))), std::string::npos)
            << line;
    }
    EXPECT_EQ(run.Query("select ind_billing from trx$_codes where resort='DEMO' and trx_code='9000'"), "N");

    // The next start registers the other checks; the finished ones are not registered again.
    ASSERT_TRUE(run.StartService());
    ASSERT_TRUE(run.WaitForStatus(due, "Y", 60000)) << run.Diagnostics();
    ASSERT_TRUE(run.WaitForStatus(run.Pms().ignoredPayments, "Y", 10000)) << run.Diagnostics();
    EXPECT_EQ(run.StopService(), 0) << run.Diagnostics();
    ExpectRegisteredOnce(run, due, {}, IgnoredPayments(run));
}


// The process id a health file names, 0 when there is no such file.
int PidIn(const std::string& file) {
    std::string content;
    if (!platform::ReadFile(file, content) || !text::StartsWith(content, "pid=")) {
        return 0;
    }
    return text::ToInt(content.substr(4, content.find('\n') - 4));
}

// A second copy started by hand in the folder of a running service waits for the property: the
// health file stays the first one's, and the status command names both. Killed, the first is
// replaced at once; stopped, it gives the property and its health file up to the copy waiting.
TEST(ServiceLifeTest, OnlyTheCopyHoldingThePropertyKeepsTheHealthFileTheOtherSaysItWaits) {
    ServiceRun run;
    ASSERT_TRUE(run.Start(pmsgen::OpenDay::Small));
    ASSERT_TRUE(run.WaitForStatus(run.DuePayments(), "Y", 60000)) << run.Diagnostics();
    const std::string health = run.Path("fiscora.health");
    const std::string waiting = run.Path("fiscora.waiting");
    const int first = run.ServicePid();
    ASSERT_TRUE(ServiceRun::WaitUntil([&] { return PidIn(health) == first; }, 10000)) << run.Diagnostics();

    auto copy = [&](platform::ChildProcess& process) {
        return process.Start(run.Path("FiscoraService"), {}, run.Path(), run.Path("copy.out"));
    };
    platform::ChildProcess second;
    ASSERT_TRUE(copy(second));
    ASSERT_TRUE(ServiceRun::WaitUntil([&] { return PidIn(waiting) == second.Pid(); }, 20000)) << run.Diagnostics();
    EXPECT_EQ(PidIn(health), first);
    StatusOutput both = RunStatus(run.Path());
    EXPECT_EQ(both.exitCode, 0) << both.text;
    EXPECT_TRUE(text::StartsWith(both.text, "QEL Fiscal Service: healthy\n")) << both.text;
    EXPECT_NE(both.text.find(text::Format("  service: running (pid %d)", first)), std::string::npos) << both.text;
    EXPECT_NE(both.text.find(text::Format("  another copy: waiting (pid %d): another service holds the property (",
                                          second.Pid())),
              std::string::npos)
        << both.text;

    // The first killed: the second takes the property over at once and the health file with it.
    run.KillService();
    ASSERT_TRUE(ServiceRun::WaitUntil([&] { return PidIn(health) == second.Pid() && PidIn(waiting) == 0; }, 20000))
        << run.Diagnostics();
    StatusOutput taken = RunStatus(run.Path());
    EXPECT_EQ(taken.exitCode, 0) << taken.text;
    EXPECT_NE(taken.text.find(text::Format("  service: running (pid %d)", second.Pid())), std::string::npos)
        << taken.text;
    EXPECT_EQ(taken.text.find("waiting"), std::string::npos) << taken.text;

    // A third copy waits; the second stopped gives the property up and leaves the file to it.
    platform::ChildProcess third;
    ASSERT_TRUE(copy(third));
    ASSERT_TRUE(ServiceRun::WaitUntil([&] { return PidIn(waiting) == third.Pid(); }, 20000)) << run.Diagnostics();
    ASSERT_TRUE(second.Signal(SIGTERM));
    ASSERT_TRUE(second.Wait(20000));
    EXPECT_EQ(second.ExitCode(), 0);
    ASSERT_TRUE(ServiceRun::WaitUntil([&] { return PidIn(health) == third.Pid() && PidIn(waiting) == 0; }, 20000))
        << run.Diagnostics();
    EXPECT_NE(RunStatus(run.Path()).text.find(text::Format("  service: running (pid %d)", third.Pid())),
              std::string::npos);

    // The last one stopped: no health file, and the service is down.
    ASSERT_TRUE(third.Signal(SIGTERM));
    ASSERT_TRUE(third.Wait(20000));
    EXPECT_EQ(PidIn(health), 0);
    StatusOutput down = RunStatus(run.Path());
    EXPECT_EQ(down.exitCode, 2) << down.text;
    EXPECT_NE(down.text.find("  service: not running\n"), std::string::npos) << down.text;
    // Nothing was registered twice by the copies.
    ExpectRegisteredOnce(run, run.DuePayments());
}

}  // namespace
