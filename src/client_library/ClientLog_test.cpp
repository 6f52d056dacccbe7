#include "client_library/ClientLog.h"

#include <gtest/gtest.h>

#include <string>
#include <thread>
#include <vector>

#include "platform/Clock.h"
#include "platform/FileSystem.h"
#include "platform/Text.h"
#include "tests/support/client_library/ClientTestSupport.h"
#include "tests/support/platform/ManualClock.h"

namespace {

using client_test::Contains;
using client_test::ReadText;

class ClientLogTest : public ::testing::Test {
protected:
    client_test::TempFolder folder;
    ClientLog log;
};

TEST_F(ClientLogTest, WritesStampedLinesUpToItsLevel) {
    platform::ManualClock clock(1559219696);  // some moment of 30.05.2019
    clock.Advance(7);
    platform::ScopedClock scoped(clock);
    const platform::LocalTime now = clock.Now();
    log.Open("LGXClient.log", 10240000, 10, ClientLog::kMilliseconds, 4);
    log.LogLine(1, "LGXClient initialization. %s", "Build: 30-05-2019");
    log.LogLine(4, "level %d", 4);
    log.LogLine(5, "not written");
    char stamp[64];
    std::snprintf(stamp, sizeof stamp, "%02d-%02d-%04d %02d:%02d:%02d.%03d ", now.day, now.month, now.year, now.hour,
                  now.minute, now.second, now.millisecond);
    EXPECT_EQ(ReadText("LGXClient.log"), std::string(stamp) + "LGXClient initialization. Build: 30-05-2019\r\n" +
                                             stamp + "level 4\r\n");
    EXPECT_EQ(now.millisecond, 7);
}

TEST_F(ClientLogTest, StampWithoutMillisecondsWhenTheOptionIsOff) {
    platform::ManualClock clock(1559219696);
    platform::ScopedClock scoped(clock);
    const platform::LocalTime now = clock.Now();
    log.Open("plain.log", 0, 0, 0, 1);
    log.LogLine(1, "x");
    char stamp[64];
    std::snprintf(stamp, sizeof stamp, "%02d-%02d-%04d %02d:%02d:%02d ", now.day, now.month, now.year, now.hour,
                  now.minute, now.second);
    EXPECT_EQ(ReadText("plain.log"), std::string(stamp) + "x\r\n");
}

TEST_F(ClientLogTest, ClosedLogWritesNothing) {
    log.LogLine(1, "before opening");
    EXPECT_FALSE(platform::FileExists("LGXClient.log"));
    log.Open("LGXClient.log", 0, 0, 0, 4);
    log.LogLine(5, "above the level");
    EXPECT_FALSE(platform::FileExists("LGXClient.log")) << "a filtered line leaves the file untouched";
    log.Close();
    EXPECT_EQ(log.Level(), 0);
    log.LogLine(1, "after closing");
    EXPECT_FALSE(platform::FileExists("LGXClient.log"));
}

TEST_F(ClientLogTest, LongMessagesAreCutTo2047Characters) {
    log.Open("LGXClient.log", 0, 0, ClientLog::kMilliseconds, 4);
    log.LogLine(1, "%s", std::string(5000, 'x').c_str());
    const std::string content = ReadText("LGXClient.log");
    ASSERT_GE(content.size(), 2u);
    EXPECT_EQ(content.size(), 2047u + 2u);
    EXPECT_EQ(content.substr(content.size() - 2), "\r\n");
    EXPECT_EQ(content[content.size() - 3], 'x');
}

TEST_F(ClientLogTest, RotatesIntoNumberedFilesAndDropsTheEleventh) {
    // Ten older generations, marked by their content.
    for (int n = 0; n <= 9; ++n) {
        platform::WriteFile("LGXClient.lo" + std::to_string(n), "generation " + std::to_string(n));
    }
    log.Open("LGXClient.log", 1000, 10, 0, 4);
    const std::string line(100, 'a');
    int written = 0;
    while (platform::FileSize("LGXClient.log") < 1000) {
        log.LogLine(1, "%s", line.c_str());
        ++written;
    }
    const std::string full = ReadText("LGXClient.log");
    log.LogLine(1, "first line of the new file");
    EXPECT_EQ(ReadText("LGXClient.lo0"), full + "See continuation...\r\n");
    for (int n = 1; n <= 9; ++n) {
        EXPECT_EQ(ReadText("LGXClient.lo" + std::to_string(n)), "generation " + std::to_string(n - 1)) << n;
    }
    EXPECT_FALSE(platform::FileExists("LGXClient.lo10"));
    const std::string fresh = ReadText("LGXClient.log");
    EXPECT_TRUE(Contains(fresh, "first line of the new file"));
    EXPECT_FALSE(Contains(fresh, line));
    EXPECT_GT(written, 5);
}

TEST_F(ClientLogTest, RotatedNamesReplaceTheLastCharacter) {
    log.Open("ThirteenChars", 1000, 2, 0, 4);
    for (int i = 0; i < 40; ++i) {
        log.LogLine(1, "%s", std::string(100, 'b').c_str());
    }
    EXPECT_TRUE(platform::FileExists("ThirteenChar0"));
    EXPECT_TRUE(platform::FileExists("ThirteenChar1"));
    EXPECT_FALSE(platform::FileExists("ThirteenChar2")) << "two generations only";
}

TEST_F(ClientLogTest, NoRotationBelowTheMinimumSize) {
    log.Open("small.log", 999, 10, 0, 4);
    for (int i = 0; i < 30; ++i) {
        log.LogLine(1, "%s", std::string(100, 'c').c_str());
    }
    EXPECT_FALSE(platform::FileExists("small.lo0"));
    EXPECT_GT(platform::FileSize("small.log"), 3000);
}

TEST_F(ClientLogTest, ClosesTheFileAfterAQuietSpellAndReopensItOnTheNextLine) {
    log.SetCloseDelayMs(30);
    log.Open("LGXClient.log", 10240000, 10, ClientLog::kMilliseconds | ClientLog::kClosingThread, 4);
    log.LogLine(1, "one");
    EXPECT_TRUE(log.IsFileOpen());
    ASSERT_TRUE(client_test::WaitUntil([&] { return !log.IsFileOpen(); }));
    // Another program may now move the file away; the next line makes a new one.
    ASSERT_TRUE(platform::RenameFile("LGXClient.log", "moved.log"));
    log.LogLine(1, "two");
    EXPECT_TRUE(Contains(ReadText("moved.log"), "one"));
    EXPECT_TRUE(Contains(ReadText("LGXClient.log"), "two"));
    EXPECT_FALSE(Contains(ReadText("LGXClient.log"), "one"));
}

TEST_F(ClientLogTest, WithoutTheClosingOptionTheFileStaysOpen) {
    log.SetCloseDelayMs(10);
    log.Open("LGXClient.log", 0, 0, ClientLog::kMilliseconds, 4);
    log.LogLine(1, "one");
    std::this_thread::sleep_for(std::chrono::milliseconds(60));
    EXPECT_TRUE(log.IsFileOpen());
}

TEST_F(ClientLogTest, ANewFileNameTakesTheNextLine) {
    log.Open("first.log", 0, 0, 0, 4);
    log.LogLine(1, "to the first");
    log.SetFileName("second.log");
    log.LogLine(1, "to the second");
    EXPECT_TRUE(Contains(ReadText("first.log"), "to the first"));
    EXPECT_FALSE(Contains(ReadText("first.log"), "to the second"));
    EXPECT_TRUE(Contains(ReadText("second.log"), "to the second"));
}

TEST_F(ClientLogTest, LinesFromManyThreadsStayWhole) {
    log.Open("LGXClient.log", 0, 0, ClientLog::kMilliseconds | ClientLog::kClosingThread, 4);
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t) {
        threads.emplace_back([this, t] {
            for (int i = 0; i < 200; ++i) {
                log.LogLine(1, "thread %d line %03d %s", t, i, std::string(50, static_cast<char>('a' + t)).c_str());
            }
        });
    }
    for (std::thread& thread : threads) {
        thread.join();
    }
    const std::string content = ReadText("LGXClient.log");
    size_t lines = 0;
    for (size_t at = 0; (at = content.find("\r\n", at)) != std::string::npos; at += 2) {
        ++lines;
    }
    EXPECT_EQ(lines, 800u);
    for (int t = 0; t < 4; ++t) {
        const std::string run(50, static_cast<char>('a' + t));
        EXPECT_TRUE(Contains(content, text::Format("thread %d line 199 ", t) + run + "\r\n"));
    }
}

}  // namespace
