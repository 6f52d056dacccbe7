#include "log/CLogFile.h"

#include <gtest/gtest.h>

#include <regex>
#include <thread>

#include "platform/CodePage.h"
#include "platform/FileSystem.h"
#include "platform/TempFolder.h"
#include "platform/Text.h"
#include "tests/support/platform/ManualClock.h"

namespace {

std::vector<std::string> Lines(const std::string& path) {
    std::string content;
    platform::ReadFile(path, content);
    std::vector<std::string> lines = text::Split(content, '\n');
    if (!lines.empty() && lines.back().empty()) {
        lines.pop_back();
    }
    return lines;
}

class LogFileTest : public ::testing::Test {
protected:
    void SetUp() override { log.SetEcho(false); }
    platform::TempFolder temp;
    platform::ManualClock clock{1781002200};  // 09.06.2026 10:50:00 UTC
    platform::ScopedClock scoped{clock};
    CLogFile log;
};

}  // namespace

TEST_F(LogFileTest, PlainLineHasTimeStampAndFiveBlanks) {
    ASSERT_TRUE(log.Open(temp.File("qelfiscal.log"), false));
    log.WriteText("Start service");
    std::vector<std::string> lines = Lines(temp.File("qelfiscal.log"));
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_TRUE(std::regex_match(lines[0], std::regex(R"(\d\d\.\d\d\.\d{4} \d\d:\d\d:\d\d     \*)")));
    platform::LocalTime now = clock.Now();
    std::string stamp = text::Format("%02d.%02d.%04d %02d:%02d:%02d", now.day, now.month, now.year, now.hour,
                                     now.minute, now.second);
    EXPECT_EQ(lines[1], stamp + "     Start service");
}

TEST_F(LogFileTest, DirectionLengthAndHexForm) {
    ASSERT_TRUE(log.Open(temp.File("x.log"), false));
    log.WriteLine("~AB", 3, CLogFile::Outgoing, false);
    log.WriteLine("answer", 0, CLogFile::Incoming, false);
    log.WriteLine("\x01\x02", 2, CLogFile::Incoming, true);
    std::vector<std::string> lines = Lines(temp.File("x.log"));
    ASSERT_EQ(lines.size(), 4u);
    EXPECT_EQ(lines[1].substr(21), "--> (3)  0x7e 0x41 0x42 ");
    EXPECT_EQ(lines[2].substr(21), "<-- (6)  answer");
    EXPECT_EQ(lines[3].substr(21), "<-- (2)  0x01 0x02 ");
}

TEST_F(LogFileTest, LongLineIsBrokenAtTheFirstBlankFrom2000) {
    ASSERT_TRUE(log.Open(temp.File("x.log"), false));
    std::string longText = std::string(2100, 'a');
    log.WriteText(longText);
    std::string withBlank = std::string(1990, 'b') + std::string(30, 'c') + " after";
    log.WriteText(withBlank);
    std::vector<std::string> lines = Lines(temp.File("x.log"));
    ASSERT_EQ(lines.size(), 5u);
    // Without a blank at or after 2000 the break goes in at 2000 and no character is lost.
    EXPECT_EQ(lines[1].size(), 2000u);
    EXPECT_EQ(lines[1] + lines[2], lines[1].substr(0, 24) + longText);
    // Otherwise the first blank from 2000 on becomes the break.
    EXPECT_EQ(lines[3].size(), 24u + 2020u);
    EXPECT_EQ(lines[4], "after");
}

TEST_F(LogFileTest, ClosedLogSkipsWritesSilently) {
    ASSERT_FALSE(log.Open(temp.File("no/such/folder/x.log"), false));
    EXPECT_EQ(log.GetErrorText(), "Error open " + temp.File("no/such/folder/x.log"));
    log.WriteText("lost");  // must not crash
    EXPECT_FALSE(log.IsOpen());
}

TEST_F(LogFileTest, RestartAppendsAfterAStarLine) {
    ASSERT_TRUE(log.Open(temp.File("a.log"), false));
    log.WriteText("first");
    log.Close();
    ASSERT_TRUE(log.Open(temp.File("a.log"), false));
    log.WriteText("second");
    std::vector<std::string> lines = Lines(temp.File("a.log"));
    ASSERT_EQ(lines.size(), 5u);
    EXPECT_EQ(lines[1].substr(24), "first");
    EXPECT_EQ(lines[2].substr(24), "*");
    EXPECT_EQ(lines[3].substr(24), "*");
    EXPECT_EQ(lines[4].substr(24), "second");
}

