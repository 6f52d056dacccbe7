// The built libLGXClient.so, loaded as the service loads it, against the check-database
// simulator on 127.0.0.1:5196 (each test in a network namespace of its own where possible).
#include <gtest/gtest.h>

#include <memory>
#include <stdexcept>
#include <string>

#include "CheckDbSimulator.h"
#include "platform/DynamicLibrary.h"
#include "platform/Environment.h"
#include "platform/FileSystem.h"
#include "platform/Socket.h"
#include "shared/GetCheckResult.h"
#include "tests/support/client_library/ClientTestSupport.h"

namespace {

using client_test::Contains;
using client_test::Count;
using client_test::ReadText;
using client_test::WaitUntil;

const char* const kServerConfig = R"({"serveraddress":"127.0.0.1","keepdays":400})";
const char* const kCheck =
    R"({"uws":2,"rvc":5,"cknum":1234,"open_time":"2019-05-30T12:34:56","close_time":"2019-05-30T13:10:00",)"
    R"("total":"31.50","tremp":11,"waiter":"Anna","tbl":7,"gst":2,"trans_void":false,"adj_check":false,)"
    R"("dtl":[{"type":"M","objnum":1001,"name":"Borscht","qty":2,"ttl":"18.00","tax":1,"mgnum":1},)"
    R"({"type":"M","objnum":2002,"name":"Kvass 0.5\/l","qty":1,"qtf":0,"ttl":"4.50","tax":2},)"
    R"({"type":"S","objnum":9500,"name":"Service","qty":1,"ttl":"9.00","tax":0},)"
    R"({"type":"T","objnum":1,"name":"Cash","ttl":"31.50"}],)"
    R"("tax":[{"type":"A","taxnum":1,"name":"VAT","rate":20,"ttl":"5.25","txbl":"26.25"}]})";

std::string LibraryPath() {
    std::string folder = platform::GetEnv("FISCORA_BINARY_DIR");
    const std::string file = platform::DynamicLibrary::FileName("LGXClient");
    return folder.empty() ? platform::ProgramFolder() + file : folder + "/" + file;
}

class GetCheckTest : public ::testing::Test {
protected:
    void SetUp() override {
        if (!platform::DynamicLibrary::kUnloadMayWaitForThreads) {
            GTEST_SKIP() << "each case needs a fresh library, and on Windows the library stays loaded until the "
                            "process ends (GetCheckOnceTest)";
        }
    }
    ~GetCheckTest() override {
        library.Unload();  // stops the library's threads before the simulator goes
        simulator.reset();
    }

    void StartSimulator(bool discovery = true) {
        CheckDbSimulator::Options options;
        options.udpPort = discovery ? 5196 : 0;
        options.configText = kServerConfig;
        simulator = std::make_unique<CheckDbSimulator>(options);
        simulator->AddCheck(kCheck);
        std::string error;
        ASSERT_TRUE(simulator->Start(error)) << error;
    }

    void Load() {
        ASSERT_TRUE(library.Load(LibraryPath())) << library.GetLastError();
        getCheck = reinterpret_cast<GetCheckFunction>(library.Symbol("GetCheck"));
        ASSERT_NE(getCheck, nullptr);
    }

    std::string RequestBody(size_t index) {
        const auto requests = simulator->Requests();
        return index < requests.size() ? requests[index].body : std::string("(none)");
    }

    std::string LogText() { return ReadText("LGXClient.log"); }

