#include "service/COutcomeJournal.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>

#include "platform/FileSystem.h"
#include "platform/TempFolder.h"
#include "platform/Text.h"
#include "tests/support/platform/ManualClock.h"

namespace {

struct_posting Line(int trxNo, double amount, const std::string& code) {
    struct_posting p;
    p.trx_no = trxNo;
    p.trx_code = 9000;
    p.trx_amount = amount;
    p.print_code = code;
    p.pay_kind = 0;
    p.fisc_status = "N";
    p.bill_no = 800001;
    p.line_type = 19;
    return p;
}

// A check with every part the status writes and the journal read, texts included that would
// break a line-based file.
CFiscalCheck Registered() {
    CFiscalCheck check;
    check.statusCode = kPaymentCheck;
    check.checkMode = 7;
    check.documentKind = 4;
    check.checkNumber = "800001";
    check.receiptNumber = "7001";
    check.folioNumber = "F\t1";
    check.reservationId = "300";
    check.station = "FO1\\x";
    check.printerName = "2";
    check.printerId = "SIM2";
    check.shiftNumber = "12";
    check.fiscalNumber = "345";
    check.printedFileName = "2_800001_143_101500";
    check.billDate = "2026-03-14T10:15:00";
    check.paymentsTotal = 150.25;
    check.companyExtra = "line\nbreak";
    check.companyName = "ACME";
    check.SetField(20, "O'Brien");  // kept with the apostrophe doubled, as SetField keeps it
    check.payments = {Line(50000007, 100.25, "1|2"), Line(50000008, 50, "3")};
    check.removedLines = {Line(50000009, -5, "4")};
    return check;
}

TEST(OutcomeJournalTest, ACheckComesBackFromItsRecordAsTheStatusWritesNeedIt) {
    platform::TempFolder temp;
    std::string error;
    {
        COutcomeJournal journal;
        ASSERT_TRUE(journal.Open(temp.Path(), error)) << error;
        ASSERT_TRUE(journal.Outcome("2_800001_143_101500", "2", Registered()));
    }
    COutcomeJournal again;
    ASSERT_TRUE(again.Open(temp.Path(), error)) << error;
    const COutcomeJournal::Entry* entry = again.Find("2_800001_143_101500", 0);
    ASSERT_NE(entry, nullptr);
    EXPECT_EQ(entry->state, COutcomeJournal::State::Outcome);
    EXPECT_EQ(entry->printer, "2");
    CFiscalCheck c = entry->Check();
    CFiscalCheck expected = Registered();
    EXPECT_EQ(c.statusCode, kPaymentCheck);
    EXPECT_EQ(c.documentKind, 4);
    EXPECT_EQ(c.checkNumber, expected.checkNumber);
    EXPECT_EQ(c.folioNumber, "F\t1");
    EXPECT_EQ(c.station, "FO1\\x");
    EXPECT_EQ(c.fiscalNumber, "345");
    EXPECT_EQ(c.printedFileName, expected.printedFileName);
    EXPECT_EQ(c.GetField(17), "line\nbreak");
    EXPECT_EQ(c.GetField(21), "ACME");
    EXPECT_EQ(c.GetField(20), expected.GetField(20)) << "an apostrophe is doubled once, not at every reading";
    EXPECT_DOUBLE_EQ(c.paymentsTotal, 150.25);
    ASSERT_EQ(c.payments.size(), 2u);
    EXPECT_EQ(c.payments[0].trx_no, 50000007);
    EXPECT_DOUBLE_EQ(c.payments[0].trx_amount, 100.25);
    EXPECT_EQ(c.payments[1].print_code, "3");
    EXPECT_EQ(c.payments[0].fisc_status, "N");
    EXPECT_EQ(c.payments[0].bill_no, 800001);
    ASSERT_EQ(c.removedLines.size(), 1u);
    EXPECT_EQ(c.removedLines[0].trx_no, 50000009);
    // Found by its first transaction as well (a check found again without its name).
    EXPECT_EQ(again.Find("other", 50000007), entry);
    EXPECT_EQ(again.Find("other", 50000008), nullptr);
}

TEST(OutcomeJournalTest, TheLastRecordOfAKeyIsItsStateAndOnlyPendingKeysSurviveAStart) {
    platform::ManualClock clock;
    platform::ScopedClock scoped(clock);
    platform::TempFolder temp;
    std::string error;
    COutcomeJournal journal;
    ASSERT_TRUE(journal.Open(temp.Path(), error)) << error;
    CFiscalCheck check = Registered();
    ASSERT_TRUE(journal.Sending("a", "1", check));
    ASSERT_TRUE(journal.InDoubt("a", AnswerKind::Cut));
    ASSERT_TRUE(journal.Sending("b", "2", check));
    ASSERT_TRUE(journal.Settled("b"));
    ASSERT_TRUE(journal.Sending("c", "1", check));
    ASSERT_TRUE(journal.Outcome("c", "1", check));
    ASSERT_TRUE(journal.Sending("d", "2", check));
    // A crash in the middle of writing a record leaves a piece of a line.
    ASSERT_TRUE(platform::AppendToFile(journal.Path(), "sending\tke", false));

    // A reader beside the service sees the same and changes nothing.
    std::string before;
    ASSERT_TRUE(platform::ReadFile(journal.Path(), before));
    COutcomeJournal reader;
    ASSERT_TRUE(reader.Read(temp.Path(), error)) << error;
    EXPECT_EQ(reader.Entries().size(), 3u);
    std::string after;
    ASSERT_TRUE(platform::ReadFile(journal.Path(), after));
    EXPECT_EQ(after, before);

    COutcomeJournal again;
    ASSERT_TRUE(again.Open(temp.Path(), error)) << error;
    ASSERT_EQ(again.Entries().size(), 3u);
    EXPECT_EQ(again.Find("a", 0)->state, COutcomeJournal::State::InDoubt);
    EXPECT_EQ(again.Find("a", 0)->answer, AnswerKind::Cut);
    EXPECT_EQ(again.Find("a", 0)->Check().printedFileName, check.printedFileName);
    EXPECT_EQ(again.Find("b", 0), nullptr);
    EXPECT_EQ(again.Find("c", 0)->state, COutcomeJournal::State::Outcome);
    EXPECT_EQ(again.Find("d", 0)->state, COutcomeJournal::State::Sending);
    EXPECT_EQ(again.KeysIn(COutcomeJournal::State::Outcome), std::vector<std::string>{"c"});
    EXPECT_EQ(again.Find("d", 0)->time, "01.01.2026 10:00:00");
    // Rewritten with one record per pending key, readable line by line.
    std::string content;
    ASSERT_TRUE(platform::ReadFile(again.Path(), content));
    std::vector<std::string> lines = text::Split(content, '\n');
    ASSERT_EQ(lines.size(), 4u);  // three records and the end of the last line
    EXPECT_TRUE(text::StartsWith(lines[0],
                                 "doubt\tkey=a\ttime=01.01.2026 10:00:00\tprinter=1\ttrx=50000007\t"
                                 "answer=cut\tcheck=800001\t"))
        << lines[0];
    EXPECT_TRUE(text::StartsWith(lines[1], "outcome\tkey=c\t")) << lines[1];
    EXPECT_NE(lines[1].find("\tfiscal=345\t"), std::string::npos);
    EXPECT_TRUE(text::StartsWith(lines[2], "sending\tkey=d\t")) << lines[2];
}

TEST(OutcomeJournalTest, SettledRecordsAreDroppedOnceTheFileHasGrownAndPendingOnesKept) {
    platform::TempFolder temp;
    std::string error;
    COutcomeJournal journal;
    ASSERT_TRUE(journal.Open(temp.Path(), error)) << error;
    CFiscalCheck check = Registered();
    ASSERT_TRUE(journal.Sending("pending", "1", check));
    ASSERT_TRUE(journal.InDoubt("pending", AnswerKind::TimedOut));
    const int64_t record = platform::FileSize(journal.Path()) / 2;
    // A service that runs for months: the file never grows far beyond the bound.
    int64_t largest = 0;
    for (int i = 0; i < 400; ++i) {
        std::string key = "k" + std::to_string(i);
        ASSERT_TRUE(journal.Sending(key, "1", check));
        ASSERT_TRUE(journal.Settled(key));
        largest = std::max(largest, platform::FileSize(journal.Path()));
    }
    EXPECT_GT(400 * 2 * record, 2 * COutcomeJournal::kLongestFile);
    EXPECT_LE(largest, COutcomeJournal::kLongestFile + 2 * record);
    // What is pending survives every compaction, with its state.
    COutcomeJournal reader;
    ASSERT_TRUE(reader.Read(temp.Path(), error)) << error;
    ASSERT_EQ(reader.Entries().size(), 1u);
    EXPECT_EQ(reader.Find("pending", 0)->state, COutcomeJournal::State::InDoubt);
    EXPECT_EQ(reader.Find("pending", 0)->key, "pending");
    // A small file is left as it is.
    ASSERT_TRUE(journal.Settled("pending"));
    ASSERT_TRUE(journal.Compact());
    ASSERT_TRUE(journal.Sending("a", "1", check));
    ASSERT_TRUE(journal.Settled("a"));
    EXPECT_GT(platform::FileSize(journal.Path()), record);
}

TEST(OutcomeJournalTest, ARecordTheFileRefusesLeavesTheKeyAsItWas) {
    platform::TempFolder temp;
    std::string error;
    COutcomeJournal journal;
    ASSERT_TRUE(journal.Open(temp.Path(), error)) << error;
    CFiscalCheck check = Registered();
    ASSERT_TRUE(journal.Sending("a", "1", check));
    ASSERT_TRUE(journal.Outcome("b", "1", check));
    // The file becomes a folder: nothing can be appended to it.
    ASSERT_TRUE(platform::RemoveFile(journal.Path()));
    ASSERT_TRUE(platform::MakeDirectories(journal.Path()));
    EXPECT_FALSE(journal.Settled("a"));
    EXPECT_FALSE(journal.Settled("b"));
    EXPECT_FALSE(journal.InDoubt("a", AnswerKind::Cut));
    EXPECT_FALSE(journal.Sending("c", "1", check));
    ASSERT_EQ(journal.Entries().size(), 2u);
    EXPECT_EQ(journal.Find("a", 0)->state, COutcomeJournal::State::Sending);
    EXPECT_EQ(journal.Find("b", 0)->state, COutcomeJournal::State::Outcome);
    EXPECT_EQ(journal.Find("c", 0), nullptr);
    // Writable again: the state in memory goes to the file whole, and the settled records follow.
    ASSERT_TRUE(std::filesystem::remove(journal.Path()));
    ASSERT_TRUE(journal.Compact());
    ASSERT_TRUE(journal.Settled("a"));
    COutcomeJournal reader;
    ASSERT_TRUE(reader.Read(temp.Path(), error)) << error;
    EXPECT_EQ(reader.KeysIn(COutcomeJournal::State::Outcome), std::vector<std::string>{"b"});
    EXPECT_EQ(reader.Entries().size(), 1u);
}

TEST(OutcomeJournalTest, AFolderThatCannotBeWrittenFailsTheOpen) {
    COutcomeJournal journal;
    std::string error;
    EXPECT_FALSE(journal.Open("/proc/no-such-folder/", error));
    EXPECT_NE(error.find("fisc_outcomes.log"), std::string::npos);
}

}  // namespace
