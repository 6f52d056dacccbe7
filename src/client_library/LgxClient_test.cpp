#include "client_library/LgxClient.h"

#include <gtest/gtest.h>

#include <chrono>
#include <stdexcept>
#include <string>

#include "CheckDbSimulator.h"
#include "client_library/ChannelParser.h"
#include "platform/LocalTime.h"
#include "tests/support/client_library/ClientTestSupport.h"

namespace {

using client_test::Contains;
using client_test::ReadText;

std::time_t Local(int year, int month, int day, int hour, int minute, int second) {
    return platform::LocalTime::Of(year, month, day, hour, minute, second).ToEpoch();
}

TEST(ParseOpenTimeTest, ReadsMonthDayYearAndTime) {
    EXPECT_EQ(LgxClient::ParseOpenTime("05/30/19 12:34:56"), Local(2019, 5, 30, 12, 34, 56));
    EXPECT_EQ(LgxClient::ParseOpenTime("01/01/00 00:00:00"), Local(2000, 1, 1, 0, 0, 0));
    EXPECT_EQ(LgxClient::ParseOpenTime("12/31/99 23:59:59"), Local(2099, 12, 31, 23, 59, 59));
    // Seventeen characters without a blank: the time counts as 00:00:00.
    EXPECT_EQ(LgxClient::ParseOpenTime("05/30/19_12:34:56"), Local(2019, 5, 30, 0, 0, 0));
}

TEST(ParseOpenTimeTest, AnyOtherLengthMeansNoTime) {
    EXPECT_EQ(LgxClient::ParseOpenTime(nullptr), 0);
    EXPECT_EQ(LgxClient::ParseOpenTime(""), 0);
    EXPECT_EQ(LgxClient::ParseOpenTime("5/30/19 12:34:56"), 0);
    EXPECT_EQ(LgxClient::ParseOpenTime("05/30/2019 12:34:56"), 0);
    EXPECT_EQ(LgxClient::ParseOpenTime("garbage"), 0);
}

TEST(ParseOpenTimeTest, PartsOutOfRangeRaiseAnException) {
    for (const char* bad : {"13/30/19 12:34:56", "00/30/19 12:34:56", "05/00/19 12:34:56", "05/32/19 12:34:56",
                            "05/30/19 24:00:00", "05/30/19 12:60:00", "05/30/19 12:00:60", "05/30/19 -1:00:00",
                            "05-30-19 12:34:56", "xx/yy/zz aa:bb:cc"}) {
        EXPECT_THROW(LgxClient::ParseOpenTime(bad), std::out_of_range) << bad;
    }
}

TEST(BuildLabelTest, CarriesTheBuildDate) {
    const std::string label = LgxClient::BuildLabel();  // "Build: dd-mm-yyyy"
    ASSERT_EQ(label.size(), 17u) << label;
    EXPECT_EQ(label.substr(0, 7), "Build: ");
    const int day = std::stoi(label.substr(7, 2));
    const int month = std::stoi(label.substr(10, 2));
    const int year = std::stoi(label.substr(13, 4));
    EXPECT_TRUE(day >= 1 && day <= 31) << label;
    EXPECT_TRUE(month >= 1 && month <= 12) << label;
    EXPECT_GE(year, 2024) << label;
    EXPECT_EQ(label[9], '-');
    EXPECT_EQ(label[12], '-');
}

// The library's flow in process, with short waits and its own ports.
class LgxClientTest : public ::testing::Test {
protected:
    LgxClientTest() {
        CheckDbSimulator::Options options;
        options.tcpPort = 0;
        options.udpPort = client_test::FreeUdpPort();
        options.configText = R"({"serveraddress":"127.0.0.1"})";
        simulator = std::make_unique<CheckDbSimulator>(options);
        simulator->AddCheck(
            R"({"rvc":1,"cknum":2,"total":"5.00","dtl":[{"type":"M","objnum":7,"name":"Tea","qty":1,"ttl":"5.00"}],)"
            R"("tax":[{"type":"A","name":"VAT","txbl":"4.17"},{"type":"A","name":"Zero","txbl":"0.00"}]})");
        std::string error;
        EXPECT_TRUE(simulator->Start(error)) << error;
        timing.replyWaitMs = 300;
        timing.reconnectPauseMs = 20;
        timing.announcePauseMs = 100;  // the real pause: the answer must come within it
        udpPort = options.udpPort;
        client = std::make_unique<LgxClient>(log, timing, udpPort, simulator->TcpPort());
    }
    ~LgxClientTest() override {
        client.reset();
        simulator.reset();
    }

