#include "devices/CCzechInterface.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <thread>

#include "CzechRegistrationSim.h"
#include "tests/support/devices/DeviceTestSupport.h"
#include "tests/support/devices/ScriptedPeer.h"

namespace {

using device_test::FakeConfiguration;

struct_posting Posting(int code, double amount, const std::string& tax) {
    struct_posting p;
    p.trx_code = code;
    p.description = "Posting";
    p.trx_amount = amount;
    p.tax_group = tax;
    return p;
}

struct_posting Payment(double amount, const std::string& printCode) {
    struct_posting p = Posting(9000, amount, "");
    p.print_code = printCode;
    return p;
}

// A bill of the Czech hotel: a room night in group 1, a city tax without VAT, paid in cash and
// with a voucher.
CFiscalCheck Bill(const std::string& number = "5001") {
    CFiscalCheck check;
    check.checkMode = 10;
    check.statusCode = kBillCheck;
    check.checkNumber = number;
    check.folioNumber = "77001";
    check.cashierId = "7";
    check.billDate = "2026-03-14T14:00:00+01:00";
    check.postings = {Posting(1000, 121, "1"), Posting(1900, 0.1, "0"), Posting(1901, 0.2, "0")};
    check.payments = {Payment(100, "1"), Payment(21.3, "4")};
    check.postingsTotal = 121.3;
    check.paymentsTotal = 121.3;
    check.taxSums[2] = 100;
    check.taxSums[3] = 21;
    check.taxSums[9] = 5;
    return check;
}

class CzechInterfaceTest : public device_test::TempFolderTest {
protected:
    void SetUp() override {
        TempFolderTest::SetUp();
        configuration.waitAnswer = 3000;
        printer = device_test::Printer("1", "127.0.0.1", 0);
        printer.taxpayerId = "CZ1212121218";
        printer.siteId = "273";
        printer.certFile = "C:\\certs\\eet.p12";
        printer.certPass = "s3cret\"pass";
        printer.checkPath = folder + "/";
    }
    void Start() {
        sim = std::make_unique<CzechRegistrationSim>(CzechRegistrationSim::Options{});
        std::string error;
        ASSERT_TRUE(sim->Start(error)) << error;
        ConnectTo(sim->Port());
    }
    void ConnectTo(int port) {
        printer.deviceSettings.port = port;
        device.Configure(configuration);
        device.SetLog(&log);
        device.checkLogger.SetBaseFolder(folder + "/");
        ASSERT_TRUE(device.Connect(printer));
    }
    void Fault(const std::string& line) { sim->SetFault(device_test::TempFolderTest::Fault(line)); }
    std::vector<std::string> Outcomes() const {
        std::vector<std::string> outcomes;
        for (const auto& r : sim->Registrations()) {
            outcomes.push_back(r.receiptNumber + (r.firstSending ? " first " : " again ") + r.outcome);
        }
        return outcomes;
    }
    // The JSON object of the request the service received last.
    std::string LastRequest() const {
        std::vector<CzechRegistrationSim::Registration> all = sim->Registrations();
        return all.empty() ? "" : all.back().json;
    }

