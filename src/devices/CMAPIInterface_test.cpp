#include "devices/CMAPIInterface.h"

#include <gtest/gtest.h>

#include "MapiSim.h"
#include "tests/support/devices/DeviceTestSupport.h"

namespace {


// A bill of one room night, paid in cash.
CFiscalCheck Bill(const std::string& number) {
    CFiscalCheck check;
    check.checkNumber = number;
    check.checkMode = 9;
    check.statusCode = kBillCheck;
    struct_posting night;
    night.trx_code = 1000;
    night.description = "Room night";
    night.trx_amount = 100;
    night.price_per_unit = 100;
    check.postings = {night};
    struct_posting cash;
    cash.trx_no = 70;
    cash.trx_amount = 100;
    check.payments = {cash};
    check.paymentsTotal = 100;
    check.cashTotal = 100;
    return check;
}

class MAPIInterfaceTest : public device_test::TempFolderTest {
protected:
    void SetUp() override {
        TempFolderTest::SetUp();
        configuration.values["//printer_ini/district_code"] = "01";
        configuration.waitAnswer = 2000;
        StartService();
    }
    void TearDown() override {
        service->Stop();
        TempFolderTest::TearDown();
    }
    // A fresh tax service, and the device pointed at it.
    void StartService() {
        if (service) {
            service->Stop();
        }
        service = std::make_unique<MapiSim>(MapiSim::Options{});
        std::string error;
        ASSERT_TRUE(service->Start(error)) << error;
        Connect(service->Port());
    }
    void Connect(int port) {
        device.Configure(configuration);
        device.SetLog(&log);
        device.checkLogger.SetBaseFolder(folder + "/");
        ASSERT_TRUE(device.Connect(device_test::Printer("1", "127.0.0.1", port)));
    }
    void SetFault(const std::string& line) { service->SetFault(Fault(line)); }
    // Sends the check as the worker does, told its exchange key, and when journalled tells the
    // device its end (a registration, or a refusal: what the worker settles).
    bool Send(CFiscalCheck& check, bool inDoubt = false) {
        std::string key = ExchangeKey(check);
        device.SetExchange(key, inDoubt);
        bool registered = device.PrintCheck(check, false);
        AnswerKind answer = device.LastAnswer();
        if (answer == AnswerKind::Success || answer == AnswerKind::DeviceError) {
            device.ExchangeSettled(key, check);
        }
        return registered;
    }
    std::string Stored() { return temp.Read("seq.txt"); }
    std::string Held() { return temp.Read("seq_sent.txt"); }
    // The bill numbers of the sales the service received, in order.
    std::vector<std::string> SentNumbers() {
        std::vector<std::string> numbers;
        for (const std::string& command : service->Commands()) {
            TaxBill bill;
            std::string error;
            if (TaxBill::Parse(command, bill, error) && !bill.isReturn) {
                numbers.push_back(bill.sequence);
            }
        }
        return numbers;
    }