    client_test::TempFolder folder;
    ClientLog log;
    ClientTiming timing;
    int udpPort = 0;
    std::unique_ptr<CheckDbSimulator> simulator;
    std::unique_ptr<LgxClient> client;
};

TEST_F(LgxClientTest, AtLevelSixTheReceivedCheckIsDumped) {
    ASSERT_EQ(client->GetCheck(1, 2, nullptr)->code, 0);
    EXPECT_FALSE(Contains(ReadText("LGXClient.log"), "check: "));
    log.Open("LGXClient.log", 10240000, 10, ClientLog::kMilliseconds | ClientLog::kClosingThread, 6);
    ASSERT_EQ(client->GetCheck(1, 2, nullptr)->code, 0);
    const std::string text = ReadText("LGXClient.log");
    const size_t at = text.find("check: ");
    ASSERT_NE(at, std::string::npos);
    const std::string dump = text.substr(at, text.find("\r\n", at) - at);
    EXPECT_TRUE(Contains(dump, "check: {\"uws\":0,\"rvc\":1,\"cknum\":2,")) << dump;
    EXPECT_TRUE(Contains(dump, "\"name\":\"Tea\"")) << dump;
    EXPECT_TRUE(Contains(dump, "\"name\":\"VAT\"")) << dump;
    EXPECT_FALSE(Contains(dump, "\"name\":\"Zero\"")) << "a 0.00 tax line is left out of the dump";
}

// A server, or anything that answers in its place, sends frames no server should: each one ends
// the call in bounded time with a clear line, the connection is made again (after the short
// pause of the tests; the library's is 5 s) and the next GetCheck works.
TEST_F(LgxClientTest, OverlongFramesDropTheConnectionNotTheProcess) {
    client.reset();
    timing.replyWaitMs = 2000;  // longer than reading the limit takes
    client = std::make_unique<LgxClient>(log, timing, udpPort, simulator->TcpPort());
    ASSERT_EQ(client->GetCheck(1, 2, nullptr)->code, 0);
    const std::string dropped = "IP Channel: Frame longer than 1048576 bytes: connection dropped";
    const struct {
        const char* name;
        std::string reply;
    } cases[] = {
        // A frame that never ends: it would otherwise grow until memory runs out.
        {"endless frame", "\x01Get\x1c" "01\x1c{" + std::string(2 * ChannelParser::kMaxFrameBytes, 'x')},
        {"10 MB reply", "\x01Get\x1c" "01\x1c{\"name\":\"" + std::string(10 * 1024 * 1024, 'y') + "\"}\x04"},
    };
    int drops = 0;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        simulator->SetRawReply(c.reply);
        const auto start = std::chrono::steady_clock::now();
        GetCheckResult* result = client->GetCheck(1, 2, nullptr);
        const auto took = std::chrono::steady_clock::now() - start;
        EXPECT_EQ(result->code, 2);
        EXPECT_EQ(result->replyError, "No reply from Ledgix server");
        EXPECT_TRUE(result->check.dtl.empty());
        EXPECT_LE(took, std::chrono::milliseconds(timing.replyWaitMs + 1000)) << "bounded by the reply wait";
        // The reading of the limit goes on after the call gave up (under wine it can take longer
        // than the reply wait).
        ++drops;
        EXPECT_TRUE(client_test::WaitUntil([&] { return client_test::Count(ReadText("LGXClient.log"), dropped) == drops; },
                                           10000));

        ASSERT_TRUE(client_test::WaitUntil([&] { return client->Channel().IsConnected(); }));
        result = client->GetCheck(1, 2, nullptr);
        EXPECT_EQ(result->code, 0) << result->replyError;
        ASSERT_EQ(result->check.dtl.size(), 1u);
        EXPECT_EQ(result->check.dtl[0].name, "Tea");
    }
}

TEST_F(LgxClientTest, TheLogOpensWithTheLibrarysSettings) {
    client->GetCheck(1, 2, nullptr);
    EXPECT_EQ(log.Level(), 4);
    log.LogLine(5, "level five");
    EXPECT_FALSE(Contains(ReadText("LGXClient.log"), "level five"));
}

TEST_F(LgxClientTest, DestructionStopsEverythingAndClosesTheLog) {
    ASSERT_EQ(client->GetCheck(1, 2, nullptr)->code, 0);
    EXPECT_TRUE(client->Channel().IsRunning());
    EXPECT_TRUE(client->Discovery().IsRunning());
    client.reset();
    EXPECT_EQ(log.Level(), 0);
    EXPECT_FALSE(log.IsFileOpen());
    const std::string text = ReadText("LGXClient.log");
    EXPECT_TRUE(Contains(text, "IP Channel: Stopped"));
    EXPECT_TRUE(Contains(text, "NetConf: Receiver thread stopping"));
}

}  // namespace