    FakeConfiguration configuration;
    CPrinterControl printer;
    CCzechInterface device;
    std::unique_ptr<CzechRegistrationSim> sim;
};

TEST_F(CzechInterfaceTest, RequestMembersInTheirOrderWithTheSettingsKeptInTheCheck) {
    struct Case {
        const char* name;
        bool verification;
        int saleMode;
        std::string appTaxpayer, certFile, printedFileName;
        std::string json;
        std::string fields;  // 17, 18, 19, 20, 21
    } cases[] = {
        {"every setting", true, 1, "CZ683555118", "C:\\certs\\eet.p12", "",
         R"({"TaxPayerID":"CZ1212121218","AppTaxPayerID":"CZ683555118","SiteID":"273","VerificationFlag":"true",)"
         R"("SaleMode":"1","CertFile":"C:\\certs\\eet.p12","CertPass":"pw","PosID":"7",)"
         R"("ReceiptNumber":"77001/5001","SaleDateTime":"2026-03-14T14:00:00+01:00","TotalAmount":"121.30",)"
         R"("TotalAmountNonVAT":"0.30","TotalBaseVAT1":"100.00","TotalVAT1":"21.00","TotalBaseVAT2":"0.00",)"
         R"("TotalVAT2":"0.00","TotalBaseVAT3":"0.00","TotalVAT3":"0.00","TotalAmountVoucherUsing":"5.00",)"
         R"("TotalAmountVoucherSelling":"21.30"})",
         "CZ683555118|CZ1212121218|1|1|273"},
        {"no verification, no certificate, sent before", false, 0, "", "", "b3a09b52-7c87-4014-a496-4c7a53cf9125-ff",
         R"({"TaxPayerID":"CZ1212121218","SiteID":"273","SaleMode":"0","CertPass":"pw","FirstSending":"false",)"
         R"("PosID":"7","ReceiptNumber":"77001/5001","SaleDateTime":"2026-03-14T14:00:00+01:00",)"
         R"("TotalAmount":"121.30","TotalAmountNonVAT":"0.30","TotalBaseVAT1":"100.00","TotalVAT1":"21.00",)"
         R"("TotalBaseVAT2":"0.00","TotalVAT2":"0.00","TotalBaseVAT3":"0.00","TotalVAT3":"0.00",)"
         R"("TotalAmountVoucherUsing":"5.00","TotalAmountVoucherSelling":"21.30"})",
         "|CZ1212121218|0|0|273"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        CCzechInterface czech;
        czech.checkLogger.SetBaseFolder(folder + "/");
        printer.verificationMode = c.verification;
        printer.saleMode = c.saleMode;
        printer.appTaxpayerId = c.appTaxpayer;
        printer.certFile = c.certFile;
        printer.certPass = "pw";
        ASSERT_TRUE(czech.Connect(printer));
        CFiscalCheck check = Bill();
        check.printedFileName = c.printedFileName;
        // Customer data the PMS gave the check are no registration data.
        check.companyExtra = "customer data before";
        CzechSaleRequest request;
        czech.AddMembers(request, check);
        EXPECT_EQ(request.JsonObject(), c.json);
        EXPECT_EQ(check.GetField(17) + "|" + check.GetField(18) + "|" + check.GetField(19) + "|" +
                      check.GetField(20) + "|" + check.GetField(21),
                  c.fields);
        // What the service receives is a Sale frame its reader accepts.
        SaleFrame sale;
        std::string error;
        ASSERT_TRUE(SaleFrame::Read(czech.BuildSaleFrame(request, "1"), sale, error)) << error;
        EXPECT_TRUE(sale.CheckMembers(error)) << error;
        EXPECT_EQ(sale.source, "000000001");
    }
}

TEST_F(CzechInterfaceTest, AmountsAreWholeCentsWithoutANegativeZero) {
    device.checkLogger.SetBaseFolder(folder + "/");
    ASSERT_TRUE(device.Connect(printer));
    CFiscalCheck check = Bill();
    check.postings = {Posting(1900, 0.1, "0"), Posting(1901, 0.2, "0"), Posting(1902, -0.3, "0")};
    check.postingsTotal = -0.004;
    CzechSaleRequest request;
    device.AddMembers(request, check);
    std::string json = request.JsonObject();
    EXPECT_NE(json.find(R"("TotalAmount":"0.00")"), std::string::npos) << json;
    EXPECT_NE(json.find(R"("TotalAmountNonVAT":"0.00")"), std::string::npos) << json;
}

TEST_F(CzechInterfaceTest, FirstSendingStoresTheFikAsTheCodeAndARepeatedOneInField8) {
    Start();
    CFiscalCheck check = Bill();
    ASSERT_TRUE(device.PrintCheck(check, false)) << device.GetLastError();
    EXPECT_EQ(device.LastAnswer(), AnswerKind::Success);
    EXPECT_FALSE(device.AnswerOwed());
    std::vector<CzechRegistrationSim::Registration> done = sim->Registrations();
    ASSERT_EQ(done.size(), 1u);
    EXPECT_EQ(check.printedFileName, done[0].fik);
    EXPECT_EQ(check.printedFileName.find('_'), std::string::npos);
    EXPECT_EQ(check.shiftNumber, done[0].bkp);
    EXPECT_EQ(check.fiscalNumber, "");
    EXPECT_EQ(check.statusCode, kBillCheck);
    EXPECT_FALSE(device.blockOnFailure);
    // One connection per check.
    EXPECT_TRUE(device.channel.IsClosed());

    // Sent again (a bill to register again), it says so and keeps its first code.
    std::string firstFik = check.printedFileName;
    ASSERT_TRUE(device.PrintCheck(check, false)) << device.GetLastError();
    EXPECT_EQ(check.printedFileName, firstFik);
    EXPECT_EQ(check.fiscalNumber, firstFik);
    EXPECT_EQ(Outcomes(), (std::vector<std::string>{"77001/5001 first registered", "77001/5001 again repeat"}));

    std::string logText = LogText();
    for (const char* line : {"Start check:", "Successful", "Disconnect"}) {
        EXPECT_NE(logText.find(line), std::string::npos) << line;
    }
    // The certificate password never reaches the log.
    EXPECT_FALSE(LogHas("s3cret"));
    EXPECT_TRUE(LogHas(R"("CertPass":"********")"));
}

TEST_F(CzechInterfaceTest, ErrorReplies) {
    Start();
    struct Case {
        const char* name;
        const char* fault;
        bool result;
        AnswerKind answer;
        int statusCode;
        const char* error;
        bool codes;  // printedFileName and field 7 from the reply
    } cases[] = {
        {"offline: an error that carries PKP", "offline code=-1 text=Service unavailable", true, AnswerKind::Success,
         17, "-1 Service unavailable", true},
        {"refused", "error code=4 text=Bad signature", false, AnswerKind::DeviceError, 0, "4 Bad signature", false},
    };
    int bill = 6000;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Fault(c.fault);
        CFiscalCheck check = Bill(std::to_string(++bill));
        check.log = &log;
        EXPECT_EQ(device.PrintCheck(check, false), c.result);
        EXPECT_EQ(device.LastAnswer(), c.answer);
        EXPECT_EQ(device.GetLastError(), c.error);
        EXPECT_EQ(CodeNumber(check.statusCode), c.statusCode);
        EXPECT_FALSE(device.blockOnFailure);
        std::vector<CzechRegistrationSim::Registration> done = sim->Registrations();
        if (c.codes) {
            ASSERT_FALSE(done.empty());
            EXPECT_EQ(check.printedFileName, done.back().pkp);
            EXPECT_EQ(check.shiftNumber, done.back().bkp);
            // The offline code is noted once.
            std::string logText = LogText();
            size_t noted = 0;
            for (size_t at = logText.find("Printed file name " + done.back().pkp); at != std::string::npos;
                 at = logText.find("Printed file name " + done.back().pkp, at + 1)) {
                ++noted;
            }
            EXPECT_EQ(noted, 1u) << logText;
        } else {
            EXPECT_EQ(check.printedFileName, "");
            EXPECT_EQ(check.shiftNumber, "");
        }
        EXPECT_TRUE(LogHas("Unsuccessful"));
    }
}

TEST_F(CzechInterfaceTest, AnUnansweredSaleIsSentAgainAsARepeatedSending) {
    configuration.waitAnswer = 300;
    Start();
    struct Case {
        const char* name;
        const char* fault;
        AnswerKind answer;
        const char* error;
    } cases[] = {
        {"late", "delay ms=2000 count=1", AnswerKind::TimedOut,
         "Waiting time is up. Fiscal printer 1 not available."},
        {"cut", "cut bytes=20 count=1", AnswerKind::Cut, "Fiscal printer connect cut off. Try again."},
        // Bytes that are no reply: the service may hold the sale.
        {"garbage", "garbage bytes=40 count=1", AnswerKind::Cut, "Incorrect response format"},
        {"closed before answering", "close count=1", AnswerKind::Cut,
         "Fiscal printer connect cut off. Try again."},
    };
    int bill = 7000;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Fault(c.fault);
        CFiscalCheck check = Bill(std::to_string(++bill));
        EXPECT_FALSE(device.PrintCheck(check, false));
        EXPECT_EQ(device.LastAnswer(), c.answer);
        EXPECT_EQ(device.GetLastError(), c.error);
        // The connection of the check is closed: no answer is owed on it.
        EXPECT_FALSE(device.AnswerOwed());
        EXPECT_EQ(check.printedFileName, "");
        EXPECT_TRUE(device.SentWithoutAnswer(check));
        // The next cycle's sending is marked as a repeat: never a second first sending.
        std::string key = ExchangeKey(check);
        ASSERT_TRUE(device.PrintCheck(check, false)) << device.GetLastError();
        EXPECT_FALSE(check.printedFileName.empty());
        // The sale leaves the list only once the worker journalled its registration.
        EXPECT_TRUE(device.SentWithoutAnswer(check));
        device.ExchangeSettled(key, check);
        EXPECT_FALSE(device.SentWithoutAnswer(check));
    }
    for (const std::string& outcome : Outcomes()) {
        EXPECT_EQ(outcome.find("duplicate"), std::string::npos) << outcome;
        EXPECT_EQ(outcome.find("first") == std::string::npos, outcome.find("again") != std::string::npos);
    }
    // Late, cut and garbage were registered before their repeat; the closed one only by it.
    EXPECT_EQ(Outcomes().size(), 7u);
}