    device_test::FakeConfiguration configuration;
    std::unique_ptr<MapiSim> service;
    MapiSim& sim() { return *service; }
    CMAPIInterface device;
};

TEST_F(MAPIInterfaceTest, ASaleIsRegisteredAndTheReplysValuesGoIntoTheCheckButNotIntoTheLog) {
    CFiscalCheck check = Bill("B1");
    ASSERT_TRUE(device.PrintCheck(check, false)) << device.GetLastError();
    EXPECT_EQ(device.LastAnswer(), AnswerKind::Success);
    ASSERT_EQ(sim().Registrations().size(), 1u);
    MapiSim::Registration registered = sim().Registrations()[0];
    EXPECT_EQ(registered.bill.district, "01");
    EXPECT_EQ(registered.bill.printer, "1");
    EXPECT_EQ(registered.bill.sequence, "000001");
    EXPECT_EQ(check.fiscalNumber, registered.fiscalNumber);
    EXPECT_EQ(check.shiftNumber, registered.lottery);
    EXPECT_EQ(check.printerId, registered.qrData);
    EXPECT_EQ(check.printedFileName, registered.title);

    std::string logged = LogText();
    EXPECT_EQ(logged.find(registered.lottery), std::string::npos);
    EXPECT_EQ(logged.find(registered.qrData), std::string::npos);
    EXPECT_NE(logged.find("XXXXXXXXXX#YYYYYYYYYY#" + registered.title + "&"), std::string::npos);
    EXPECT_NE(logged.find("Start check:"), std::string::npos);
    EXPECT_NE(logged.find(registered.command), std::string::npos);
    EXPECT_NE(logged.find("success"), std::string::npos);
    EXPECT_NE(logged.find("Disconnect"), std::string::npos);
    // Without a sequence file the first bill is 000001 and the file holds the next one.
    EXPECT_NE(logged.find("Couldn't open sequence file: " + Path("seq.txt") + " (2)  "), std::string::npos);
    EXPECT_EQ(Stored(), "2");
    // Held until the worker has journalled the registration.
    EXPECT_EQ(Held(), "1/B1/70\t1\n");
    device.ExchangeSettled("B1/70", check);
    EXPECT_EQ(Held(), "");

    CFiscalCheck next = Bill("B2");
    ASSERT_TRUE(Send(next));
    EXPECT_EQ(SentNumbers(), (std::vector<std::string>{"000001", "000002"}));
    EXPECT_EQ(Stored(), "3");
}

TEST_F(MAPIInterfaceTest, TheSequenceRunsToTheLastNumberAndStartsAgainAtOne) {
    struct Case {
        std::string file;
        std::string sent, stored;
    } cases[] = {
        {"999999", "999999", "1000000"}, {"1000000", "000001", "2"}, {"41", "000041", "42"},
        {"0", "000001", "2"},            {"-5", "000001", "2"},       {"junk", "000001", "2"},
        {"12345678901234", "000001", "2"},
    };
    int bill = 0;
    for (const Case& c : cases) {
        temp.Write("seq.txt", c.file);
        CFiscalCheck check = Bill(std::to_string(++bill));
        ASSERT_TRUE(Send(check)) << c.file << ": " << device.GetLastError();
        EXPECT_EQ(SentNumbers().back(), c.sent) << c.file;
        EXPECT_EQ(Stored(), c.stored) << c.file;
    }
}

TEST_F(MAPIInterfaceTest, EveryFailureLeavesItsTextAndTellsWhetherTheServiceMayHaveTheBill) {
    struct Case {
        std::string fault;
        AnswerKind answer;
        std::string error;
        bool block;
        size_t registered;
    } cases[] = {
        // Registered too, but only once the answer time is over.
        {"delay ms=2600 count=1", AnswerKind::TimedOut, "Waiting time is up. Fiscal printer 1 not available.", false, 0},
        // Only a service that cannot be reached blocks payments in the PMS.
        {"cut bytes=6 count=1", AnswerKind::Cut, "Fiscal printer connect cut off. Try again.", false, 1},
        {"close count=1", AnswerKind::Cut, "Fiscal printer connect cut off. Try again.", false, 0},
        {"garbage bytes=30 count=1", AnswerKind::Cut, "", false, 1},
        {"error code=E42 count=1 text=Register is blocked&", AnswerKind::DeviceError, "E42 Register is blocked", false, 0},
        // Bytes that never end: the bound, not the answer time, ends the wait.
        {"endless count=1", AnswerKind::Cut, CAnswerReader::TooLongText(), false, 0},
    };
    int bill = 0;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.fault);
        StartService();
        SetFault(c.fault);
        CFiscalCheck check = Bill(std::to_string(++bill));
        EXPECT_FALSE(Send(check));
        EXPECT_EQ(device.LastAnswer(), c.answer);
        if (!c.error.empty()) {
            EXPECT_EQ(device.GetLastError(), c.error);
        }
        EXPECT_EQ(device.blockOnFailure, c.block);
        EXPECT_EQ(sim().Registrations().size(), c.registered);
        EXPECT_TRUE(check.fiscalNumber.empty());
        std::string number = SentNumbers().back();

        // The same check again: an unanswered bill goes with its number, a refused one gets a
        // new number; either way the service holds it once.
        ASSERT_TRUE(Send(check, IsInDoubt(c.answer))) << device.GetLastError();
        std::string again = SentNumbers().back();
        EXPECT_EQ(again == number, IsInDoubt(c.answer)) << number << " then " << again;
        EXPECT_EQ(sim().Registrations().size(), 1u);
        EXPECT_EQ(check.fiscalNumber, sim().Registrations()[0].fiscalNumber);
        EXPECT_EQ(Held(), "");
    }
    device_test::ExpectBoundedAnswer(LogText());
}