TEST_F(LogFileTest, OpenOfAnOversizedLogRollsItOver) {
    std::string path = temp.File("qelfiscal.log");
    platform::WriteFile(path, std::string(CLogFile::kMaxSize + 1, 'z'));
    ASSERT_TRUE(log.Open(path, false));
    // The copy holds the old content plus the "*" lines of the open and of the close.
    EXPECT_EQ(platform::FileSize(temp.File("qelfiscal.lo0")), CLogFile::kMaxSize + 1 + 2 * 26);
    EXPECT_EQ(platform::FileSize(path), 26);
}

TEST_F(LogFileTest, ExactlyTheLimitIsNotRolledOver) {
    std::string path = temp.File("qelfiscal.log");
    ASSERT_TRUE(log.Open(path, false));
    log.Close();
    // The file holds the open and close "*" lines; pad it to exactly the limit and check.
    std::string content;
    platform::ReadFile(path, content);
    platform::WriteFile(path, content + std::string(CLogFile::kMaxSize - content.size() - 26, 'p'));
    ASSERT_TRUE(log.Open(path, false));  // adds one 26-byte "*" line: exactly the limit
    EXPECT_EQ(platform::FileSize(path), CLogFile::kMaxSize);
    log.CheckSize();
    EXPECT_FALSE(platform::FileExists(temp.File("qelfiscal.lo0")));
    log.WriteText("");  // one more line: above the limit
    log.CheckSize();
    EXPECT_TRUE(platform::FileExists(temp.File("qelfiscal.lo0")));
}

TEST_F(LogFileTest, NumberedCopiesShiftUpAndTheNinthGetsTheEighth) {
    std::string path = temp.File("qelfiscal.log");
    for (int n = 0; n <= 8; ++n) {
        platform::WriteFile(temp.File("qelfiscal.lo" + std::to_string(n)), "copy" + std::to_string(n));
    }
    platform::WriteFile(path, std::string(CLogFile::kMaxSize + 10, 'l'));
    ASSERT_TRUE(log.Open(path, false));
    std::string content;
    platform::ReadFile(temp.File("qelfiscal.lo9"), content);
    EXPECT_EQ(content, "copy8");
    platform::ReadFile(temp.File("qelfiscal.lo1"), content);
    EXPECT_EQ(content, "copy0");
    EXPECT_GT(platform::FileSize(temp.File("qelfiscal.lo0")), CLogFile::kMaxSize);
    EXPECT_LT(platform::FileSize(path), 100);
}

TEST_F(LogFileTest, KeepOldLogsMakesOneDatedCopyPerMinute) {
    std::string path = temp.File("qelfiscal.log");
    log.SetKeepOldLogs(true);
    platform::WriteFile(path, std::string(CLogFile::kMaxSize + 10, 'a'));
    ASSERT_TRUE(log.Open(path, false));
    platform::LocalTime now = clock.Now();
    std::string dated = temp.File(text::Format("qelfiscal%02d%02d%4d%02d%02d.log", now.day, now.month, now.year,
                                               now.hour, now.minute));
    ASSERT_TRUE(platform::FileExists(dated));
    log.Close();
    platform::WriteFile(path, std::string(CLogFile::kMaxSize + 20, 'b'));
    ASSERT_TRUE(log.Open(path, false));
    std::string content;
    platform::ReadFile(dated, content);
    EXPECT_EQ(content[0], 'b');  // the later roll-over of the same minute replaced the copy
    EXPECT_FALSE(platform::FileExists(temp.File("qelfiscal.lo0")));
}

TEST_F(LogFileTest, LinesOfManyThreadsStayWhole) {
    ASSERT_TRUE(log.Open(temp.File("t.log"), false));
    std::vector<std::thread> writers;
    for (int t = 0; t < 4; ++t) {
        writers.emplace_back([this, t] {
            for (int i = 0; i < 200; ++i) {
                log.WriteText(std::string(100, static_cast<char>('a' + t)));
            }
        });
    }
    for (std::thread& w : writers) {
        w.join();
    }
    std::vector<std::string> lines = Lines(temp.File("t.log"));
    ASSERT_EQ(lines.size(), 801u);
    for (size_t i = 1; i < lines.size(); ++i) {
        std::string body = lines[i].substr(24);
        ASSERT_EQ(body, std::string(100, body[0])) << i;
    }
}