// A bill paid in two parts is two checks with one receipt number: each is a sale of its own, so
// one in doubt neither makes the other a repeated sending nor loses its mark when the other is
// answered.
TEST_F(CzechInterfaceTest, TheChecksOfOneBillAreInDoubtEachOnItsOwn) {
    configuration.waitAnswer = 300;
    Start();
    auto part = [](int trxNo, double amount) {
        CFiscalCheck check = Bill("5200");
        check.postings = {Posting(1000, amount, "0")};
        check.payments = {Payment(amount, "1")};
        check.payments[0].trx_no = trxNo;
        check.postingsTotal = amount;
        check.paymentsTotal = amount;
        std::fill(std::begin(check.taxSums), std::end(check.taxSums), 0.0);
        return check;
    };
    CFiscalCheck cash = part(50000025, 3000);
    CFiscalCheck card = part(50000026, 2000);
    Fault("delay ms=2000 count=1");
    EXPECT_FALSE(device.PrintCheck(cash, false));
    EXPECT_EQ(device.LastAnswer(), AnswerKind::TimedOut);
    EXPECT_TRUE(device.SentWithoutAnswer(cash));
    EXPECT_FALSE(device.SentWithoutAnswer(card));
    ASSERT_TRUE(device.PrintCheck(card, false)) << device.GetLastError();
    EXPECT_TRUE(device.SentWithoutAnswer(cash));
    ASSERT_TRUE(device.PrintCheck(cash, false)) << device.GetLastError();
    EXPECT_EQ(Outcomes(), (std::vector<std::string>{"77001/5200 first registered", "77001/5200 first registered",
                                                    "77001/5200 again repeat"}));
}

