// FiscoraService under the faults that used to register a check twice or lose it: an answer
// that comes after the time-out, an answer cut after the check was sent, a database that refuses
// the status write after a registration, a stop while an answer is late, and a second service
// started against the same property.
#include <gtest/gtest.h>

#include <csignal>

#include "ServiceRun.h"
#include "platform/ChildProcess.h"
#include "platform/FileSystem.h"
#include "platform/TempFolder.h"
#include "platform/Text.h"
#include "service/COutcomeJournal.h"

namespace {

bool Has(const std::string& text, const std::string& part) {
    return text.find(part) != std::string::npos;
}

// What the service's outcome journal holds, read the way the status command reads it.
COutcomeJournal Pending(const ServiceRun& run) {
    COutcomeJournal journal;
    std::string error;
    EXPECT_TRUE(journal.Read(run.Path(), error)) << error;
    return journal;
}

// The document numbers of what a simulator registered.
std::vector<std::string> Documents(const ServiceRun& run, size_t simulator) {
    std::vector<std::string> documents;
    for (const ServiceRun::Registered& r : run.Records(simulator)) {
        documents.push_back(r.documentNumber);
    }
    return documents;
}

TEST(ExactlyOnceTest, AnAnswerAfterTheTimeOutIsTheRegistrationNotAFailure) {
    ServiceRun run;
    // A plain printer manager: the late answer itself must be taken, nothing is sent twice.
    ASSERT_TRUE(run.StartWithFault(pmsgen::OpenDay::Small, "delay ms=4500 kind=Check count=1"));
    std::vector<int> due = run.DuePayments();
    ASSERT_TRUE(run.WaitForStatus(due, "Y", 90000)) << run.Diagnostics();
    EXPECT_EQ(run.StopService(), 0) << run.Diagnostics();
    ExpectRegisteredOnce(run, due);
    EXPECT_EQ(run.LogCount("Waiting time is up."), 1u) << run.Diagnostics();
    EXPECT_EQ(run.LogCount(": success"), 1u) << run.Diagnostics();
    EXPECT_EQ(run.LogCount("Send to reserve printer"), 0u);
    EXPECT_EQ(run.LogCount("Unsuccessful"), 0u);
}

TEST(ExactlyOnceTest, ACheckCutAfterSendingNeverGoesToTheReservePrinterButARefusedOneDoes) {
    for (const char* fault : {"cut bytes=3 kind=Check count=1", "refuse"}) {
        SCOPED_TRACE(fault);
        bool cut = Has(fault, "cut");
        ServiceRun run;
        ASSERT_TRUE(run.MakePms(pmsgen::OpenDay::Small));
        ASSERT_TRUE(run.StartSimulators({"MAIN", "RESERVE"}));
        run.Simulator(0).SetRecogniseRepeats(true);
        run.SetFault(fault, 0);
        ASSERT_TRUE(run.Configure());
        ASSERT_TRUE(run.StartService());
        std::vector<int> due = run.DuePayments();
        ASSERT_TRUE(run.WaitForStatus(due, "Y", 90000)) << run.Diagnostics();
        run.SetFault("none", 0);
        EXPECT_EQ(run.StopService(), 0) << run.Diagnostics();
        ExpectRegisteredOnce(run, due);
        std::vector<std::string> main = Documents(run, 0);
        std::vector<std::string> reserve = Documents(run, 1);
        if (cut) {
            // "0", FS, "O", then nothing: no success, and the check stayed with its printer, which
            // knew it again when it came back under its file name.
            EXPECT_EQ(run.LogCount("Fiscal printer connect cut off."), 1u) << run.Diagnostics();
            EXPECT_EQ(run.Simulator(0).Repeats(), 1u);
            EXPECT_EQ(run.LogCount("Send to reserve printer"), 0u) << run.Diagnostics();
        } else {
            // Never delivered: the reserve printer took the main printer's checks.
            EXPECT_TRUE(main.empty());
            EXPECT_FALSE(reserve.empty());
            EXPECT_GE(run.LogCount("Send to reserve printer"), 1u);
        }
    }
}

TEST(ExactlyOnceTest, ADatabaseThatRefusesTheStatusAfterARegistrationLosesNothingAndRegistersNothingTwice) {
    ServiceRun run;
    ASSERT_TRUE(run.MakePms(pmsgen::OpenDay::Small));
    ASSERT_TRUE(run.RefuseStatusY());
    ASSERT_TRUE(run.StartSimulators());
    ASSERT_TRUE(run.Configure());
    ASSERT_TRUE(run.StartService());
    std::vector<int> due = run.DuePayments();
    ASSERT_TRUE(ServiceRun::WaitUntil([&] { return run.LogCount("until the database takes it") > 0; }, 30000))
        << run.Diagnostics();
    // Registered once, kept on disk; nothing else is taken up while it waits, some 15 polling
    // cycles, and nothing can be paid that nothing registers.
    ServiceRun::WaitUntil([] { return false; }, 1500);
    EXPECT_EQ(run.AllRecords().size(), 1u);
    EXPECT_EQ(Pending(run).KeysIn(COutcomeJournal::State::Outcome).size(), 1u);
    std::string log = run.Log();
    EXPECT_TRUE(Has(log.substr(log.find("until the database takes it")), "Block payments"))
        << run.Diagnostics();
    // Every cycle meets the refusal again: each of its lines is in the log once.
    EXPECT_EQ(run.LogCount("simulated database failure"), 3u) << run.Diagnostics();
    EXPECT_EQ(run.LogCount("Executing failure"), 1u);
    EXPECT_EQ(run.LogCount("until the database takes it"), 1u);
    // A crash while it waits: the next start writes it from the disk before anything else.
    run.KillService();
    ASSERT_TRUE(run.AllowStatusY());
    ASSERT_TRUE(run.StartService());
    ASSERT_TRUE(run.WaitForStatus(due, "Y", 90000)) << run.Diagnostics();
    EXPECT_EQ(run.StopService(), 0) << run.Diagnostics();
    ExpectRegisteredOnce(run, due);
    EXPECT_EQ(run.LogCount("written from "), 1u) << run.Diagnostics();
    EXPECT_TRUE(Pending(run).Entries().empty());
}

TEST(ExactlyOnceTest, AStopWhileAnAnswerIsLateWaitsForItAndTheRestartRegistersNothingAgain) {
    ServiceRun run;
    // Later than the answer time-out (3 s), within the stop's wait for the late answer.
    ASSERT_TRUE(run.StartWithFault(pmsgen::OpenDay::Small, "delay ms=5000 kind=Check count=1"));
    ASSERT_TRUE(ServiceRun::WaitUntil(
        [&] {
            for (const std::string& message : run.Simulator().Messages()) {
                if (Has(message,
                        "FISC\x1c"
                        "Check")) {
                    return true;
                }
            }
            return false;
        },
        30000));
    EXPECT_EQ(run.StopService(30000), 0) << run.Diagnostics();
    ASSERT_EQ(run.AllRecords().size(), 1u);
    std::string log = run.Log();
    EXPECT_TRUE(Has(log, ": success")) << run.Diagnostics();
    EXPECT_FALSE(Has(log, "did not end in time"));
    // Recorded before the service ended: the restart finds it registered.
    ASSERT_TRUE(run.StartService());
    std::vector<int> due = run.DuePayments();
    ASSERT_TRUE(run.WaitForStatus(due, "Y", 90000)) << run.Diagnostics();
    EXPECT_EQ(run.StopService(), 0) << run.Diagnostics();
    ExpectRegisteredOnce(run, due);
}

// A second FiscoraService in a folder of its own, against the first one's PMS and simulators.
class SecondService {
public:
    bool Start(const ServiceRun& first) {
        std::string configuration;
        if (!ServiceFolder::CopyProgram(ServiceBinary(), temp.Path()) ||
            !platform::ReadFile(first.Path("VuvovaZododAVU.xml"), configuration)) {
            return false;
        }
        configuration =
            text::ReplaceAll(configuration, "sqlite:demo_pms.db", "sqlite:" + first.Path("demo_pms.db"));
        return platform::WriteFile(temp.File("VuvovaZododAVU.xml"), configuration) &&
               process.Start(temp.File("FiscoraService"), {}, temp.Path(), temp.File("service.out"));
    }
    int Stop() {
        process.Signal(SIGTERM);
        return process.Wait(30000) ? process.ExitCode() : -1;
    }
    std::string Log() const {
        std::string content;
        platform::ReadFile(temp.File("qelfiscal.log"), content);
        return content;
    }

private:
    platform::TempFolder temp{"fiscora-second"};
    platform::ChildProcess process;
};

TEST(ExactlyOnceTest, ASecondServiceOnThePropertyRegistersNothingWhileTheFirstHoldsTheLease) {
    ServiceRun run;
    // Nothing can be registered yet: both services would find every check due.
    ASSERT_TRUE(run.StartWithFault(pmsgen::OpenDay::Small, "refuse"));
    ASSERT_TRUE(ServiceRun::WaitUntil([&] { return run.LogCount("Service lease held by ") == 1; }, 30000))
        << run.Diagnostics();
    SecondService second;
    ASSERT_TRUE(second.Start(run));
    ASSERT_TRUE(ServiceRun::WaitUntil(
        [&] { return Has(second.Log(), "Another service registers the checks of this property: "); }, 30000))
        << second.Log();
    // The printer manager is back: the first service registers everything, the second nothing.
    run.SetFault("none");
    std::vector<int> due = run.DuePayments();
    ASSERT_TRUE(run.WaitForStatus(due, "Y", 90000)) << run.Diagnostics();
    std::string waiting = second.Log();
    EXPECT_FALSE(Has(waiting, "Start print:")) << waiting;
    // Payment entry belongs to the holder: the waiting service never switched it.
    EXPECT_FALSE(Has(waiting, "Block payments")) << waiting;
    EXPECT_FALSE(Has(waiting, "Unblock payments")) << waiting;

    // The first stops and gives the lease up: the second takes over at once.
    EXPECT_EQ(run.StopService(), 0) << run.Diagnostics();
    ASSERT_TRUE(ServiceRun::WaitUntil([&] { return Has(second.Log(), "Service lease held by "); }, 30000))
        << second.Log();
    ServiceRun::WaitUntil([] { return false; }, 1000);
    EXPECT_EQ(second.Stop(), 0);
    ExpectRegisteredOnce(run, due);
}

}  // namespace
