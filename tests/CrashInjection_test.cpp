// FiscoraService killed with SIGKILL at moments of registration and started again: with a
// printer manager that knows a check sent again under its file name nothing is lost and nothing
// registered twice; with a plain one nothing is lost, and a check is registered twice only when
// a kill fell between the device registering it and its answer reaching the outcome journal. On
// the Czech and Mongolian roads nothing is lost, nothing registered twice and nothing closed by
// hand.
#include <gtest/gtest.h>

#include "CrashInjection.h"
#include "ServiceRun.h"
#include "platform/Text.h"

namespace {

crash::Options Bounded(int kills, bool recognise, crash::Road road = crash::Road::PrinterManager) {
    crash::Options options;
    options.road = road;
    options.program = ServiceBinary();
    options.demoConfiguration = SourceDir() + "demo/VuvovaZododAVU.xml";
    options.kills = kills;
    options.killsPerRound = 8;
    options.recogniseRepeats = recognise;
    options.seed = 20260314;
    return options;
}

TEST(CrashInjectionTest, KillsAtAnyMomentLoseNothingAndRegisterNothingTwice) {
    crash::Figures figures = crash::Run(Bounded(24, true));
    RecordProperty("figures", figures.Text());
    EXPECT_GE(figures.kills, 24) << figures.Text();
    // Every kind of moment was met.
    for (int moment = 0; moment < 3; ++moment) {
        EXPECT_GT(figures.killsByMoment[moment], 0) << figures.Text();
    }
    EXPECT_TRUE(figures.problems.empty()) << text::Join(figures.problems, "\n");
    EXPECT_TRUE(figures.mismatches.empty()) << text::Join(figures.mismatches, "\n");
    EXPECT_EQ(figures.lost, 0) << figures.Text();
    EXPECT_EQ(figures.doubled, 0) << figures.Text();
    EXPECT_EQ(figures.registrations, figures.duePayments);
    // The kills that fell after the device had registered were answered as repeats.
    EXPECT_GE(figures.repeats, figures.killsByMoment[static_cast<int>(crash::Moment::Registered)]);
}

TEST(CrashInjectionTest, WithAPlainPrinterManagerOnlyTheKillsBetweenDeviceAndAnswerRegisterTwice) {
    crash::Figures figures = crash::Run(Bounded(8, false));
    RecordProperty("figures", figures.Text());
    EXPECT_EQ(figures.lost, 0) << figures.Text() << "\n" << text::Join(figures.problems, "\n");
    // Each kill after the device registered leaves the check in doubt, and the plain manager
    // registers its repeat again; no kill registers a check more than once more.
    int registered = figures.killsByMoment[static_cast<int>(crash::Moment::Registered)];
    EXPECT_GE(figures.doubled, registered) << figures.Text();
    EXPECT_LE(figures.doubled, figures.kills) << figures.Text();
    EXPECT_EQ(figures.repeats, 0);
    // The reconciliation finds those second registrations (a document no row names, its check
    // file registered twice), and nothing else.
    int unnamed = 0;
    for (const std::string& mismatch : figures.mismatches) {
        bool second = mismatch.find("is in no status row") != std::string::npos;
        unnamed += second;
        EXPECT_TRUE(second || mismatch.find("registered twice") != std::string::npos) << mismatch;
    }
    EXPECT_EQ(unnamed, figures.doubled) << text::Join(figures.mismatches, "\n");
}

TEST(CrashInjectionTest, KillsAtTheTaxServicesMomentsLoseNothingRegisterNothingTwiceAndCloseNothingByHand) {
    for (crash::Road road : {crash::Road::Czech, crash::Road::Mongolian}) {
        SCOPED_TRACE(crash::RoadName(road));
        crash::Options options = Bounded(6, true, road);
        options.timedOnly = true;
        options.killsPerRound = 6;
        crash::Figures figures = crash::Run(options);
        RecordProperty(crash::RoadName(road), figures.Text());
        EXPECT_GE(figures.kills, 6) << figures.Text();
        EXPECT_EQ(figures.killsByMoment[static_cast<int>(crash::Moment::Anywhere)], 0) << figures.Text();
        EXPECT_TRUE(figures.problems.empty()) << text::Join(figures.problems, "\n");
        EXPECT_EQ(figures.lost, 0) << figures.Text();
        EXPECT_EQ(figures.doubled, 0) << figures.Text();
        EXPECT_EQ(figures.closedByHand, 0) << figures.Text();
        // The kills after the service registered a sale were answered as repeats.
        EXPECT_GE(figures.repeats, figures.killsByMoment[static_cast<int>(crash::Moment::Registered)]);
    }
}

}  // namespace