TEST_F(MAPIInterfaceTest, ANumberHeldForACheckInDoubtIsNeverGivenToAnother) {
    SetFault("close count=1");
    CFiscalCheck first = Bill("B1");
    EXPECT_FALSE(device.PrintCheck(first, false));
    EXPECT_EQ(Held(), "1/B1/70\t1\n");
    // In doubt, a sale goes again with its number; one that holds none never went out.
    EXPECT_TRUE(device.CanRepeat(first));
    EXPECT_TRUE(device.CanRepeat(Bill("B9")));
    // The file that holds the next number went back to 1 (restored from an old copy, say).
    temp.Write("seq.txt", "1");
    CFiscalCheck second = Bill("B2");
    ASSERT_TRUE(device.PrintCheck(second, false));
    ASSERT_TRUE(device.PrintCheck(first, false));
    EXPECT_EQ(SentNumbers(), (std::vector<std::string>{"000001", "000002", "000001"}));
    EXPECT_EQ(sim().Registrations().size(), 2u);
}

// The service answered, and the worker died before it journalled the answer: the number stays
// held, so the check, in doubt after the restart, goes with it and the service knows the bill.
TEST_F(MAPIInterfaceTest, AnAnswerNotYetJournalledKeepsTheNumberForTheRepeat) {
    CFiscalCheck check = Bill("B1");
    device.SetExchange("B1/70", false);
    ASSERT_TRUE(device.PrintCheck(check, false));
    CMAPIInterface restarted;
    restarted.Configure(configuration);
    restarted.SetLog(&log);
    restarted.checkLogger.SetBaseFolder(folder + "/");
    ASSERT_TRUE(restarted.Connect(device.control));
    CFiscalCheck again = Bill("B1");
    restarted.SetExchange("B1/70", true);
    ASSERT_TRUE(restarted.PrintCheck(again, false)) << restarted.GetLastError();
    EXPECT_EQ(SentNumbers(), (std::vector<std::string>{"000001", "000001"}));
    EXPECT_EQ(sim().Registrations().size(), 1u);
    EXPECT_EQ(sim().Repeats(), 1u);
    EXPECT_EQ(again.fiscalNumber, check.fiscalNumber);
    restarted.ExchangeSettled("B1/70", again);
    EXPECT_EQ(Held(), "");
}

TEST_F(MAPIInterfaceTest, ACrashBetweenHoldingANumberAndStoringTheNextNeitherReusesNorSkipsIt) {
    // What the files hold after such a crash: the number held for B1, the file not yet past it.
    temp.Write("seq.txt", "7");
    temp.Write("seq_sent.txt", "1/B1/70\t7\n");
    CFiscalCheck other = Bill("B2");
    ASSERT_TRUE(device.PrintCheck(other, false));
    CFiscalCheck crashed = Bill("B1");
    ASSERT_TRUE(device.PrintCheck(crashed, false));
    EXPECT_EQ(SentNumbers(), (std::vector<std::string>{"000008", "000007"}));
    EXPECT_EQ(Stored(), "9");

    // Alone, the check that was sent first stores the number past its own before it goes again.
    temp.Write("seq.txt", "3");
    temp.Write("seq_sent.txt", "1/B3/70\t3\n");
    CFiscalCheck alone = Bill("B3");
    ASSERT_TRUE(device.PrintCheck(alone, false));
    EXPECT_EQ(SentNumbers().back(), "000003");
    EXPECT_EQ(Stored(), "4");
    EXPECT_TRUE(LogHas("Bill 000003 of check 1/B3/70 went out without an answer: it goes again"));
}

