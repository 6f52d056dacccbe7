#include "storage/CServiceLease.h"

#include <gtest/gtest.h>

#include "platform/Text.h"
#include "service/CPropertyLease.h"
#include "tests/support/platform/ManualClock.h"
#include "tests/support/storage/TestPms.h"

namespace {

using Lease = CFiscalStorage::Lease;
constexpr int kSeconds = 60;

// Two services of one PMS, each with its own connection and lease, and a clock the test moves:
// its wall time stands for the database's clock (SYSDATE), its steady time for the services'.
class ServiceLeaseTest : public ::testing::Test {
protected:
    ServiceLeaseTest() : log(pms.folder) { testpms::SetLocalTime(clock, 2026, 3, 14, 10); }

    void Open(testpms::Storage& storage, const std::string& resort) {
        testpms::FakeConfiguration& config = resort == "HOTEL" ? hotel : other;
        config.values = {{"//fidelio_ini/base_access", pms.ConnectionString()},
                         {"//fidelio_ini/fidelio_schema", "OPERA"},
                         {"//fidelio_ini/property_code", resort}};
        storage.SetLogFile(&log.log);
        storage.SetSideFileFolder(pms.folder.Path());
        ASSERT_TRUE(storage.Open(config)) << storage.GetLastError();
    }
    // Both services' polling cycles for that long: a renews when it is asked to, b tries each
    // cycle; true when b held the lease at some cycle.
    bool Cycles(int64_t ms, CPropertyLease* renewing, CPropertyLease& waiting) {
        bool taken = false;
        for (int64_t passed = 0; passed < ms; passed += 5000) {
            if (renewing) {
                EXPECT_TRUE(renewing->Hold());
            }
            taken = waiting.Hold() || taken;
            clock.Advance(5000);
        }
        return taken;
    }

