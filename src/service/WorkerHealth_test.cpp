#include "service/WorkerHealth.h"

#include <gtest/gtest.h>

namespace {

WorkerHealth Health(int pending, std::vector<std::string> printers, bool blocked, bool reachable,
                    const std::string& error = "", int inDoubt = 0) {
    WorkerHealth health;
    health.pendingChecks = pending;
    health.inDoubtChecks = inDoubt;
    health.unreachablePrinters = std::move(printers);
    health.paymentsBlocked = blocked;
    health.databaseReachable = reachable;
    health.databaseError = error;
    return health;
}

TEST(WorkerHealthTest, StatusTextNamesEveryProblem) {
    struct Case {
        WorkerHealth health;
        std::string text;
    } cases[] = {
        {Health(0, {}, false, true), "Running"},
        {Health(1, {}, false, true), "Running: 1 check pending"},
        {Health(3, {"1"}, true, true), "Running: 3 checks pending, printer 1 unreachable, payments blocked"},
        {Health(0, {"1", "2"}, false, false, "Oracle connect problem.\n[08001] timed out"),
         "Running: printer 1 unreachable, printer 2 unreachable, PMS database unreachable: Oracle connect "
         "problem. [08001] timed out"},
        {Health(0, {}, false, false), "Running: PMS database unreachable"},
        {[] {
             WorkerHealth h = Health(0, {}, false, false);
             h.waitingRegistrations = 2;
             return h;
         }(),
         "Running: 2 registrations waiting for the database, PMS database unreachable"},
        {Health(2, {"3"}, false, true, "", 1),
         "Running: 2 checks pending, 1 check in doubt, printer 3 unreachable"},
        // A copy that waits for the property says only that.
        {[] {
             WorkerHealth h = Health(0, {}, true, true);
             h.waiting = "another service holds the property (pms-host|4242|/opt/fiscora/)";
             return h;
         }(),
         "Waiting: another service holds the property (pms-host|4242|/opt/fiscora/)"},
        {[] {
             WorkerHealth h = Health(0, {}, false, true);
             h.closed = {1, 2, 0, 3};
             return h;
         }(),
         "Running: 6 closed without registration (1 by hand, 2 refused, 3 by the rules)"},
        // A database that does not answer: for how long, and since when.
        {[] {
             WorkerHealth h = Health(0, {}, true, false, "database is locked");
             h.databaseSilentSince = "14.03.2026 10:00:01";
             h.databaseSilentSeconds = WorkerHealth::RoundedSilence(59999);
             return h;
         }(),
         "Running: payments blocked, PMS database unreachable for 59 s (since 14.03.2026 10:00:01): database "
         "is locked"},
        {[] {
             WorkerHealth h = Health(0, {}, true, false, "database is locked");
             h.databaseSilentSince = "14.03.2026 10:00:01";
             h.databaseSilentSeconds = WorkerHealth::RoundedSilence(3 * 3600 * 1000 + 59000);
             return h;
         }(),
         "Running: payments blocked, PMS database unreachable for 180 min (since 14.03.2026 10:00:01): "
         "database is locked"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(c.health.StatusText(), c.text);
    }
}

TEST(WorkerHealthTest, HealthFileReadsBackWhatWasWritten) {
    WorkerHealth waiting = Health(7, {"1", "12"}, true, false, "line one\nline two=2", 2);
    waiting.waitingRegistrations = 3;
    waiting.waiting = "the service lease cannot be checked";
    waiting.workingFolder = "/var/lib/fiscora/";
    waiting.closed = {4, 3, 2, 1};
    waiting.databaseSilentSince = "14.03.2026 09:58:00";
    waiting.databaseSilentSeconds = 120;
    for (const WorkerHealth& written : {Health(0, {}, false, true), waiting}) {
        std::string content = written.FileText(4321, "14.03.2026 10:00:01");
        EXPECT_EQ(std::count(content.begin(), content.end(), '\n'), 17);
        WorkerHealth read;
        int pid = 0;
        std::string updated;
        ASSERT_TRUE(WorkerHealth::ParseFileText(content, read, pid, updated)) << content;
        EXPECT_EQ(pid, 4321);
        EXPECT_EQ(updated, "14.03.2026 10:00:01");
        WorkerHealth expected = written;
        expected.databaseError = written.databaseError.empty() ? "" : "line one line two=2";
        EXPECT_EQ(read, expected);
    }
    WorkerHealth read;
    int pid = 0;
    std::string updated;
    EXPECT_FALSE(WorkerHealth::ParseFileText("", read, pid, updated));
    EXPECT_FALSE(WorkerHealth::ParseFileText("pid=12\nupdated=x\n", read, pid, updated));
}

}  // namespace
