// FiscoraService over its lifetime: the PMS database going away for a while and coming back,
// and SIGTERM while a check is being registered, followed by a restart.
#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>

#include "ServiceRun.h"
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
    ExpectRegisteredOnce(run, due);
}

}  // namespace
