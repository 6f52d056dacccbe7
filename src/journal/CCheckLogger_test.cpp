#include "journal/CCheckLogger.h"

#include <gtest/gtest.h>

#include "check/CFiscalCheck.h"
#include "config/CPrinterControl.h"
#include "log/CLogFile.h"
#include "platform/Environment.h"
#include "platform/FileSystem.h"
#include "platform/TempFolder.h"
#include "platform/Text.h"
#include "tests/support/platform/ManualClock.h"

namespace {

std::time_t At(int day, int month, int year, int hour, int minute, int second) {
    return platform::LocalTime::Of(year, month, day, hour, minute, second).ToEpoch();
}

class CheckLoggerTest : public ::testing::Test {
protected:
    void SetUp() override {
        clock.SetTime(At(7, 12, 2026, 10, 15, 30));
        log.SetEcho(false);
        ASSERT_TRUE(log.Open(folder.Path("qelfiscal.log"), true));
        journal.SetLog(&log);
        journal.SetBaseFolder(folder.Path());
        printer.name = "1";
        check.checkNumber = "4711";
        check.station = "FO1";
    }

    struct_posting Payment(double amount, const std::string& code) {
        struct_posting payment;
        payment.trx_amount = amount;
        payment.print_code = code;
        return payment;
    }

    std::string Journal() { return folder.Read("ST_1/fisc_today.log"); }
    std::string LogText() { return folder.Read("qelfiscal.log"); }