TEST_F(CzechInterfaceTest, AnUnansweredSaleIsARepeatedSendingAlsoAfterARestart) {
    configuration.waitAnswer = 300;
    Start();
    Fault("delay ms=2000 count=1");
    CFiscalCheck check = Bill("7100");
    EXPECT_FALSE(device.PrintCheck(check, false));
    EXPECT_EQ(device.LastAnswer(), AnswerKind::TimedOut);
    // The service stops and starts again: a new interface reads the list its predecessor kept.
    CCzechInterface restarted;
    restarted.Configure(configuration);
    restarted.SetLog(&log);
    restarted.checkLogger.SetBaseFolder(folder + "/");
    ASSERT_TRUE(restarted.Connect(printer));
    EXPECT_TRUE(restarted.SentWithoutAnswer(check));
    ASSERT_TRUE(restarted.PrintCheck(check, false)) << restarted.GetLastError();
    EXPECT_EQ(Outcomes(), (std::vector<std::string>{"77001/7100 first registered", "77001/7100 again repeat"}));
    // Journalled now: the list is empty again, on disk too.
    restarted.ExchangeSettled(ExchangeKey(Bill("7100")), check);
    CCzechInterface later;
    later.checkLogger.SetBaseFolder(folder + "/");
    ASSERT_TRUE(later.Connect(printer));
    EXPECT_FALSE(later.SentWithoutAnswer(check));
}

// The list of unanswered sales cannot be written (its name is taken by a folder): the log says
// what that costs after a restart, and in this process the sale in doubt is still a repeated
// sending.
TEST_F(CzechInterfaceTest, AnUnansweredListThatCannotBeKeptOnDiskIsSaidAndKeptInMemory) {
    ASSERT_TRUE(platform::MakeDirectories(Path(CCzechInterface::kUnansweredFile)));
    configuration.waitAnswer = 300;
    Start();
    Fault("delay ms=2000 count=1");
    CFiscalCheck check = Bill("7200");
    EXPECT_FALSE(device.PrintCheck(check, false));
    EXPECT_TRUE(LogHas("not kept in " + Path(CCzechInterface::kUnansweredFile) +
                       ": after a restart they are sent as first sendings"));
    EXPECT_TRUE(device.SentWithoutAnswer(check));
    ASSERT_TRUE(device.PrintCheck(check, false)) << device.GetLastError();
    EXPECT_EQ(Outcomes(), (std::vector<std::string>{"77001/7200 first registered", "77001/7200 again repeat"}));
}