    client_test::TempFolder folder;
    std::unique_ptr<CheckDbSimulator> simulator;
    platform::DynamicLibrary library;
    GetCheckFunction getCheck = nullptr;
};

// Cases that need no fresh library and so run on Windows too.
class GetCheckOnceTest : public GetCheckTest {
protected:
    void SetUp() override {}
};

TEST_F(GetCheckOnceTest, ExportsGetCheckOnly) {
    Load();
    EXPECT_EQ(library.Symbol("_ZN9ClientLog7LibraryEv"), nullptr);
    EXPECT_EQ(library.Symbol("_ZN10JsonHelper10JsonEscapeERKNSt7__cxx1112basic_stringIcSt11char_traitsIcESaIcEEE"),
              nullptr);
}

TEST_F(GetCheckTest, ReturnsTheCheckFoundThroughDiscovery) {
    StartSimulator();
    Load();
    GetCheckResult* result = getCheck(5, 1234, "05/30/19 12:34:56");
    ASSERT_NE(result, nullptr);
    EXPECT_EQ(result->code, 0);
    EXPECT_EQ(result->replyError, "");
    EXPECT_EQ(result->jsonText, kCheck);
    EXPECT_EQ(result->check.cknum, 1234);
    EXPECT_EQ(result->check.waiter, "Anna");
    ASSERT_EQ(result->check.dtl.size(), 4u);
    EXPECT_EQ(result->check.dtl[0].name, "Borscht");
    EXPECT_EQ(result->check.dtl[0].qtf, 2.0);
    EXPECT_EQ(result->check.dtl[1].name, "Kvass 0.5/l");
    EXPECT_EQ(result->check.dtl[2].type, 'S');
    EXPECT_DOUBLE_EQ(result->check.dtl[2].ttlValue, 9.0);
    EXPECT_EQ(RequestBody(0), R"({"rvc":5,"cknum":1234,"open_time":"2019-05-30T12:34:56"})");
    EXPECT_EQ(ReadText("LGXConfig.json"), kServerConfig) << "the server's configuration is kept";

    // The same record is overwritten by the next call.
    EXPECT_EQ(getCheck(5, 1234, nullptr), result);
    EXPECT_EQ(result->check.dtl.size(), 4u) << "cleared before it is filled again";
    EXPECT_EQ(simulator->Connections(), 1) << "one connection serves every call";

    const std::string text = LogText();
    client_test::ExpectContainsAll(text, {
        "LGXClient initialization. Build: ",
        "NetConf: This Role: Workstation",
        "NetConf: This Host: ",
        "NetConf: IP Port: 5196",
        "NetConf: Peers count: 1",
        "Server found: {\"Name\":\"check-db-sim\",\"Address\":\"127.0.0.1\"",
        "Server is detected on the network: 127.0.0.1",
        "IP Channel: Starting",
        "IP Channel: Connected to server. Socket=",
        "IP Channel: ==> \x01Get\x1c" "01\x1c{\"rvc\":5,\"cknum\":1234,",
    });
    EXPECT_FALSE(Contains(text, "check: ")) << "the dump needs level 6";
    EXPECT_FALSE(Contains(text, "name: {")) << "member traces need level 5";
}

TEST_F(GetCheckTest, OpeningTimeIsSentOnlyInItsSeventeenCharacterForm) {
    StartSimulator();
    Load();
    getCheck(5, 1234, "05/30/19 12:34:56");
    getCheck(5, 1234, "05/30/19 12:34:5");    // 16 characters
    getCheck(5, 1234, "05/30/19 12:34:567");  // 18 characters
    getCheck(5, 1234, nullptr);
    getCheck(5, 1234, "12/31/25 23:59:59");
    EXPECT_EQ(RequestBody(0), R"({"rvc":5,"cknum":1234,"open_time":"2019-05-30T12:34:56"})");
    EXPECT_EQ(RequestBody(1), R"({"rvc":5,"cknum":1234})");
    EXPECT_EQ(RequestBody(2), R"({"rvc":5,"cknum":1234})");
    EXPECT_EQ(RequestBody(3), R"({"rvc":5,"cknum":1234})");
    EXPECT_EQ(RequestBody(4), R"({"rvc":5,"cknum":1234,"open_time":"2025-12-31T23:59:59"})");
}

TEST_F(GetCheckTest, AnOpeningTimeOutOfRangeRaisesAnException) {
    StartSimulator();
    Load();
    for (const char* bad : {"13/30/19 12:34:56", "00/30/19 12:34:56", "05/32/19 12:34:56", "05/30/19 24:34:56",
                            "05/30/19 12:60:56", "05/30/19 12:34:60", "05-30-19 12:34:56"}) {
        EXPECT_THROW(getCheck(5, 1234, bad), std::out_of_range) << bad;
    }
    EXPECT_TRUE(simulator->Requests().empty());
    EXPECT_EQ(getCheck(5, 1234, "05/30/19 12:34:56")->code, 0) << "the library goes on after an exception";
}

TEST_F(GetCheckTest, WithoutServerOrConfigurationEveryCallEndsWithCode1) {
    Load();
    for (int call = 0; call < 2; ++call) {
        GetCheckResult* result = getCheck(5, 1234, nullptr);
        EXPECT_EQ(result->code, 1);
        EXPECT_EQ(result->replyError, "Ledgix server is not available");
        EXPECT_TRUE(result->check.dtl.empty());
    }
    const std::string text = LogText();
    EXPECT_EQ(Count(text, "Server not found on the network!"), 2);
    client_test::ExpectContainsAll(text, {
        "Can't open file LGXConfig.json error=2",
        "==> \x01Get\x1c" "00\x1c{\"rvc\":5,\"cknum\":1234}\x04",
        "<== Ledgix server is not available",
    });
    EXPECT_FALSE(Contains(text, "IP Channel: Starting"));
}

TEST_F(GetCheckTest, TheConfigurationFileNamesTheServerWhenDiscoveryFindsNone) {
    ASSERT_TRUE(platform::WriteFile("LGXConfig.json", kServerConfig));
    StartSimulator(false);
    Load();
    GetCheckResult* result = getCheck(5, 1234, nullptr);
    EXPECT_EQ(result->code, 0);
    EXPECT_EQ(result->check.dtl.size(), 4u);
    const std::string text = LogText();
    EXPECT_TRUE(Contains(text, "Server not found on the network!"));
    EXPECT_TRUE(Contains(text, "Server address from the LGXConfig.json: 127.0.0.1"));
}

TEST_F(GetCheckTest, AnUnreachableServerGivesCode1) {
    ASSERT_TRUE(platform::WriteFile("LGXConfig.json", kServerConfig));
    Load();
    GetCheckResult* result = getCheck(5, 1234, nullptr);
    EXPECT_EQ(result->code, 1);
    EXPECT_EQ(result->replyError, "Ledgix server is not available");
    EXPECT_EQ(getCheck(5, 1234, nullptr)->code, 1);
    const std::string text = LogText();
    EXPECT_TRUE(Contains(text, "IP Channel: Connect failed! " + std::to_string(platform::Socket::kRefused)));
    EXPECT_EQ(Count(text, "IP Channel: Starting"), 1) << "later calls leave the channel to reconnect itself";
}

TEST_F(GetCheckTest, ASilentServerGivesCode2) {
    StartSimulator();
    simulator->SetReplyMode(CheckDbSimulator::ReplyMode::Silent);
    Load();
    GetCheckResult* result = getCheck(5, 1234, nullptr);
    EXPECT_EQ(result->code, 2);
    EXPECT_EQ(result->replyError, "No reply from Ledgix server");
    EXPECT_TRUE(result->jsonText.empty());
    EXPECT_TRUE(Contains(LogText(), "timeout..."));
}

TEST_F(GetCheckTest, AStaleReplyIsDroppedAndGivesCode2) {
    StartSimulator();
    simulator->SetReplyMode(CheckDbSimulator::ReplyMode::StaleSequence);
    Load();
    EXPECT_EQ(getCheck(5, 1234, nullptr)->code, 2);
    EXPECT_TRUE(Contains(LogText(), "IP Channel: Invalid message sequence received"));
}

TEST_F(GetCheckTest, APlainTextReplyGivesCode3) {
    StartSimulator();
    Load();
    GetCheckResult* result = getCheck(5, 99, nullptr);
    EXPECT_EQ(result->code, 3);
    EXPECT_EQ(result->replyError, "Check 99 of revenue centre 5 not found");
    EXPECT_TRUE(result->jsonText.empty());
    EXPECT_TRUE(result->check.dtl.empty());
    // A check after it comes back in full.
    EXPECT_EQ(getCheck(5, 1234, nullptr)->code, 0);
    EXPECT_TRUE(result->replyError.empty());
}

TEST_F(GetCheckTest, AMillionClosingBracketsWriteOneLineAndTheNextCallWorks) {
    StartSimulator();
    Load();
    simulator->SetRawReply("\x01Get\x1c" "01\x1c{" + std::string(1000000, ']') + "\x04");
    GetCheckResult* result = getCheck(5, 1234, nullptr);
    EXPECT_EQ(result->code, 0) << "a reply that starts like a JSON object is read as one";
    EXPECT_TRUE(result->check.dtl.empty());
    const std::string text = LogText();
    EXPECT_EQ(Count(text, "Invalid bracket nesting level"), 1);
    EXPECT_LT(text.size(), 64u * 1024) << "the log does not grow with the reply";
    EXPECT_EQ(getCheck(5, 1234, nullptr)->check.dtl.size(), 4u);
}

TEST_F(GetCheckTest, AmountsThatAreNoNumbersReachTheCheckAsZero) {
    StartSimulator();
    Load();
    simulator->SetRawReply(
        "\x01Get\x1c" "01\x1c"
        R"({"rvc":5,"cknum":1234,"total":"nan","dtl":[{"type":"M","name":"A","qty":1,"ttl":"inf"},)"
        R"({"type":"M","name":"B","qty":1,"ttl":"0x10"},{"type":"M","name":"C","qty":1,"ttl":"-Infinity"},)"
        R"({"type":"M","name":"D","qty":1,"ttl":"4.50"}]})" "\x04");
    GetCheckResult* result = getCheck(5, 1234, nullptr);
    ASSERT_EQ(result->code, 0);
    EXPECT_EQ(result->check.totalValue, 0.0);
    ASSERT_EQ(result->check.dtl.size(), 4u);
    const double amounts[] = {0.0, 0.0, 0.0, 4.5};
    for (size_t i = 0; i < 4; ++i) {
        EXPECT_EQ(result->check.dtl[i].ttlValue, amounts[i]) << result->check.dtl[i].ttl;
    }
    EXPECT_EQ(getCheck(5, 1234, nullptr)->check.totalValue, 31.5);
}

TEST_F(GetCheckTest, TheHundredthRequestCarriesSequence01) {
    StartSimulator();
    Load();
    for (int i = 0; i < 100; ++i) {
        ASSERT_EQ(getCheck(5, 1234, nullptr)->code, 0) << i;
    }
    const auto requests = simulator->Requests();
    ASSERT_EQ(requests.size(), 100u);
    EXPECT_EQ(requests[98].sequence, "99");
    EXPECT_EQ(requests[99].sequence, "01");
}

TEST_F(GetCheckTest, AServerDatagramRewritesTheConfigurationOnlyWhenItChanged) {
    StartSimulator();
    Load();
    getCheck(5, 1234, nullptr);
    ASSERT_EQ(ReadText("LGXConfig.json"), kServerConfig);

    // The same configuration again (from a server that moved): the file is not written.
    ASSERT_TRUE(platform::RemoveFile("LGXConfig.json"));
    simulator->SetIdentity("check-db-sim", "127.0.0.9");
    ASSERT_TRUE(simulator->Announce());
    ASSERT_TRUE(WaitUntil([&] { return Contains(LogText(), "Server changed: "); }));
    EXPECT_FALSE(platform::FileExists("LGXConfig.json"));

    const std::string changed = R"({"serveraddress":"127.0.0.9","keepdays":90})";
    simulator->SetConfigText(changed);
    ASSERT_TRUE(simulator->Announce());
    ASSERT_TRUE(WaitUntil([&] { return ReadText("LGXConfig.json") == changed; }));
    EXPECT_TRUE(Contains(LogText(), "Update config: " + changed));
    // The running channel stays with the server it found first.
    EXPECT_EQ(getCheck(5, 1234, nullptr)->code, 0);
}

TEST_F(GetCheckTest, UnloadStopsTheThreadsAndALaterLoadStartsAfresh) {
    StartSimulator();
    Load();
    ASSERT_EQ(getCheck(5, 1234, nullptr)->code, 0);
    library.Unload();
    const std::string text = LogText();
    client_test::ExpectContainsAll(text, {
        "IP Channel: Stopping",
        "IP Channel: Receiver thread stopped",
        "IP Channel: Stopped",
        "NetConf: Receiver thread stopping: ",
    });
    // The log file is closed and may be moved away.
    ASSERT_TRUE(platform::RenameFile("LGXClient.log", "first.log"));

    Load();
    ASSERT_EQ(getCheck(5, 1234, nullptr)->code, 0);
    const auto requests = simulator->Requests();
    ASSERT_EQ(requests.size(), 2u);
    EXPECT_EQ(requests[1].sequence, "01") << "a fresh library numbers from 1 again";
    EXPECT_EQ(simulator->Connections(), 2);
    EXPECT_EQ(Count(LogText(), "LGXClient initialization."), 1);
}

// Windows: an unload cannot wait for the library's threads, so the library keeps itself loaded
// from its first call on; the unload returns at once and the same library serves on.
TEST_F(GetCheckOnceTest, OnWindowsAnUnloadLeavesTheLibraryServing) {
    if (platform::DynamicLibrary::kUnloadMayWaitForThreads) {
        GTEST_SKIP() << "this system stops the threads at unload (UnloadStopsTheThreadsAndALaterLoadStartsAfresh)";
    }
    StartSimulator();
    Load();
    GetCheckResult* result = getCheck(5, 1234, "05/30/19 12:34:56");
    ASSERT_NE(result, nullptr);
    ASSERT_EQ(result->code, 0) << result->replyError;
    ASSERT_EQ(result->check.dtl.size(), 4u);
    EXPECT_EQ(result->check.dtl[1].name, "Kvass 0.5/l");
    EXPECT_EQ(RequestBody(0), R"({"rvc":5,"cknum":1234,"open_time":"2019-05-30T12:34:56"})");

    library.Unload();  // would never return if it waited for the threads
    EXPECT_FALSE(Contains(LogText(), "IP Channel: Stopping"));
    Load();
    result = getCheck(5, 1234, nullptr);
    EXPECT_EQ(result->code, 0) << result->replyError;
    EXPECT_EQ(RequestBody(1), R"({"rvc":5,"cknum":1234})");
    EXPECT_EQ(simulator->Connections(), 1) << "the same library and connection";
    EXPECT_EQ(Count(LogText(), "LGXClient initialization."), 1);
}

}  // namespace