    platform::ManualClock clock;
    platform::ScopedClock scopedClock{clock};
    platform::TempFolder folder;
    CLogFile log;
    CCheckLogger journal;
    CPrinterControl printer;
    CFiscalCheck check;
};

TEST_F(CheckLoggerTest, FirstEntryStartsTheJournalWithTodaysDate) {
    check.payments = {Payment(1500, "1")};
    ASSERT_TRUE(journal.JournalCheck(printer, check));
    EXPECT_EQ(Journal(), "07-12-2026\n10-15-30 Station FO1 Check 4711: 1500.0000 1");
    clock.SetTime(At(7, 12, 2026, 11, 0, 1));
    check.checkNumber = "4712";
    ASSERT_TRUE(journal.JournalCheck(printer, check));
    EXPECT_EQ(Journal(),
              "07-12-2026\n10-15-30 Station FO1 Check 4711: 1500.0000 1\n11-00-01 Station FO1 Check 4712: "
              "1500.0000 1");
}

TEST_F(CheckLoggerTest, ThreePaymentsLoanPickUpAndFiscalNumber) {
    check.payments = {Payment(100, "1"), Payment(20.5, "2"), Payment(-0.25, "3")};
    check.fiscalNumber = "000123";
    check.statusCode = kCashLoan;
    ASSERT_TRUE(journal.JournalCheck(printer, check));
    EXPECT_EQ(
        Journal(),
        "07-12-2026\n10-15-30 Station FO1 Check 4711: 100.0000 1, 20.5000 2, -0.2500 3 Loan  (KPK 000123)");
    check.statusCode = kCashPickup;
    check.fiscalNumber.clear();
    check.payments.resize(1);
    ASSERT_TRUE(journal.JournalCheck(printer, check));
    EXPECT_NE(Journal().find("\n10-15-30 Station FO1 Check 4711: 100.0000 1 PickUp "), std::string::npos);
}

TEST_F(CheckLoggerTest, CheckWithoutPaymentsShowsTheServiceTemplate) {
    ASSERT_TRUE(journal.JournalCheck(printer, check));
    EXPECT_EQ(Journal(), "07-12-2026\n10-15-30 Station FO1 Check 4711: 0.0000 ");
    check.serviceTemplate.trx_amount = 5;
    check.serviceTemplate.print_code = "9";
    ASSERT_TRUE(journal.JournalCheck(printer, check));
    EXPECT_NE(Journal().find("Check 4711: 5.0000 9"), std::string::npos);
}

TEST_F(CheckLoggerTest, MidnightRenamesTheJournalAfterItsFirstLine) {
    check.payments = {Payment(10, "1")};
    clock.SetTime(At(7, 12, 2026, 23, 59, 59));
    ASSERT_TRUE(journal.JournalCheck(printer, check));
    clock.SetTime(At(8, 12, 2026, 0, 0, 5));
    ASSERT_TRUE(journal.JournalCheck(printer, check));
    EXPECT_EQ(folder.Read("ST_1/07-12-2026.log"), "07-12-2026\n23-59-59 Station FO1 Check 4711: 10.0000 1");
    EXPECT_EQ(Journal(), "08-12-2026\n00-00-05 Station FO1 Check 4711: 10.0000 1");
}

TEST_F(CheckLoggerTest, SecondRenameOnTheSameDayAddsTheTime) {
    check.payments = {Payment(10, "1")};
    folder.Write("ST_1/07-12-2026.log", "earlier");
    folder.Write("ST_1/fisc_today.log", "07-12-2026\nold entry");
    clock.SetTime(At(9, 12, 2026, 8, 30, 0));
    ASSERT_TRUE(journal.JournalCheck(printer, check));
    EXPECT_EQ(folder.Read("ST_1/07-12-2026.log"), "earlier");
    EXPECT_EQ(folder.Read("ST_1/07-12-2026_08-30-00.log"), "07-12-2026\nold entry");
    // Once more in the same second: the older renamed journal is not overwritten either.
    folder.Write("ST_1/fisc_today.log", "07-12-2026\nthird");
    ASSERT_TRUE(journal.JournalCheck(printer, check));
    EXPECT_EQ(folder.Read("ST_1/07-12-2026_08-30-00.log"), "07-12-2026\nold entry");
    EXPECT_EQ(folder.Read("ST_1/07-12-2026_08-30-00_1.log"), "07-12-2026\nthird");
}

TEST_F(CheckLoggerTest, FailedRenameKeepsTheEntryInTheOldJournal) {
    check.payments = {Payment(10, "1")};
    // A first line too long for a file name makes the rename fail.
    std::string longLine(300, 'd');
    folder.Write("ST_1/fisc_today.log", longLine);
    EXPECT_FALSE(journal.JournalCheck(printer, check));
    EXPECT_EQ(Journal(), longLine + "\n10-15-30 Station FO1 Check 4711: 10.0000 1");
    EXPECT_NE(LogText().find("Move file failed:\nerror code = "), std::string::npos) << LogText();
    // The system's text of the error it names.
    const std::string& error = journal.GetLastError();
    const size_t code = error.find("error code = ");
    ASSERT_NE(code, std::string::npos) << error;
    const int number = text::ToInt(error.substr(code + 13));
    EXPECT_NE(number, 0) << error;
    EXPECT_NE(error.find("message = " + platform::SystemErrorText(number)), std::string::npos) << error;
}

TEST_F(CheckLoggerTest, StationFolderUsesTheCheckPathOrTheBaseFolder) {
    platform::TempFolder checks;
    printer.checkPath = checks.Path();
    EXPECT_EQ(journal.StationFolder(printer), checks.Path() + "ST_1/");
    EXPECT_TRUE(platform::IsDirectory(checks.Path() + "ST_1"));
    printer.checkPath = checks.Path() + "missing/";
    EXPECT_EQ(journal.StationFolder(printer), folder.Path() + "ST_1/");
    printer.checkPath.clear();
    EXPECT_EQ(journal.StationFolder(printer), folder.Path() + "ST_1/");
}

TEST_F(CheckLoggerTest, StationFolderThatCannotBeCreatedFails) {
    folder.Write("ST_1", "a file in the way");
    EXPECT_EQ(journal.StationFolder(printer), "");
    EXPECT_NE(LogText().find("File " + folder.Path() + "ST_1 error: "), std::string::npos);
    EXPECT_FALSE(journal.JournalCheck(printer, check));
    EXPECT_FALSE(journal.SaveDescription(printer, check));
}

TEST(CheckLoggerBaseTest, BaseFolderStartsAsTheProgramFolder) {
    CCheckLogger logger;
    EXPECT_EQ(logger.GetBaseFolder(), platform::ProgramFolder());
}

TEST_F(CheckLoggerTest, SaveDescriptionWritesTheCheck) {
    check.checkNumber = "  4711 ";
    check.cashierId = "12";
    check.cashierName = "Ivanova";
    check.room = "305";
    struct_posting posting;
    posting.trx_code = 1000;
    posting.description = "Room";
    posting.trx_amount = 3500;
    posting.tax_group = "1";
    check.postings = {posting};
    struct_posting cash = Payment(3000, "1");
    cash.trx_code = 9000;
    cash.description = "Cash";
    struct_posting ignored = Payment(500, "");
    ignored.trx_code = 9300;
    ignored.description = "House";
    ignored.line_type = 8;
    check.payments = {cash, ignored};
    ASSERT_TRUE(journal.SaveDescription(printer, check));
    EXPECT_EQ(folder.Read("ST_1/Check4711_07-12-2026_10-15-30.txt"),
              "Cashier 12 Ivanova\n"
              "Posting 1000: Room = 3500.00 (1)\n"
              "Payment 9000: Cash = 3000.00 \n"
              "Payment 9300: House = 500.00  (cashier 12 Ivanova, room 305)\n");
    EXPECT_NE(LogText().find("Check   4711  saved."), std::string::npos);
}

TEST_F(CheckLoggerTest, SaveDescriptionOfAnEmptyCheckAndAnUnsafeNumber) {
    check.checkNumber = "../x/1";
    ASSERT_TRUE(journal.SaveDescription(printer, check));
    EXPECT_EQ(folder.Read("ST_1/Check.._x_1_07-12-2026_10-15-30.txt"),
              "Cashier  \nNo postings\nNo payments\n");
}

TEST_F(CheckLoggerTest, SaveCheckFileReplacesTheContent) {
    ASSERT_TRUE(journal.SaveCheckFile("A17", "long first content", printer, check));
    ASSERT_TRUE(journal.SaveCheckFile("A17", "short", printer, check));
    EXPECT_EQ(folder.Read("ST_1/A17.ck6"), "short");
    // A payment check without a number of its own is named by its transaction.
    check.checkNumber = " ";
    struct_posting payment;
    payment.trx_no = 50000007;
    check.payments = {payment};
    ASSERT_TRUE(journal.SaveCheckFile("A18", "other", printer, check));
    std::string text = LogText();
    EXPECT_NE(text.find("Check 4711 saved."), std::string::npos);
    EXPECT_NE(text.find("Check of transaction 50000007 saved."), std::string::npos);
    EXPECT_EQ(text.find("Check   saved."), std::string::npos);
    EXPECT_NE(text.find(folder.Path() + "ST_1/A17.ck6"), std::string::npos);
    EXPECT_NE(text.find("short"), std::string::npos);
}

}  // namespace

TEST_F(CheckLoggerTest, LastEntryReadsTheJournalWithoutCreatingIt) {
    std::string date, entry;
    EXPECT_FALSE(journal.LastEntry(printer, date, entry));
    EXPECT_FALSE(platform::IsDirectory(folder.Path("ST_1")));
    check.payments = {Payment(10, "1")};
    ASSERT_TRUE(journal.JournalCheck(printer, check));
    clock.SetTime(At(7, 12, 2026, 18, 2, 3));
    check.checkNumber = "4712";
    ASSERT_TRUE(journal.JournalCheck(printer, check));
    ASSERT_TRUE(journal.LastEntry(printer, date, entry));
    EXPECT_EQ(date, "07-12-2026");
    EXPECT_EQ(entry, "18-02-03 Station FO1 Check 4712: 10.0000 1");
    // A journal started but without an entry yet has no last registration.
    folder.Write("ST_1/fisc_today.log", "08-12-2026\n");
    EXPECT_FALSE(journal.LastEntry(printer, date, entry));
}