TEST_F(CzechInterfaceTest, NoConnectionBlocksPaymentsAndSendsNothing) {
    auto probe = StartSim();
    int closed = probe->Port();
    probe->Stop();
    ConnectTo(closed);
    CFiscalCheck check = Bill();
    EXPECT_FALSE(device.PrintCheck(check, false));
    EXPECT_EQ(device.LastAnswer(), AnswerKind::NotDelivered);
    EXPECT_TRUE(device.blockOnFailure);
    EXPECT_EQ(device.GetLastError(), text::Format("Can't connect to 127.0.0.1 : %d", closed));
    EXPECT_FALSE(device.SentWithoutAnswer(check));
}

using device_test::ScriptedPeer;

std::string ReplyFrame(const std::string& json) { return SaleFrame::Write("000000001", 1, "Sale", {json}); }

TEST_F(CzechInterfaceTest, RepliesTheSimulatorDoesNotGive) {
    struct Case {
        const char* name;
        ScriptedPeer::Script script;
        bool result;
        AnswerKind answer;  // Cut: the service may hold the sale, it is in doubt
        const char* error;
        int statusCode;
        const char* code;  // printedFileName
        const char* bkp;
    } cases[] = {
        // Read whole although it comes in two pieces.
        {"registered",
         ScriptedPeer::InTwoPieces(CPMSMessage::kEnd,
                                   ReplyFrame(R"({"SUCCESS":"true","FIK":"f-1","BKP":"b-1"})")),
         true, AnswerKind::Success, "", 0, "f-1", "b-1"},
        // The service may have registered it: never a second first sending.
        {"success without a FIK",
         ScriptedPeer::InTwoPieces(CPMSMessage::kEnd, ReplyFrame(R"({"SUCCESS":"true","BKP":"b-1"})")), false,
         AnswerKind::Cut, "Reply without FIK", 0, "", ""},
        {"TRUE in capitals, no error",
         ScriptedPeer::InTwoPieces(CPMSMessage::kEnd, ReplyFrame(R"({"SUCCESS":"TRUE","FIK":"f-1"})")), false,
         AnswerKind::Cut, "Unknown error", 0, "", ""},
        {"an error code alone",
         ScriptedPeer::InTwoPieces(CPMSMessage::kEnd, ReplyFrame(R"({"SUCCESS":"false","ERRORCODE":"-3"})")),
         false, AnswerKind::DeviceError, "-3 ", 0, "", ""},
        // Offline: the codes it has, although it says success.
        {"success with a PKP but no FIK",
         ScriptedPeer::InTwoPieces(CPMSMessage::kEnd,
                                   ReplyFrame(R"({"SUCCESS":"true","PKP":"p\/1","BKP":"b-2"})")),
         true, AnswerKind::Success, "Reply without FIK", 17, "p/1", "b-2"},
        // The bound on its length, not the answer time-out, ends the wait; the service may have
        // registered the sale all the same.
        {"a reply that never ends", ScriptedPeer::Endless(CPMSMessage::kEnd), false, AnswerKind::Cut,
         "Answer longer than 65536 bytes without its end: connection dropped", 0, "", ""},
    };
    configuration.waitAnswer = 60000;
    int bill = 8000;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ScriptedPeer peer(c.script);
        ASSERT_TRUE(peer.Listening());
        ConnectTo(peer.Port());
        CFiscalCheck check = Bill(std::to_string(++bill));
        EXPECT_EQ(device.PrintCheck(check, false), c.result) << device.GetLastError();
        EXPECT_EQ(device.LastAnswer(), c.answer);
        EXPECT_EQ(device.GetLastError(), c.error);
        // Sent: in the list until the worker journalled its end.
        EXPECT_TRUE(device.SentWithoutAnswer(check));
        EXPECT_EQ(CodeNumber(check.statusCode), c.statusCode);
        EXPECT_EQ(check.printedFileName, c.code);
        EXPECT_EQ(check.shiftNumber, c.bkp);
    }
    device_test::ExpectBoundedAnswer(LogText());
}