    platform::ManualClock clock;
    platform::ScopedClock scoped{clock};
    testpms::Pms pms;
    testpms::Log log;
    testpms::FakeConfiguration hotel;
    testpms::FakeConfiguration other;
    testpms::Storage a;
    testpms::Storage b;
    // The two services of the property as their workers hold the lease.
    CPropertyLease first{a, log.log, kSeconds, "host/1"};
    CPropertyLease next{b, log.log, kSeconds, "host/2"};
};

TEST_F(ServiceLeaseTest, ALeaseIsTakenOverOnlyWhenItsRowStayedUnrenewedForAWholeLease) {
    Open(a, "HOTEL");
    Open(b, "HOTEL");
    ASSERT_TRUE(first.Hold());
    EXPECT_FALSE(next.Hold());
    EXPECT_NE(log.Text().find("Another service registers the checks of this property: host/1, lease until "
                              "14.03.2026 10:01:00"),
              std::string::npos);
    // Renewed once a third of it has passed (every 20 s, not every cycle), the lease stays; the
    // waiting service waits.
    EXPECT_FALSE(Cycles(10 * kSeconds * 1000, &first, next));
    EXPECT_EQ(pms.Rows("select renewals from qel_service_lease"), std::vector<std::string>{"29"});
    // The holder stops renewing (last at 580 s): the lease is its own for a whole lease from then.
    clock.Advance(kSeconds * 1000 - 30000);
    EXPECT_TRUE(first.Held());
    EXPECT_FALSE(Cycles(5000, nullptr, next));
    clock.Advance(5000);
    EXPECT_FALSE(first.Held());
    EXPECT_TRUE(next.Hold());
    // Seen unchanged from its last renewal on, 60 s before.
    EXPECT_NE(log.Text().find("Service lease of host/1 taken over: not renewed for 60 s"), std::string::npos);
    EXPECT_FALSE(first.Hold());
    // Given up at stop, it is free at once.
    next.Release();
    EXPECT_TRUE(first.Hold());
    // A release by a service that does not hold it changes nothing.
    next.Release();
    EXPECT_FALSE(next.Hold());
    EXPECT_EQ(pms.Rows("select holder, fence from qel_service_lease"), std::vector<std::string>{"host/1|1"});
}

TEST_F(ServiceLeaseTest, AHolderRenewsOnlyOnceLessThanTwoThirdsRemainOrAnExchangeWouldOutlastIt) {
    Open(a, "HOTEL");
    constexpr int64_t kHold = -1;
    struct Case {
        const char* what;
        int64_t passedMs;    // since the lease was taken
        int64_t exchangeMs;  // kHold: the polling loop's Hold, else Covers of such an exchange
        bool refused;        // the database does not answer the renewal
        bool result;
        bool held;
        const char* renewals;
    };
    const Case cases[] = {
        {"fresh lease", 10000, kHold, false, true, true, "0"},
        {"just before a third", 19999, kHold, false, true, true, "0"},
        {"a third passed", 20000, kHold, false, true, true, "1"},
        {"run out", 70000, kHold, false, true, true, "1"},
        {"exchange within the rest", 10000, 49999, false, true, true, "0"},
        {"exchange beyond the rest", 10000, 50000, false, true, true, "1"},
        {"renewal refused past a third", 30000, kHold, true, false, true, "0"},
        {"renewal refused, exchange beyond the rest", 10000, 50000, true, false, true, "0"},
        {"renewal refused, run out", 60000, kHold, true, false, false, "0"},
    };
    for (const Case& c : cases) {
        pms.Run("delete from qel_service_lease");
        CPropertyLease lease{a, log.log, kSeconds, "host/1"};
        ASSERT_TRUE(lease.Hold()) << c.what;
        clock.Advance(c.passedMs);
        if (c.refused) {
            pms.Run("alter table qel_service_lease rename to qel_service_lease_away");
        }
        bool result = c.exchangeMs == kHold ? lease.Hold() : lease.Covers(c.exchangeMs);
        if (c.refused) {
            pms.Run("alter table qel_service_lease_away rename to qel_service_lease");
        }
        EXPECT_EQ(result, c.result) << c.what;
        EXPECT_EQ(lease.Held(), c.held) << c.what;
        EXPECT_EQ(pms.Rows("select renewals from qel_service_lease"), std::vector<std::string>{c.renewals})
            << c.what;
        if (c.refused) {
            // A refused renewal is asked for again at the next cycle, however much of the lease remains.
            EXPECT_TRUE(lease.Hold()) << c.what;
            EXPECT_EQ(pms.Rows("select renewals from qel_service_lease"), std::vector<std::string>{"1"})
                << c.what;
        }
        lease.Release();
    }
}

TEST_F(ServiceLeaseTest, AClockStepOfTheDatabaseNeitherHandsTheLeaseOverNorDelaysTheTakeOver) {
    Open(a, "HOTEL");
    Open(b, "HOTEL");
    ASSERT_TRUE(first.Hold());
    // A day forward: by the database's clock the lease ran out long ago, but its holder renews it.
    clock.SetTime(platform::LocalTime::Of(2026, 3, 15, 10).ToEpoch());
    EXPECT_FALSE(Cycles(3 * kSeconds * 1000, &first, next));
    // Two days back, and the holder stops (renewed last 20 s before): the other service takes over
    // a lease after that renewal, not when the database's clock reaches the expiry it wrote.
    clock.SetTime(platform::LocalTime::Of(2026, 3, 13, 10).ToEpoch());
    EXPECT_FALSE(Cycles(kSeconds * 1000 * 2 / 3, nullptr, next));
    EXPECT_FALSE(first.Held());
    EXPECT_TRUE(Cycles(5000, nullptr, next));
}

TEST_F(ServiceLeaseTest, AStatusWriteOfAServiceThatLostTheLeaseIsRefused) {
    Open(a, "HOTEL");
    Open(b, "HOTEL");
    pms.Run("insert into qel_financial_transactions (trx_no, qel_fisc_status) values (7, 'N')");
    const std::string write = "update qel_financial_transactions set qel_fisc_status='%s' where trx_no=%d";
    Lease held;
    CFiscalStorage::LeaseRow row;
    ASSERT_EQ(held = a.HoldLease("host/1", kSeconds, nullptr, row), Lease::Held);
    EXPECT_TRUE(a.ExecuteFenced(write, {sqlformat::Arg::Text("N"), sqlformat::Arg::Int(7)}));
    // Nothing to change is no refusal while the lease is its own.
    EXPECT_TRUE(a.ExecuteFenced(write, {sqlformat::Arg::Text("N"), sqlformat::Arg::Int(8)}));
    // Taken over (the row judged expired): the first service's writes change nothing and fail.
    ASSERT_EQ(b.HoldLease("host/2", kSeconds, &row, row), Lease::Held);
    EXPECT_EQ(row.fence, 2);
    EXPECT_FALSE(a.ExecuteFenced(write, {sqlformat::Arg::Text("S"), sqlformat::Arg::Int(7)}));
    EXPECT_EQ(a.GetLastError(),
              "The lease of the property has passed to host/2: this service writes no status");
    EXPECT_TRUE(b.ExecuteFenced(write, {sqlformat::Arg::Text("Y"), sqlformat::Arg::Int(7)}));
    EXPECT_EQ(pms.Rows("select qel_fisc_status from qel_financial_transactions where trx_no=7"),
              std::vector<std::string>{"Y"});
    // A take-over from a row that moved on in the meantime takes nothing.
    CFiscalStorage::LeaseRow stale = row;
    ASSERT_EQ(b.HoldLease("host/2", kSeconds, nullptr, row), Lease::Held);
    EXPECT_EQ(a.HoldLease("host/1", kSeconds, &stale, row), Lease::HeldElsewhere);
    EXPECT_EQ(row.holder, "host/2");
}

TEST_F(ServiceLeaseTest, ServicesOfDifferentPropertiesHoldTheirOwnLeases) {
    Open(a, "HOTEL");
    Open(b, "OTHER");
    CFiscalStorage::LeaseRow row;
    EXPECT_EQ(a.HoldLease("host/1", kSeconds, nullptr, row), Lease::Held);
    EXPECT_EQ(b.HoldLease("host/2", kSeconds, nullptr, row), Lease::Held);
    EXPECT_EQ(pms.Rows("select resort, holder from qel_service_lease order by resort"),
              (std::vector<std::string>{"HOTEL|host/1", "OTHER|host/2"}));
}

TEST_F(ServiceLeaseTest, OlderLeaseTablesLeaveTheLeaseUnknownUntilTheUpgradeScriptsRan) {
    Open(a, "HOTEL");
    CFiscalStorage::LeaseRow row;
    pms.Run("drop table qel_service_lease");
    EXPECT_EQ(a.HoldLease("host/1", kSeconds, nullptr, row), Lease::Unknown);
    // Own tables installed before the lease get it from the first upgrade script, in the shape of
    // its time; the second one adds the fence and the renewals.
    pms.Run(testpms::ReadSql("sql/oracle/upgrade_service_lease.sql"));
    EXPECT_EQ(a.HoldLease("host/1", kSeconds, nullptr, row), Lease::Unknown);
    for (const std::string& statement :
         text::Split(testpms::ReadSql("sql/oracle/upgrade_lease_fence.sql"), ';')) {
        if (statement.find("ALTER") != std::string::npos) {
            pms.Run(statement);
        }
    }
    EXPECT_EQ(a.HoldLease("host/1", kSeconds, nullptr, row), Lease::Held);
    EXPECT_EQ(pms.Rows("select resort, holder, fence from qel_service_lease"),
              std::vector<std::string>{"HOTEL|host/1|1"});
}

}  // namespace
