// FiscoraService against devices that answer in the other forms a device may use: a printer
// manager that ends its answers with FS EOT, or sends each in two pieces, and, on every road, a
// device whose answer never ends. (Every other end-to-end suite runs the printer manager's
// answers as the protocol gives them: no end byte.)
#include <gtest/gtest.h>

#include <algorithm>
#include <iostream>

#include "ServiceRun.h"
#include "devices/CAnswerReader.h"
#include "platform/Text.h"

namespace {

// The longest line of the service's log.
size_t LongestLine(const std::string& log) {
    size_t longest = 0;
    for (const std::string& line : text::Split(log, '\n')) {
        longest = std::max(longest, line.size());
    }
    return longest;
}

TEST(DeviceAnswersTest, AManagerThatEndsItsAnswersOrSendsThemInPiecesHasEveryDuePaymentRegisteredOnce) {
    struct Form {
        const char* name;
        bool endByte;
        int splitPauseMs;
    } forms[] = {{"FS EOT after every answer", true, 0}, {"every answer in two pieces", false, 30}};
    for (const Form& form : forms) {
        SCOPED_TRACE(form.name);
        ServiceRun run;
        ASSERT_TRUE(run.MakePms(pmsgen::OpenDay::Small));
        PrinterManagerSim::Options options;
        options.endByte = form.endByte;
        options.splitPauseMs = form.splitPauseMs;
        std::string error;
        ASSERT_TRUE(run.ServiceFolder::StartSimulators({"SIM"}, error, options)) << error;
        // Without room-rate codes the interfaces ask the manager for the printer's identity
        // first; the pieces' pause stays well below the settle time on a loaded machine too.
        ASSERT_TRUE(run.Configure({{"<room_rate_include>1000</room_rate_include>", "<room_rate_include></room_rate_include>"},
                                   {"<answer_settle>50</answer_settle>", "<answer_settle>300</answer_settle>"}}));
        ASSERT_TRUE(run.StartService());
        std::vector<int> due = run.DuePayments();
        ASSERT_TRUE(run.WaitForStatus(due, "Y", 60000)) << run.Diagnostics();
        EXPECT_EQ(run.StopService(), 0) << run.Diagnostics();
        ExpectRegisteredOnce(run, due);
        std::map<int, ServiceRun::StatusRow> rows = run.StatusRows();
        for (int payment : due) {
            EXPECT_TRUE(text::StartsWith(rows[payment].printerId, "SIM")) << payment;
        }
        EXPECT_EQ(run.LogCount("Waiting time is up"), 0u);
        EXPECT_EQ(run.LogCount("after the end of the answer dropped"), 0u);
        EXPECT_GE(run.LogCount("Config num 2\n"), 1u);
    }
}

TEST(DeviceAnswersTest, AnAnswerThatNeverEndsCostsTheServiceNeitherItsMemoryNorItsLogOnAnyRoad) {
    enum class Road { PrinterManager, Czech, Mongolian };
    struct Case {
        const char* name;
        Road road;
        const char* configuration;
    } cases[] = {
        {"printer manager", Road::PrinterManager, "demo/VuvovaZododAVU.xml"},
        {"Czech registration", Road::Czech, "demo/czech/VuvovaZododAVU.xml"},
        {"Mongolian tax service", Road::Mongolian, "demo/mongolia/VuvovaZododAVU.xml"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ServiceRun run(c.configuration);
        ASSERT_TRUE(run.MakePms(pmsgen::OpenDay::Small));
        std::string error;
        bool peer = c.road == Road::Czech       ? run.StartCzechSimulator(error, "endless count=1")
                    : c.road == Road::Mongolian ? run.StartTaxService(error)
                                                : run.ServiceFolder::StartSimulators({"SIM"}, error);
        ASSERT_TRUE(peer) << error;
        if (c.road == Road::PrinterManager) {
            run.SetFault("endless kind=Check count=1");
        } else if (c.road == Road::Mongolian) {
            run.SetFault("endless count=1");
        }
        // A long answer time: only the bound can end the endless answer early.
        ASSERT_TRUE(run.Configure({{"<wait_answer>3000</wait_answer>", "<wait_answer>60000</wait_answer>"}}));
        ASSERT_TRUE(run.StartService());
        ASSERT_TRUE(ServiceRun::WaitUntil([&] { return run.LogCount(CAnswerReader::TooLongText()) >= 1; }, 30000))
            << run.Diagnostics();
        long peakKb = run.ServicePeakMemoryKb();
        std::cout << c.name << ": peak memory of the service " << peakKb << " kB, longest log line "
                  << LongestLine(run.Log()) << " bytes\n";
        EXPECT_GT(peakKb, 0);
        // A service at rest takes 8 to 70 MB by machine (threads, allocator arenas); a reader
        // without its bound grew by 1 GiB in each second of an endless answer.
        EXPECT_LT(peakKb, 256 * 1024);
        EXPECT_LT(LongestLine(run.Log()), 1024u);
        // The service goes on: the check is tried again once the device answers.
        if (c.road == Road::PrinterManager) {
            std::vector<int> due = run.DuePayments();
            ASSERT_TRUE(run.WaitForStatus(due, "Y", 60000)) << run.Diagnostics();
            EXPECT_EQ(run.StopService(), 0) << run.Diagnostics();
            ExpectRegisteredOnce(run, due);
        } else {
            EXPECT_TRUE(run.ServiceRunning());
            EXPECT_EQ(run.StopService(), 0) << run.Diagnostics();
        }
    }
}

}  // namespace