TEST_F(LogFileTest, EchoIsUtf8WhileTheFileKeepsTheSiteCodePage) {
    ASSERT_TRUE(log.Open(temp.File("qelfiscal.log"), false));
    log.SetEcho(true);
    std::string message = "Гость: " + platform::Cp1251("Введите номер");
    struct Case {
        const char* codePage;
        std::string shown;
    } cases[] = {{"1251", "Гость: Введите номер"},
                 {"866", "Гость: " + platform::ToUtf8(platform::Cp1251("Введите номер"), "866")}};
    for (const Case& c : cases) {
        log.SetEchoCodePage(c.codePage);
        ::testing::internal::CaptureStdout();
        log.WriteText(message);
        std::string echoed = ::testing::internal::GetCapturedStdout();
        EXPECT_EQ(echoed.substr(echoed.size() - c.shown.size() - 1), c.shown + "\n");
    }
    std::vector<std::string> lines = Lines(temp.File("qelfiscal.log"));
    ASSERT_EQ(lines.size(), 3u);
    EXPECT_EQ(lines[1].substr(lines[1].size() - message.size()), message);
    EXPECT_EQ(lines[2].substr(lines[2].size() - message.size()), message);
}

TEST_F(LogFileTest, ALineOfALastingFaultIsWrittenOnceAWindowAndCounted) {
    ASSERT_TRUE(log.Open(temp.File("fault.log"), false));
    // A fault of 30 minutes whose two lines come every 5 s, and an ordinary line in between.
    std::vector<std::string> times;
    for (int second = 0; second < 30 * 60; second += 5) {
        if (second % 600 == 5) {
            platform::LocalTime now = clock.Now();
            times.push_back(text::Format("%02d:%02d:%02d", now.hour, now.minute, now.second));
        }
        log.WriteRepeating("Executing failure");
        log.WriteRepeating("database is locked");
        log.WriteText("Successful");
        clock.Advance(5000);
    }
    log.Close();
    std::vector<std::string> lines = Lines(temp.File("fault.log"));
    std::vector<std::string> faults;
    size_t ordinary = 0;
    for (const std::string& line : lines) {
        std::string body = line.substr(24);
        if (body == "Successful") {
            ++ordinary;
        } else if (body != "*") {
            faults.push_back(body);
        }
    }
    // Ordinary lines are never counted.
    EXPECT_EQ(ordinary, 360u);
    // Three windows of 10 min: each line once and its count (119 more times in each window).
    std::vector<std::string> expected;
    for (const std::string& since : times) {
        expected.push_back("Executing failure");
        expected.push_back("database is locked");
        expected.push_back(std::string("... repeated 119 times since ") + since + ": Executing failure");
        expected.push_back(std::string("... repeated 119 times since ") + since + ": database is locked");
    }
    EXPECT_EQ(faults, expected);
}

TEST_F(LogFileTest, ALineThatDoesNotComeAgainIsWrittenAgainWhenItDoes) {
    ASSERT_TRUE(log.Open(temp.File("once.log"), false));
    log.WriteRepeating("Status Y of check 1 not written");
    clock.Advance(CLogFile::kRepeatWindowMs);
    log.WriteRepeating("Status Y of check 1 not written");
    // More different lines than are counted at once: each is written.
    for (size_t i = 0; i <= CLogFile::kRepeatingKept; ++i) {
        log.WriteRepeating("line " + std::to_string(i));
    }
    log.WriteRepeating("line 0");
    std::vector<std::string> lines = Lines(temp.File("once.log"));
    ASSERT_EQ(lines.size(), 1 + 2 + CLogFile::kRepeatingKept + 2);
    EXPECT_EQ(lines[1].substr(24), "Status Y of check 1 not written");
    EXPECT_EQ(lines[2].substr(24), "Status Y of check 1 not written");
    // "line 0" gave way to the last new line, so it is written again.
    EXPECT_EQ(lines.back().substr(24), "line 0");
}