// The rows of SendAndWait before anything is on the wire: nothing goes out; a frame that was to
// go is in the list (until the worker journals that it did not), and what was in doubt before
// stays in doubt.
TEST_F(CzechInterfaceTest, AFrameThatIsNotSentLeavesTheSaleAsItWas) {
    auto probe = StartSim();
    int closed = probe->Port();
    probe->Stop();
    ConnectTo(closed);
    const std::string refused = text::Format("Can't connect to 127.0.0.1 : %d", closed);
    struct Case {
        const char* name;
        bool emptyFrame;
        bool inDoubtBefore;
        const char* error;
    } cases[] = {
        {"sending fails", false, false, refused.c_str()},
        // The error of the sending before does not stay.
        {"empty frame", true, false, ""},
        // Sent before without an answer: the service may have it, so its next sending must still
        // be a repeated one.
        {"sending fails after an unanswered sending", false, true, refused.c_str()},
    };
    int bill = 9000;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        CFiscalCheck check = Bill(std::to_string(++bill));
        std::string receipt = CCzechInterface::ReceiptNumber(check);
        if (c.inDoubtBefore) {
            ASSERT_TRUE(device.Unanswered()->Add(CCzechInterface::SaleKey(check)));
        }
        CzechSaleRequest request;
        device.AddMembers(request, check);
        std::string frame = c.emptyFrame ? "" : device.BuildSaleFrame(request, printer.name);
        size_t logged = LogText().size();
        EXPECT_EQ(device.SendAndWait(request, frame, check), CCzechInterface::Answer::NotDelivered);
        EXPECT_EQ(device.GetLastError(), c.error);
        EXPECT_EQ(device.SentWithoutAnswer(check), c.inDoubtBefore || !c.emptyFrame);
        EXPECT_EQ(check.printedFileName, "");
        std::string added = LogText().substr(logged);
        EXPECT_EQ(added.find("Empty command") != std::string::npos, c.emptyFrame) << added;
        // The outgoing frame is logged before it is sent.
        EXPECT_EQ(added.find(receipt + "\",\"SaleDateTime\"") != std::string::npos, !c.emptyFrame) << added;
    }
}

// The outcome journal holds the sale in doubt, and its list does not (the answer came, and the
// worker died before it journalled it): the sale goes as a repeated sending.
TEST_F(CzechInterfaceTest, ASaleTheJournalHoldsInDoubtIsARepeatedSendingWhateverTheListSays) {
    Start();
    CFiscalCheck check = Bill("7300");
    std::string key = ExchangeKey(check);
    ASSERT_TRUE(device.PrintCheck(check, false)) << device.GetLastError();
    device.ExchangeSettled(key, check);
    ASSERT_FALSE(device.SentWithoutAnswer(check));
    CFiscalCheck again = Bill("7300");
    device.SetExchange(key, true);
    ASSERT_TRUE(device.PrintCheck(again, false)) << device.GetLastError();
    EXPECT_EQ(again.printedFileName, check.printedFileName);
    // Told for one sending only.
    CFiscalCheck other = Bill("7301");
    ASSERT_TRUE(device.PrintCheck(other, false)) << device.GetLastError();
    EXPECT_EQ(Outcomes(), (std::vector<std::string>{"77001/7300 first registered", "77001/7300 again repeat",
                                                    "77001/7301 first registered"}));
}

TEST_F(CzechInterfaceTest, AfterAStopRequestNothingIsSent) {
    Start();
    device.RequestStop();
    CFiscalCheck check = Bill();
    EXPECT_FALSE(device.PrintCheck(check, false));
    EXPECT_EQ(device.LastAnswer(), AnswerKind::NotDelivered);
    EXPECT_EQ(sim->ConnectionsAccepted(), 0u);
    EXPECT_FALSE(device.SentWithoutAnswer(check));
}

TEST_F(CzechInterfaceTest, SavingTheDescriptionOnlyTouchesNoDevice) {
    Start();
    CFiscalCheck check = Bill();
    EXPECT_TRUE(device.PrintCheck(check, true));
    EXPECT_EQ(device.LastAnswer(), AnswerKind::None);
    EXPECT_TRUE(sim->Registrations().empty());
    EXPECT_EQ(sim->ConnectionsAccepted(), 0u);
    EXPECT_FALSE(platform::ListFolder(Path("ST_1")).empty());
    CPrinterControl control;
    EXPECT_FALSE(device.PrintSlip(control));
    EXPECT_FALSE(device.ShowMessage(control, "message"));
}

}  // namespace
