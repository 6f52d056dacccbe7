#include "storage/CServiceLease.h"

#include <gtest/gtest.h>

#include "platform/ManualClock.h"
#include "storage/TestPms.h"

namespace {

using Lease = CFiscalStorage::Lease;

// Two services of one PMS, each with its own connection, and a clock the test moves.
class ServiceLeaseTest : public ::testing::Test {
protected:
    ServiceLeaseTest() : log(pms.folder) {}

    void Open(testpms::Storage& storage, const std::string& resort) {
        testpms::FakeConfiguration& config = resort == "HOTEL" ? first : second;
        config.values = {{"//fidelio_ini/base_access", pms.ConnectionString()},
                         {"//fidelio_ini/fidelio_schema", "OPERA"},
                         {"//fidelio_ini/property_code", resort}};
        storage.SetLogFile(&log.log);
        storage.SetSideFileFolder(pms.folder.Path());
        ASSERT_TRUE(storage.Open(config)) << storage.GetLastError();
    }

    platform::ManualClock clock;
    platform::ScopedClock scoped{clock};
    testpms::Pms pms;
    testpms::Log log;
    testpms::FakeConfiguration first;
    testpms::FakeConfiguration second;
};

TEST_F(ServiceLeaseTest, OneHolderPerPropertyUntilItExpiresOrIsGivenUp) {
    testpms::SetLocalTime(clock, 2026, 3, 14, 10);
    testpms::Storage a;
    testpms::Storage b;
    Open(a, "HOTEL");
    Open(b, "HOTEL");
    std::string other;
    std::string until;
    EXPECT_EQ(a.HoldLease("host/1", 60, "", other, until), Lease::Held);
    EXPECT_EQ(b.HoldLease("host/2", 60, "", other, until), Lease::HeldElsewhere);
    EXPECT_EQ(other, "host/1");
    EXPECT_EQ(until, "14.03.2026 10:01:00");
    // Renewed by its holder, the lease moves on; the other service keeps waiting.
    clock.Advance(50000);
    EXPECT_EQ(a.HoldLease("host/1", 60, "", other, until), Lease::Held);
    clock.Advance(50000);
    EXPECT_EQ(b.HoldLease("host/2", 60, "", other, until), Lease::HeldElsewhere);
    EXPECT_EQ(until, "14.03.2026 10:01:50");
    // A holder that stops renewing loses it once it has expired, and learns so.
    clock.Advance(11000);
    EXPECT_EQ(b.HoldLease("host/2", 60, "", other, until), Lease::Held);
    EXPECT_EQ(a.HoldLease("host/1", 60, "", other, until), Lease::HeldElsewhere);
    // Given up at stop, it is free at once.
    b.ReleaseLease("host/2");
    EXPECT_EQ(a.HoldLease("host/1", 60, "", other, until), Lease::Held);
    // A release by a service that does not hold it changes nothing.
    b.ReleaseLease("host/2");
    EXPECT_EQ(b.HoldLease("host/2", 60, "", other, until), Lease::HeldElsewhere);
    // A holder known to be gone is replaced at once; a wrong guess takes nothing.
    EXPECT_EQ(b.HoldLease("host/2", 60, "host/9", other, until), Lease::HeldElsewhere);
    EXPECT_EQ(b.HoldLease("host/2", 60, "host/1", other, until), Lease::Held);
}

TEST_F(ServiceLeaseTest, ServicesOfDifferentPropertiesHoldTheirOwnLeases) {
    testpms::Storage a;
    testpms::Storage b;
    Open(a, "HOTEL");
    Open(b, "OTHER");
    std::string other;
    std::string until;
    EXPECT_EQ(a.HoldLease("host/1", 60, "", other, until), Lease::Held);
    EXPECT_EQ(b.HoldLease("host/2", 60, "", other, until), Lease::Held);
    EXPECT_EQ(pms.Rows("select resort, holder from qel_service_lease order by resort"),
              (std::vector<std::string>{"HOTEL|host/1", "OTHER|host/2"}));
}

TEST_F(ServiceLeaseTest, ADatabaseWithoutTheLeaseTableLeavesItUnknownUntilTheUpgradeScriptRan) {
    testpms::Storage a;
    Open(a, "HOTEL");
    pms.Run("drop table qel_service_lease");
    std::string other;
    std::string until;
    EXPECT_EQ(a.HoldLease("host/1", 60, "", other, until), Lease::Unknown);
    // Own tables installed before the lease get it from the upgrade script.
    pms.Run(testpms::ReadSql("sql/oracle/upgrade_service_lease.sql"));
    EXPECT_EQ(a.HoldLease("host/1", 60, "", other, until), Lease::Held);
    EXPECT_EQ(pms.Rows("select resort, holder from qel_service_lease"), std::vector<std::string>{"HOTEL|host/1"});
}

}  // namespace
