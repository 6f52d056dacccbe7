#include "service/CCheckLedger.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <vector>

#include "log/CLogFile.h"
#include "platform/FileSystem.h"
#include "platform/TempFolder.h"

namespace {

size_t Occurrences(const std::string& text, const std::string& part) {
    size_t count = 0;
    for (size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) {
        ++count;
    }
    return count;
}

// A journal that refuses its records keeps the settled record it missed, tells the refusal once,
// and writes the record, telling the device, only once the file can be written again.
TEST(CheckLedgerTest, ASettledRecordTheJournalRefusedIsWrittenWhenItIsMended) {
    platform::TempFolder temp;
    CLogFile log;
    ASSERT_TRUE(log.Open(temp.Path() + "ledger.log", true));
    CCheckLedger ledger(log);
    std::string error;
    ASSERT_TRUE(ledger.Open(temp.Path(), error)) << error;
    std::vector<std::string> told;
    ledger.SetSettledHandler([&told](const std::string& printer, const std::string& key, const CFiscalCheck& check) {
        told.push_back(printer + " " + key + " " + check.checkNumber);
    });
    CFiscalCheck check;
    check.checkNumber = "77";
    ASSERT_TRUE(ledger.Sending("k", "2", check));

    // The file becomes a folder: nothing can be appended to it, nor can it be replaced.
    const std::string path = ledger.Outcomes().Path();
    ASSERT_TRUE(platform::RemoveFile(path));
    ASSERT_TRUE(platform::MakeDirectories(path + "/in-the-way"));
    EXPECT_FALSE(ledger.Settle("k"));
    EXPECT_FALSE(ledger.Sending("other", "2", check));
    EXPECT_TRUE(ledger.Broken());
    EXPECT_FALSE(ledger.Mend());
    EXPECT_TRUE(told.empty());
    EXPECT_NE(ledger.Outcomes().Find("k", 0), nullptr);

    ASSERT_TRUE(std::filesystem::remove_all(path) > 0);
    EXPECT_TRUE(ledger.Mend());
    EXPECT_FALSE(ledger.Broken());
    EXPECT_EQ(told, std::vector<std::string>{"2 k 77"});
    EXPECT_EQ(ledger.Outcomes().Find("k", 0), nullptr);
    EXPECT_TRUE(ledger.Mend());
    EXPECT_EQ(told.size(), 1u);

    log.Close();
    std::string text;
    ASSERT_TRUE(platform::ReadFile(temp.Path() + "ledger.log", text));
    EXPECT_EQ(Occurrences(text, "refused the record"), 1u);
    EXPECT_NE(text.find("refused the record settled k: nothing is sent"), std::string::npos);
    EXPECT_EQ(Occurrences(text, "still cannot be rewritten"), 1u);
    EXPECT_EQ(Occurrences(text, path + " can be written again"), 1u);
}

}  // namespace