TEST_F(MAPIInterfaceTest, NoSaleGoesOutWhenItsNumberCannotBeStored) {
    const std::string why = " (" + std::to_string(platform::kFolderInTheWayError) + ")  ";
    temp.Write("seq.txt", "5");
    ASSERT_TRUE(platform::MakeDirectories(Path("seq.txt.new")));
    CFiscalCheck check = Bill("B1");
    EXPECT_FALSE(device.PrintCheck(check, false));
    EXPECT_EQ(device.LastAnswer(), AnswerKind::NotDelivered);
    EXPECT_EQ(device.GetLastError(), "Couldn't write to sequence file: " + Path("seq.txt") + why);
    EXPECT_TRUE(sim().Commands().empty());
    EXPECT_EQ(Held(), "");

    // A sequence file that is there but cannot be read: starting again at 1 could reuse numbers.
    ASSERT_TRUE(platform::RemoveFile(Path("seq.txt")));
    ASSERT_TRUE(platform::MakeDirectories(Path("seq.txt")));
    EXPECT_FALSE(device.PrintCheck(check, false));
    EXPECT_EQ(device.GetLastError(), "Couldn't open sequence file: " + Path("seq.txt") + why);
    EXPECT_TRUE(sim().Commands().empty());
}

TEST_F(MAPIInterfaceTest, AnUnreachableServiceBlocksPaymentsAndTakesNoNumber) {
    service->Stop();
    CFiscalCheck check = Bill("B1");
    EXPECT_FALSE(device.PrintCheck(check, false));
    EXPECT_EQ(device.LastAnswer(), AnswerKind::NotDelivered);
    EXPECT_TRUE(device.blockOnFailure);
    EXPECT_TRUE(text::StartsWith(device.GetLastError(), "Can't connect to 127.0.0.1 : "));
    EXPECT_FALSE(platform::FileExists(Path("seq.txt")));
}

TEST_F(MAPIInterfaceTest, AfterAStopRequestNothingGoesOutAndNoNumberIsTaken) {
    device.RequestStop();
    CFiscalCheck check = Bill("B1");
    EXPECT_FALSE(device.PrintCheck(check, false));
    EXPECT_EQ(device.LastAnswer(), AnswerKind::NotDelivered);
    EXPECT_TRUE(sim().Commands().empty());
    EXPECT_FALSE(platform::FileExists(Path("seq.txt")));
}

// Like every command a return takes the register's next bill number, although its text names
// only the sale.
TEST_F(MAPIInterfaceTest, AReturnNamesTheSaleAndTakesTheNextBillNumber) {
    CFiscalCheck sale = Bill("B1");
    ASSERT_TRUE(Send(sale));
    CFiscalCheck refund = Bill("B2");
    refund.statusCode = kBillRefund;
    refund.groupName = sale.fiscalNumber;
    refund.printedFileName = sale.printedFileName;
    ASSERT_TRUE(Send(refund)) << device.GetLastError();
    EXPECT_EQ(sim().Commands().back(), "R#" + sale.fiscalNumber + "#" + sale.printedFileName + "#&");
    ASSERT_EQ(sim().Registrations().size(), 2u);
    EXPECT_EQ(refund.fiscalNumber, sim().Registrations()[1].fiscalNumber);
    EXPECT_TRUE(device.CanRepeat(refund));
    EXPECT_EQ(Stored(), "3");
    EXPECT_EQ(Held(), "");

    // A return of a sale the service does not know is refused.
    refund.groupName = "42";
    EXPECT_FALSE(device.PrintCheck(refund, false));
    EXPECT_EQ(device.LastAnswer(), AnswerKind::DeviceError);
    EXPECT_EQ(device.GetLastError(), "4 Bill 42 not found");
}

TEST_F(MAPIInterfaceTest, SavingTheDescriptionSendsNothing) {
    CFiscalCheck check = Bill("B7");
    EXPECT_TRUE(device.PrintCheck(check, true));
    EXPECT_TRUE(sim().Commands().empty());
    std::vector<std::string> saved = platform::ListFolder(Path("ST_1"));
    ASSERT_EQ(saved.size(), 1u);
    EXPECT_TRUE(text::StartsWith(saved[0], "CheckB7_"));
    EXPECT_FALSE(device.PrintSlip(device.control));
    EXPECT_FALSE(device.ShowMessage(device.control, "Paper"));

    CMAPICommand command("01", "1", 1);
    EXPECT_EQ(device.SendAndWait(command, "", check), AnswerKind::NotDelivered);
    EXPECT_TRUE(LogHas("Empty command"));
}

}  // namespace
