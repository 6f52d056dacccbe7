#include "devices/CNewInterface.h"

#include <gtest/gtest.h>

#include <chrono>
#include <limits>
#include <mutex>
#include <thread>

#include "platform/CodePage.h"
#include "tests/support/devices/DeviceTestSupport.h"
#include "tests/support/devices/ScriptedPeer.h"
#include "tests/support/platform/ManualClock.h"

namespace {

using device_test::Bytes;
using device_test::FakeConfiguration;
using device_test::Readable;
using device_test::ScriptedPeer;

struct_posting Posting(int code, const std::string& description, double amount, const std::string& tax) {
    struct_posting p;
    p.trx_code = code;
    p.description = description;
    p.trx_amount = amount;
    p.net_amount = amount;
    p.tax_group = tax;
    return p;
}

struct_posting Cash(double amount) {
    struct_posting p;
    p.trx_code = 9;
    p.print_code = "1";
    p.description = "Cash";
    p.trx_amount = amount;
    p.pay_kind = 0;
    return p;
}

// A bill of two postings in tax groups 1 and 2, paid in cash.
CFiscalCheck Bill() {
    CFiscalCheck check;
    check.checkNumber = "B1001";
    check.folioNumber = "F77";
    check.cashierId = "7";
    check.cashierName = "Anna";
    check.cashierPosition = "Manager";
    check.room = "101";
    check.station = "FO1";
    check.statusCode = kBillCheck;
    check.checkMode = 7;
    check.postings = {Posting(1000, "Room night", 100, "1"), Posting(2000, "Breakfast", 50, "2")};
    check.payments = {Cash(150)};
    check.postingsTotal = 150;
    check.paymentsTotal = 150;
    check.netTotal = 150;
    return check;
}

// Cash put into the drawer: a cash command, not a check.
CFiscalCheck CashLoan(double amount) {
    CFiscalCheck loan = Bill();
    loan.statusCode = kCashLoan;
    loan.postings.clear();
    loan.payments = {Cash(amount)};
    loan.paymentsTotal = amount;
    return loan;
}

const std::string kBillHeader = "1^FISC^Check^7^Manager Anna^^F^0^1^1^0^1^1^7^1^^||150.00|101|B1001||0|0||||1|^1|0|||\n";

class InterfaceTest : public device_test::TempFolderTest {
protected:
    void SetUp() override {
        TempFolderTest::SetUp();
        configuration.waitAnswer = 2000;
    }
    void StartWith(PrinterManagerSim::Options options = {}) {
        sim = StartSim(options);
        ConnectTo(sim->Port());
    }
    void ConnectTo(int port) {
        device.Configure(configuration);
        device.SetLog(&log);
        // Settings a test gave the printer before stay.
        printer.name = "1";
        printer.deviceSettings = device_test::Printer("1", "127.0.0.1", port).deviceSettings;
        ASSERT_TRUE(device.Connect(printer));
    }
    // Messages the manager received, by kind (header field 3, "File" for file messages).
    std::vector<std::string> Kinds() const {
        std::vector<std::string> kinds;
        for (const std::string& message : sim->Messages()) {
            kinds.push_back(FiscMessage::MessageKind(message));
        }
        return kinds;
    }
    std::string LastCheckMessage() const {
        std::vector<std::string> messages = sim->Messages();
        for (auto it = messages.rbegin(); it != messages.rend(); ++it) {
            if (FiscMessage::MessageKind(*it) == "Check") {
                return Readable(*it);
            }
        }
        return "";
    }
    // The check message without its header line.
    std::string LastCheckBody() const {
        std::string message = LastCheckMessage();
        return message.substr(message.find('\n') + 1);
    }
    // The check files the journal keeps in the printer's station folder: name and content.
    std::vector<std::pair<std::string, std::string>> CheckFiles() {
        std::vector<std::pair<std::string, std::string>> files;
        std::string station = Path("ST_1");
        for (const std::string& name : platform::ListFolder(station)) {
            std::string content;
            platform::ReadFile(station + "/" + name, content);
            files.emplace_back(name, content);
        }
        return files;
    }

    FakeConfiguration configuration;
    CNewInterface device;
    CPrinterControl printer;
    std::unique_ptr<PrinterManagerSim> sim;
};

TEST_F(InterfaceTest, ConfigureReadsEverySharedSetting) {
    configuration.values = {{"//printer_ini/decimal_point", "0"},
                            {"//printer_ini/print_copy", "1"},
                            {"//printer_ini/cash_drawer", "1"},
                            {"//display/account", "Account: "},
                            {"//display/room_number", "R"},
                            {"//display/room", "Room: "},
                            {"//display/cashier_name", "Front desk"},
                            {"//display/reservation", "Res: "},
                            {"//display/cashier", "Cashier: "},
                            {"//display/company", "Company: "},
                            {"//display/guest", "Guest: "},
                            {"//display/tin", "TIN "},
                            {"//display/vat", "VAT "},
                            {"//printer_ini/check_refund", "1"},
                            {"//printer_ini/save_shift_number", "1"},
                            {"//interface_cashier", "5"},
                            {"//printer_ini/answer_settle", "80"}};
    configuration.waitAnswer = 900;
    CNewInterface configured;
    EXPECT_TRUE(configured.Configure(configuration));
    EXPECT_EQ(configured.decimals, 0);
    EXPECT_TRUE(configured.printCopy && configured.cashDrawer && configured.checkRefund && configured.saveShiftNumber);
    EXPECT_EQ(configured.account, "Account: ");
    EXPECT_EQ(configured.roomNumber, "R");
    EXPECT_EQ(configured.room, "Room: ");
    EXPECT_EQ(configured.cashierName, "Front desk");
    EXPECT_EQ(configured.reservation, "Res: ");
    EXPECT_EQ(configured.cashier, "Cashier: ");
    EXPECT_EQ(configured.company, "Company: ");
    EXPECT_EQ(configured.guest, "Guest: ");
    EXPECT_EQ(configured.tin, "TIN ");
    EXPECT_EQ(configured.vat, "VAT ");
    EXPECT_EQ(configured.interfaceCashier, 5);
    EXPECT_EQ(configured.answerTimeout, 900);
    EXPECT_EQ(configured.AnswerSettleMs(), 80);
    // The settle time stays far below the answer time-out, and the log says so.
    configuration.values["//printer_ini/answer_settle"] = "500";
    configured.Configure(configuration);
    EXPECT_EQ(configured.AnswerSettleMs(), 90);
    configured.SetLog(&log);
    configured.Connect(device_test::Printer("1", "127.0.0.1", 1));
    EXPECT_TRUE(LogHas("Answer settle time 500 ms is too long for the answer time-out of 900 ms: 90 ms used"));

    // Empty texts keep the defaults; "yes" is no flag.
    FakeConfiguration bare;
    bare.values = {{"//printer_ini/print_copy", "yes"}};
    CNewInterface defaults;
    defaults.Configure(bare);
    EXPECT_EQ(defaults.decimals, 2);
    EXPECT_EQ(defaults.answerTimeout, 7000);
    EXPECT_EQ(defaults.AnswerSettleMs(), 50);
    EXPECT_FALSE(defaults.printCopy);
    EXPECT_EQ(defaults.printerKind, 99);
}

TEST_F(InterfaceTest, RegistersACheckWithTheFileMessageFirst) {
    PrinterManagerSim::Options options;
    options.firstCheckNumber = 501;
    StartWith(options);
    CFiscalCheck check = Bill();
    ASSERT_TRUE(device.PrintCheck(check, false)) << device.GetLastError();
    EXPECT_FALSE(device.blockOnFailure);
    EXPECT_EQ(Kinds(), (std::vector<std::string>{"Config", "File", "Check"}));
    EXPECT_EQ(check.fiscalNumber, "501");
    EXPECT_EQ(check.printerId, "SIM1");
    EXPECT_EQ(device.printerId, "SIM1");
    EXPECT_EQ(device.printerKind, 99);

    EXPECT_EQ(LastCheckMessage(), kBillHeader +
                                      "M|1000|Room night|||1.000|100.00|80|||||4;4;|\n"
                                      "M|2000|Breakfast|||1.000|50.00|40|||||4;4;|\n"
                                      "=\n"
                                      "$|1|||150.00\n~@");
    // The file message announces the check message by name and length.
    std::vector<std::string> messages = sim->Messages();
    std::string file = messages[1];
    EXPECT_EQ(file, Bytes("File^" + check.printedFileName + ".ck2^" + std::to_string(messages[2].size()) + "@"));
    EXPECT_TRUE(text::StartsWith(check.printedFileName, "1_B1001_"));
    ASSERT_EQ(sim->Records().size(), 1u);
    EXPECT_NE(sim->Records()[0].find("\"file\":\"" + check.printedFileName + "\""), std::string::npos);

    // The identity is asked once; a repeated registration keeps its file name.
    std::string firstName = check.printedFileName;
    ASSERT_TRUE(device.PrintCheck(check, false));
    EXPECT_EQ(check.fiscalNumber, "502");
    EXPECT_EQ(check.printedFileName, firstName);
    EXPECT_EQ(Kinds().size(), 5u);
    EXPECT_TRUE(LogHas("Start print: "));
    EXPECT_TRUE(LogHas("Start check:"));
}

// Answers as the printer manager gives them, byte for byte: "0" (or an error code), FS and the
// fields, and no end byte; the answer is whole once the line stays quiet.
std::string Answer(const std::vector<std::string>& fields) {
    return text::Join(fields, std::string(1, '\x1c'));
}

const std::string kIdentity = Answer({"0", "", "", "", " PRN-042 ", platform::Cp1251("ШТРИХ-М-ФР-К"), "", "", "", "",
                                      "", "", "", "", "", "", "2"});
const std::string kShift = Answer({"0", "", "", "", "", " 17 ", "", "", "", "", "", "", "", "", "", "", "5"});

TEST_F(InterfaceTest, EveryKindOfMessageReadsTheManagersAnswerWithoutAnEndByte) {
    struct Case {
        const char* name;
        const char* kind;    // the message kind whose answer the case changes
        std::string answer;  // that answer
        bool refund;         // a refund check, whose cash payment is tested first
        bool registered;
        const char* error;
        const char* printerId;
        const char* shift;
        const char* fiscalNumber;  // the check came with "555"
    } cases[] = {
        {"config 2", "", "", false, true, "", "PRN-042", "17", "1187"},
        // A manager that ends its answers with EOT: the EOT (and what follows) is no part of it.
        {"config 2 ended by EOT", "Config2", kIdentity + "\x04" + "junk", false, true, "", "PRN-042", "17", "1187"},
        {"config 5", "Config5", Answer({"0", "", "", "", "", "S-9", "", "", "", "", "", "", "", "", "", "", "5"}),
         false, true, "", "PRN-042", "S-9", "1187"},
        {"test", "Test", "0", true, true, "", "PRN-042", "17", "1187"},
        {"file", "File", Answer({"0", ""}), false, true, "", "PRN-042", "17", "1187"},
        {"check", "Check", Answer({"0", "", "000042"}), false, true, "", "PRN-042", "17", "000042"},
        {"error answer", "Check", Answer({"3", "Paper out\r"}), false, false, "Paper out", "PRN-042", "17", "555"},
        {"a lone 0", "Check", "0", false, true, "", "PRN-042", "17", "555"},
    };
    configuration.values["//printer_ini/save_shift_number"] = "1";
    configuration.values["//printer_ini/check_refund"] = "1";
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        std::mutex lock;
        std::vector<std::string> kinds;
        ScriptedPeer manager(ScriptedPeer::Answering(FiscMessage::EOT, [&](const std::string& message) {
            std::string kind = FiscMessage::MessageKind(message);
            if (kind == "Config") {
                kind += text::Split(message.substr(0, message.size() - 1), '\x1c').at(16);
            }
            std::lock_guard<std::mutex> guard(lock);
            kinds.push_back(kind);
            if (kind == c.kind) {
                return c.answer;
            }
            return kind == "Config2" ? kIdentity : kind == "Config5" ? kShift : kind == "Check" ? Answer({"0", "", "1187"}) : "0";
        }));
        ASSERT_TRUE(manager.Listening());
        CNewInterface fresh;
        fresh.Configure(configuration);
        fresh.SetLog(&log);
        ASSERT_TRUE(fresh.Connect(device_test::Printer("1", "127.0.0.1", manager.Port())));
        CFiscalCheck check = Bill();
        check.fiscalNumber = "555";
        if (c.refund) {
            check.statusCode = kRefundCheck;
            check.payments = {Cash(-150)};
        }
        EXPECT_EQ(fresh.PrintCheck(check, false), c.registered) << fresh.GetLastError();
        EXPECT_EQ(fresh.LastAnswer(), c.registered ? AnswerKind::Success : AnswerKind::DeviceError);
        EXPECT_EQ(fresh.GetLastError(), c.error);
        EXPECT_EQ(check.printerId, c.printerId);
        EXPECT_EQ(fresh.printerKind, 1);
        EXPECT_EQ(check.shiftNumber, c.shift);
        EXPECT_EQ(check.fiscalNumber, c.fiscalNumber);
        std::vector<std::string> sent = {"Config2", "Config5", "File", "Check"};
        if (c.refund) {
            sent.insert(sent.begin() + 2, "Test");
        }
        std::lock_guard<std::mutex> guard(lock);
        EXPECT_EQ(kinds, sent);
        // Waiting for an end byte would have cost the answer time-out.
        EXPECT_FALSE(LogHas("Waiting time is up"));
    }
    EXPECT_TRUE(LogHas("Config num 2\n"));
    EXPECT_TRUE(LogHas("Printer ID PRN-042\n"));
    EXPECT_TRUE(LogHas("Shift num 17\n"));
    EXPECT_TRUE(LogHas("4 bytes after the end of the answer dropped"));
}

TEST_F(InterfaceTest, PrinterTypeTextsGiveTheDeviceModel) {
    struct Case {
        std::string type;
        int kind;
    };
    const Case cases[] = {{platform::Cp1251("ШТРИХ-М-ФР-К"), 1},
                          {platform::Cp1251("ПРИМ-08ТК GP200"), 2},
                          {platform::Cp1251("СПАРК-801Т"), 0},
                          {"EPSON GP200 RU", 12},
                          {"SOMETHING ELSE", 99}};
    for (const Case& c : cases) {
        PrinterManagerSim::Options options;
        options.printerType = c.type;
        auto manager = StartSim(options);
        CNewInterface probe;
        probe.SetLog(&log);
        ASSERT_TRUE(probe.Connect(device_test::Printer("4", "127.0.0.1", manager->Port())));
        FiscMessage message;
        message.SetHeaderId("4");
        ASSERT_TRUE(probe.SendAndWait(message.BuildConfig(2), 2000, nullptr));
        EXPECT_EQ(probe.printerKind, c.kind) << platform::ToUtf8(c.type, "1251");
        EXPECT_EQ(probe.printerId, "SIM4");
    }
    EXPECT_TRUE(LogHas("Set GP200"));
    EXPECT_TRUE(LogHas("Config num 2"));
}

TEST_F(InterfaceTest, ShiftNumberIsAskedBeforeEveryCheckWhenKept) {
    configuration.values["//printer_ini/save_shift_number"] = "1";
    PrinterManagerSim::Options options;
    options.shiftNumber = 42;
    StartWith(options);
    CFiscalCheck check = Bill();
    ASSERT_TRUE(device.PrintCheck(check, false));
    ASSERT_TRUE(device.PrintCheck(check, false));
    EXPECT_EQ(Kinds(), (std::vector<std::string>{"Config", "Config", "File", "Check", "Config", "File", "Check"}));
    EXPECT_EQ(check.shiftNumber, "42");
    EXPECT_TRUE(LogHas("Shift num 42"));
}

TEST_F(InterfaceTest, AManagerThatEndsItsAnswersOrSendsThemInPiecesIsReadAsWell) {
    struct Case {
        const char* name;
        bool endByte;
        int splitPauseMs;
    } cases[] = {{"FS EOT after every answer", true, 0}, {"every answer in two pieces", false, 40}};
    // The pieces' pause stays well below the settle time, even on a loaded machine.
    configuration.values["//printer_ini/answer_settle"] = "400";
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        PrinterManagerSim::Options options;
        options.endByte = c.endByte;
        options.splitPauseMs = c.splitPauseMs;
        options.firstCheckNumber = 77;
        StartWith(options);
        CFiscalCheck check = Bill();
        ASSERT_TRUE(device.PrintCheck(check, false)) << device.GetLastError();
        EXPECT_EQ(check.fiscalNumber, "77");
        EXPECT_EQ(check.printerId, "SIM1");
        EXPECT_EQ(sim->Records().size(), 1u);
    }
    // An end byte is no part of the answer, and nothing followed it.
    EXPECT_FALSE(LogHas("after the end of the answer dropped"));
    EXPECT_TRUE(LogHas("Config num 2\n"));
}

TEST_F(InterfaceTest, TheAnswerTimeOutPassesOnThePlatformClock) {
    // The default time-out of 7 s: the test clock lets it pass at once, while answers that do
    // come are read as they arrive.
    configuration.waitAnswer = 0;
    StartWith();
    sim->SetFault(Fault("delay ms=60000 kind=Check count=1"));
    platform::ManualClock clock;
    clock.SetHook([this](int64_t ms) { device.channel.dataEvent.Wait(std::min<int64_t>(ms, 300)); });
    platform::ScopedClock installed(clock);
    auto started = std::chrono::steady_clock::now();
    CFiscalCheck check = Bill();
    EXPECT_FALSE(device.PrintCheck(check, false));
    EXPECT_EQ(device.LastAnswer(), AnswerKind::TimedOut);
    EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::seconds(5));
    EXPECT_GE(clock.MonotonicMs(), 7000);
    EXPECT_EQ(check.printerId, "SIM1");
    EXPECT_TRUE(device.AnswerOwed());
}

TEST_F(InterfaceTest, RefusedConnectionBlocksPayments) {
    int port = ClosedPort();
    ConnectTo(port);
    CFiscalCheck check = Bill();
    EXPECT_FALSE(device.PrintCheck(check, false));
    EXPECT_TRUE(device.blockOnFailure);
    EXPECT_EQ(device.GetLastError(), text::Format("Can't connect to 127.0.0.1 : %d", port));
    EXPECT_EQ(check.fiscalNumber, "");
}

TEST_F(InterfaceTest, NoAnswerInTimeLeavesTheCheckInDoubtAndTheLateAnswerIsCollected) {
    configuration.waitAnswer = 200;
    StartWith();
    // Late for the first wait, in time for the collection.
    sim->SetFault(Fault("delay ms=300 kind=Check count=1"));
    CFiscalCheck check = Bill();
    check.printedFileName = "1_B1001_11_100000";
    EXPECT_FALSE(device.PrintCheck(check, false));
    EXPECT_EQ(device.LastAnswer(), AnswerKind::TimedOut);
    EXPECT_FALSE(device.blockOnFailure);
    EXPECT_EQ(device.GetLastError(),
              text::Format("Waiting time is up. Fiscal printer Client: 127.0.0.1 : %d  not available.", sim->Port()));
    EXPECT_EQ(check.fiscalNumber, "");
    ASSERT_TRUE(device.AnswerOwed());
    EXPECT_EQ(device.OwedExchangeKey(), "1_B1001_11_100000");

    // Nothing else goes to the device while its answer is owed.
    size_t sent = sim->Messages().size();
    EXPECT_FALSE(device.PrintCheck(check, false));
    EXPECT_EQ(device.LastAnswer(), AnswerKind::NotDelivered);
    EXPECT_EQ(sim->Messages().size(), sent);

    // The late answer is the registration; the connection then serves the next check.
    EXPECT_EQ(device.CollectLateAnswer(check), AnswerKind::Success);
    EXPECT_EQ(check.fiscalNumber, "1");
    EXPECT_FALSE(device.AnswerOwed());
    EXPECT_EQ(device.CollectLateAnswer(check), AnswerKind::None);
    ASSERT_TRUE(device.PrintCheck(check, false)) << device.GetLastError();
    EXPECT_EQ(check.fiscalNumber, "2");
    EXPECT_EQ(sim->ConnectionsAccepted(), 1u);
    EXPECT_EQ(sim->Records().size(), 2u);
}

TEST_F(InterfaceTest, ALateAnswerThatNeverComesClosesTheChannelAndLeavesTheCheckInDoubt) {
    configuration.waitAnswer = 100;
    StartWith();
    sim->SetFault(Fault("delay ms=1500 kind=Check count=1"));
    CFiscalCheck check = Bill();
    EXPECT_FALSE(device.PrintCheck(check, false));
    ASSERT_TRUE(device.AnswerOwed());
    // A check without a stored name is known by the name it was sent under.
    EXPECT_EQ(device.OwedExchangeKey(), check.printedFileName);
    EXPECT_EQ(device.CollectLateAnswer(check), AnswerKind::TimedOut);
    EXPECT_TRUE(device.channel.IsClosed());
    EXPECT_EQ(check.fiscalNumber, "");
    EXPECT_FALSE(device.AnswerOwed());
}

TEST_F(InterfaceTest, OnlyAWholeAnswerRegistersAndOnlyProofOfNoDeliveryIsAFailure) {
    struct Case {
        std::string fault;
        AnswerKind kind;
        bool block;
        size_t registered;
    };
    const Case cases[] = {
        {"none", AnswerKind::Success, false, 1},
        // "0", FS, "O", then the connection ends: registered, but the answer is not whole.
        {"cut bytes=3 kind=Check count=1", AnswerKind::Cut, true, 1},
        {"cut bytes=12 kind=Check count=1", AnswerKind::Cut, true, 1},
        {"close kind=Check count=1", AnswerKind::Cut, true, 0},
        {"error code=3 kind=Check count=1 text=Paper out", AnswerKind::DeviceError, false, 0},
        {"close kind=File", AnswerKind::NotDelivered, true, 0},
        {"refuse", AnswerKind::NotDelivered, true, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.fault);
        sim = StartSim();
        sim->SetFault(Fault(c.fault));
        ConnectTo(sim->Port());
        CFiscalCheck check = Bill();
        EXPECT_EQ(device.PrintCheck(check, false), c.kind == AnswerKind::Success);
        EXPECT_EQ(device.LastAnswer(), c.kind);
        EXPECT_EQ(device.blockOnFailure, c.block);
        EXPECT_EQ(check.fiscalNumber, c.kind == AnswerKind::Success ? "1" : "");
        EXPECT_EQ(sim->Records().size(), c.registered);
        EXPECT_FALSE(device.AnswerOwed());
    }
}

TEST_F(InterfaceTest, AnAnswerThatNeverEndsIsDroppedAtItsBound) {
    // Junk that never ends and never goes quiet: only the bound ends the wait.
    configuration.waitAnswer = 60000;
    StartWith();
    sim->SetFault(Fault("endless kind=Check count=1"));
    CFiscalCheck check = Bill();
    EXPECT_FALSE(device.PrintCheck(check, false));
    EXPECT_EQ(device.LastAnswer(), AnswerKind::DeviceError) << "junk that is no success registers nothing";
    device_test::ExpectBoundedAnswer(LogText());
    EXPECT_FALSE(device.AnswerOwed());
    EXPECT_TRUE(device.channel.IsClosed());
    // The next check goes over a new connection and is registered.
    CFiscalCheck next = Bill();
    EXPECT_TRUE(device.PrintCheck(next, false)) << device.GetLastError();
    EXPECT_EQ(sim->Records().size(), 1u);
}

TEST_F(InterfaceTest, AStopLetsNoNewMessageGo) {
    StartWith();
    device.RequestStop();
    CFiscalCheck check = Bill();
    EXPECT_FALSE(device.PrintCheck(check, false));
    EXPECT_EQ(device.LastAnswer(), AnswerKind::NotDelivered);
    EXPECT_TRUE(sim->Messages().empty());
    EXPECT_EQ(device.ExchangeBoundMs(), 3000 + 2000);
}

TEST_F(InterfaceTest, CheckFileNamesNameThePrinterAndDocumentAndNeverRepeat) {
    StartWith();
    CFiscalCheck first = Bill();
    first.payments[0].trx_no = 4711;
    std::string name = device.NewCheckFileName(first);
    EXPECT_TRUE(text::StartsWith(name, "1_B1001_")) << name;
    // A second check of the same document within the same second gets another name.
    std::string second = device.NewCheckFileName(first);
    EXPECT_NE(second, name);
    EXPECT_NE(second.find("_4711_"), std::string::npos) << second;
    // A cash command goes without a check file.
    EXPECT_EQ(device.NewCheckFileName(CashLoan(10)), "");
}

TEST_F(InterfaceTest, ConnectionCutBeforeTheAnswerBlocksPayments) {
    StartWith();
    sim->SetFault(Fault("close kind=Check count=1"));
    CFiscalCheck check = Bill();
    EXPECT_FALSE(device.PrintCheck(check, false));
    EXPECT_EQ(device.LastAnswer(), AnswerKind::Cut);
    EXPECT_EQ(device.GetLastError(), "Fiscal printer connect cut off.");
    EXPECT_TRUE(device.blockOnFailure);
    EXPECT_TRUE(device.channel.IsClosed());
    // The next check reconnects and clears the flag.
    ASSERT_TRUE(device.PrintCheck(check, false));
    EXPECT_FALSE(device.blockOnFailure);
    EXPECT_EQ(check.fiscalNumber, "1");
}

TEST_F(InterfaceTest, ErrorOrGarbageAnswerToTheCheckFailsTheAttemptWithItsText) {
    StartWith();
    sim->SetFault(Fault("error code=3 kind=Check text=Paper out"));
    CFiscalCheck check = Bill();
    EXPECT_FALSE(device.PrintCheck(check, false));
    EXPECT_EQ(device.GetLastError(), "Paper out");
    // The manager answered: the connection is fine, payments need not be blocked.
    EXPECT_FALSE(device.blockOnFailure);
    EXPECT_EQ(check.fiscalNumber, "");
    EXPECT_TRUE(LogHas("Paper out"));

    sim->SetFault(Fault("garbage bytes=30 kind=Check"));
    EXPECT_FALSE(device.PrintCheck(check, false));
    EXPECT_FALSE(device.blockOnFailure);
    EXPECT_EQ(check.fiscalNumber, "");
    EXPECT_TRUE(sim->Records().empty());

    // The check goes only once the manager took its file name: an error answer to the file
    // message is tried once more on a new connection, and a second one stops the attempt
    // before the check is sent.
    sim->SetFault(Fault("error code=4 kind=File count=1 text=Busy"));
    ASSERT_TRUE(device.PrintCheck(check, false)) << device.GetLastError();
    EXPECT_EQ(check.fiscalNumber, "1");
    sim->SetFault(Fault("error code=4 kind=File count=2 text=Busy"));
    EXPECT_FALSE(device.PrintCheck(check, false));
    EXPECT_EQ(device.LastAnswer(), AnswerKind::NotDelivered);
    EXPECT_EQ(sim->Records().size(), 1u);
}

TEST_F(InterfaceTest, ErrorAnswerToACashCommandFailsIt) {
    StartWith();
    sim->SetFault(Fault("error code=5 kind=Command count=1 text=Drawer jammed"));
    CFiscalCheck loan = CashLoan(250);
    EXPECT_FALSE(device.PrintCheck(loan, false));
    EXPECT_EQ(device.GetLastError(), "Drawer jammed");
    EXPECT_TRUE(device.PrintCheck(loan, false)) << device.GetLastError();
    ASSERT_EQ(sim->Records().size(), 1u);
}

TEST_F(InterfaceTest, LongAnswerStillGivesTheFiscalNumber) {
    StartWith();
    sim->SetFault(Fault("long bytes=20000 kind=Check"));
    CFiscalCheck check = Bill();
    ASSERT_TRUE(device.PrintCheck(check, false)) << device.GetLastError();
    EXPECT_EQ(check.fiscalNumber, "1");
}

TEST_F(InterfaceTest, FileMessageIsSentOnceMoreAfterAReconnect) {
    StartWith();
    sim->SetFault(Fault("close kind=File count=1"));
    CFiscalCheck check = Bill();
    ASSERT_TRUE(device.PrintCheck(check, false)) << device.GetLastError();
    EXPECT_EQ(Kinds(), (std::vector<std::string>{"Config", "File", "File", "Check"}));
    EXPECT_EQ(check.fiscalNumber, "1");
    EXPECT_EQ(sim->ConnectionsAccepted(), 2u);

    sim->SetFault(Fault("close kind=File"));
    EXPECT_FALSE(device.PrintCheck(check, false));
    EXPECT_EQ(device.GetLastError(), "Fiscal printer connect cut off.");
}

TEST_F(InterfaceTest, SavingTheDescriptionSendsNothingAndHandsTheCheckFileToTheJournal) {
    int port = ClosedPort();
    printer.testCommand = true;
    printer.checkPath = folder + "/";
    ConnectTo(port);
    CFiscalCheck check = Bill();
    EXPECT_TRUE(device.PrintCheck(check, true));
    auto files = CheckFiles();
    ASSERT_EQ(files.size(), 1u);
    EXPECT_TRUE(text::StartsWith(files[0].first, "1_B1001_")) << files[0].first;
    EXPECT_TRUE(text::EndsWith(files[0].first, ".ck6")) << files[0].first;
    EXPECT_EQ(Readable(files[0].second), kBillHeader +
                                             "M|1000|Room night|||1.000|100.00|80|||||4;4;|\n"
                                             "M|2000|Breakfast|||1.000|50.00|40|||||4;4;|\n"
                                             "=\n"
                                             "$|1|||150.00\n~@");
    EXPECT_FALSE(LogHas("Can't connect"));

    CFiscalCheck empty;
    empty.statusCode = kBillCheck;
    empty.checkNumber = "E1";
    EXPECT_TRUE(device.PrintCheck(empty, true));
    EXPECT_EQ(CheckFiles().size(), 1u);  // nothing to keep for a check without lines
}

TEST_F(InterfaceTest, TextLinesFromTheDisplayLabels) {
    configuration.values = {{"//display/cashier", "Cashier+No: "}, {"//display/company", "Company: "},
                            {"//display/guest", "Guest: "},       {"//display/room", "Room: "},
                            {"//display/reservation", "Conf: "},  {"//display/account", "Bill: "},
                            {"//display/tin", "TIN "},            {"//display/vat", "VAT "}};
    StartWith();
    CFiscalCheck check = Bill();
    check.checkMode = 3;  // no requisites
    check.checkNumber = " B1001 ";
    check.companyName = "  Northwind Trading Company International Holdings  ";
    check.guestFirstName = "";
    check.guestLastName = "Smith";
    check.companyExtra = "";
    check.companyTaxId = "7701234567";
    check.headerLine = "Thank you for staying with us";
    ASSERT_TRUE(device.PrintCheck(check, false));
    std::string body = LastCheckBody();
    auto line = [](const std::string& text) { return "I|1|" + text + std::string(40 - text.size(), ' ') + "|\n"; };
    EXPECT_EQ(body.substr(0, body.find("M|1000")),
              line("Cashier&No: 7 Anna") + line("Company: Northwind Trading Company Inter") + line("Guest: Smith") +
                  line("Room: 101") + line("Conf: F77") + line("Bill: B1001") + line("VAT 7701234567") +
                  "I|1|Thank you for staying with us|\n");
    // The account label makes the bill number the document number.
    EXPECT_NE(LastCheckMessage().find("||150.00|101|B1001||"), std::string::npos);

    // A text posting first: its wide description is the only text line, in code page 1252.
    check = Bill();
    check.postings[0].line_type = 20;
    check.postings[0].w_description = platform::Utf8ToUtf16("Caf\xc3\xa9 voucher");
    ASSERT_TRUE(device.PrintCheck(check, false));
    body = LastCheckBody();
    EXPECT_EQ(body.substr(0, body.find("M|")), "I|1|Caf\xe9 voucher|\n");
    EXPECT_NE(LastCheckMessage().find("^2|0|||\n"), std::string::npos);  // document type 2
}

TEST_F(InterfaceTest, ItemCodesSubCodesAndDescriptions) {
    configuration.values["//interface_cashier"] = "5";
    StartWith();
    CFiscalCheck check = Bill();
    check.checkMode = 3;
    check.postings.clear();
    auto add = [&check](struct_posting p) { check.postings.push_back(p); };
    struct_posting deposit = Posting(10, "Deposit", 10, "1");
    deposit.line_type = 4;
    add(deposit);
    struct_posting service = Posting(11, "Laundry", 10, "");  // the printer's tax
    service.line_type = 16;
    service.print_text = "1;2;";
    add(service);
    struct_posting cashierItem = Posting(12, "Minibar", 10, "3");
    cashierItem.line_type = 14;
    cashierItem.agent = "AG7";
    add(cashierItem);
    struct_posting interfaceItem = Posting(13, "Bar", 10, "3");
    interfaceItem.cashier_id = "5";
    add(interfaceItem);
    struct_posting agentItem = Posting(14, "Tour", 10, "3");
    agentItem.agent = "XXX";
    add(agentItem);
    struct_posting categoryItem = Posting(16, "Spa", 10, "3");
    categoryItem.category = "CAT: SPA";
    add(categoryItem);
    struct_posting wide = Posting(15, "ignored", 10, "3");
    wide.w_description = platform::Utf8ToUtf16("Завтрак");
    add(wide);
    printer.tax = "2";
    device.Connect(printer);
    ASSERT_TRUE(device.PrintCheck(check, false));
    std::string body = LastCheckBody();
    EXPECT_EQ(body.substr(0, body.find("=\n")),
              "D|10|Deposit|||1.000|10.00|80|||||4;4;|\n"
              "S|11|Laundry|||1.000|10.00|40|||||1;2;|\n"
              "M|12|Minibar|||1.000|10.00|20|||||7;1;|AG7|\n"
              "M|13|Bar|||1.000|10.00|20|||||7;1;|\n"
              "M|14|Tour|||1.000|10.00|20|||||4;11;|\n"
              "M|16|Spa|||1.000|10.00|20|||||CAT: SPA||\n"
              "M|15|\xd0\x97\xd0\xb0\xd0\xb2\xd1\x82\xd1\x80\xd0\xb0\xd0\xba|||1.000|10.00|20|||||4;4;|\n");
    // Payment descriptions are sent outside check mode 7.
    EXPECT_NE(body.find("$|1|Cash||150.00\n"), std::string::npos);

    // With the site code page set, wide descriptions go in code page 1252.
    check.codePage = "1251";
    wide.w_description = platform::Utf8ToUtf16("Caf\xc3\xa9");
    check.postings = {wide};
    ASSERT_TRUE(device.PrintCheck(check, false));
    EXPECT_NE(LastCheckBody().find("M|15|Caf\xe9|||"), std::string::npos);
}

TEST_F(InterfaceTest, GtinCodesAndRequisitesOfCheckMode7) {
    StartWith();
    CFiscalCheck check = Bill();
    check.cashierTaxId = "123456";
    check.email = "guest@example.com";
    check.companyName = "Northwind";
    check.companyTaxId = "7701234567";
    ASSERT_TRUE(device.PrintCheck(check, false));
    std::string requisites = "R|1203|123456      |\nR|1008|guest@example.com|\nR|1227|Northwind|\nR|1228|7701234567  |\n";
    // One requisite block per item, all of them before the items.
    EXPECT_EQ(LastCheckBody().substr(0, 2 * requisites.size() + 6), requisites + requisites + "M|1000");

    // The printers' GTIN file gives the product codes.
    platform::WriteFile(Path("gtin.txt"), "2000,3000\n");
    configuration.gtinFile = Path("gtin.txt");
    device.Configure(configuration);
    device.Connect(printer);
    EXPECT_TRUE(LogHas("GTIN PRODUCT CODES: 2000 3000 "));
    ASSERT_TRUE(device.PrintCheck(check, false));
    std::string body = LastCheckBody();
    EXPECT_EQ(body.find("R|"), std::string::npos);
    EXPECT_NE(body.find("M|30000000001000|Room night|"), std::string::npos);
    EXPECT_NE(body.find("M|00000000002000|Breakfast|"), std::string::npos);
}

TEST_F(InterfaceTest, DocumentTypesAndGroupCodes) {
    StartWith();
    struct Case {
        int status;
        bool depositTax;
        std::string documentLine;
        std::string firstItem;
    };
    const Case cases[] = {
        {0, false, "^1|0|||\n", "M|1000|"},
        {1, false, "^3|0|||\n", "M|1000|"},   // a deposit without a deposit tax
        {1, true, "^1|0|||\n", "M|1000|"},
        {20, false, "^3|0|||\n", "M|1000|"},
        {2, false, "^1|0|||\n", "M|10001|"},  // payment checks carry the tax group in the code
        {15, false, "^1|0|||\n", "M|10001|"},
    };
    for (const Case& c : cases) {
        CFiscalCheck check = Bill();
        check.statusCode = static_cast<CheckStatusCode>(c.status);
        if (c.depositTax) {
            check.depositTemplate.tax_group = "1";
        }
        ASSERT_TRUE(device.PrintCheck(check, false)) << c.status;
        std::string message = LastCheckMessage();
        EXPECT_NE(message.find(c.documentLine), std::string::npos) << c.status;
        EXPECT_NE(message.find("\n" + c.firstItem), std::string::npos) << c.status;
        if (c.status == 1) {
            EXPECT_NE(message.find("|3;10;|"), std::string::npos);
        }
    }
}

TEST_F(InterfaceTest, CashLoanAndPickUpAreCommands) {
    StartWith();
    CFiscalCheck loan = CashLoan(250);
    ASSERT_TRUE(device.PrintCheck(loan, false));
    CFiscalCheck pickup = loan;
    pickup.statusCode = kCashPickup;
    pickup.paymentsTotal = -80;
    ASSERT_TRUE(device.PrintCheck(pickup, false));
    std::vector<std::string> messages = sim->Messages();
    ASSERT_EQ(messages.size(), 3u);  // identity, loan, pick-up: no file or check messages
    EXPECT_EQ(Readable(messages[1]), "1^FISC^Cash Loan^1^Manager Anna^^F^0^1^1^0^1^1^1^1^^250.00^@");
    EXPECT_EQ(Readable(messages[2]), "1^FISC^Cash Pickup^1^Manager Anna^^F^0^1^1^0^1^1^1^1^^80.00^@");

    printer.checkPath = folder + "/";
    device.Connect(printer);
    EXPECT_TRUE(device.PrintCheck(loan, true));
    auto files = CheckFiles();
    ASSERT_EQ(files.size(), 1u);
    EXPECT_EQ(Readable(files[0].second), Readable(messages[1]));
}

TEST_F(InterfaceTest, RefundTenderTestsAndTestCommand) {
    configuration.values["//printer_ini/check_refund"] = "1";
    StartWith();
    CFiscalCheck refund = Bill();
    refund.statusCode = kRefundCheck;
    struct_posting card = Cash(-50);
    card.pay_kind = 3;
    card.trx_code = 20;
    refund.payments = {Cash(-100), card};
    refund.cashReturned = -100;
    ASSERT_TRUE(device.PrintCheck(refund, false));
    EXPECT_EQ(Kinds(), (std::vector<std::string>{"Config", "Test", "File", "Check"}));
    EXPECT_NE(Readable(sim->Messages()[1]).find("^^9|-100.00|0|0000|-100.00^"), std::string::npos);
    EXPECT_TRUE(LogHas("Start tender test 1:"));

    // With the test command every payment is tested, whatever its kind.
    printer.testCommand = true;
    device.Connect(printer);
    ASSERT_TRUE(device.PrintCheck(refund, false));
    std::vector<std::string> kinds = Kinds();
    EXPECT_EQ(std::vector<std::string>(kinds.begin() + 4, kinds.end()),
              (std::vector<std::string>{"Test", "Test", "File", "Check"}));
    EXPECT_NE(Readable(sim->Messages()[5]).find("^^20|-50.00|1|0000|-100.00^"), std::string::npos);
}

TEST_F(InterfaceTest, NetAmountsWhenThePrinterTakesThem) {
    StartWith();
    printer.netAmountSupport = true;
    device.Connect(printer);
    CFiscalCheck check = Bill();
    check.postings[0].net_amount = 83.333;
    check.postings[1].net_amount = 41.667;
    check.netTotal = 125.0;
    ASSERT_TRUE(device.PrintCheck(check, false));
    EXPECT_NE(LastCheckMessage().find("||125.00|101|"), std::string::npos);
    EXPECT_NE(LastCheckBody().find("M|1000|Room night|||1.000|83.33|80|"), std::string::npos);
    EXPECT_TRUE(LogHas("GP200 printer. Send net amount 125.00"));
    EXPECT_FALSE(LogHas("Net amount 125.00"));  // 83.33 + 41.67 makes the total

    check.postings[1].net_amount = 41.664;  // 83.33 + 41.66
    ASSERT_TRUE(device.PrintCheck(check, false));
    EXPECT_NE(LastCheckMessage().find("||124.99|101|"), std::string::npos);
    EXPECT_TRUE(LogHas("Net amount 124.99"));
}

TEST_F(InterfaceTest, LargeLinesAreSplitForTheDevice) {
    CNewInterface kindZero;
    kindZero.printerKind = 0;
    CFiscalCheck check;
    check.postingsTotal = 2500000;
    check.postings = {Posting(1, "Hall", 2499999.975, "1"), Posting(2, "Tea", 10, "1")};
    kindZero.SplitLargeLines(check);
    ASSERT_EQ(check.postings.size(), 4u);
    EXPECT_EQ(check.postings[0].trx_code, 2);
    EXPECT_DOUBLE_EQ(check.postings[1].trx_amount, 999999.99);
    EXPECT_NEAR(check.postings[2].trx_amount, 499999.995, 1e-6);
    EXPECT_DOUBLE_EQ(check.postings[3].trx_amount, 999999.99);

    // A large negative line shrinks towards zero as well.
    check.postings = {Posting(1, "Hall", 3000000, "1"), Posting(3, "Discount", -1500000, "1")};
    kindZero.SplitLargeLines(check);
    double sum = 0;
    for (const struct_posting& p : check.postings) {
        EXPECT_LE(std::abs(p.trx_amount), 999999.99);
        sum += p.trx_amount;
    }
    EXPECT_NEAR(sum, 1500000, 1e-6);

    CFiscalCheck cash;
    cash.statusCode = kCashPickup;
    cash.postingsTotal = 5000000;
    cash.postings = {Posting(1, "Cash", 5000000, "")};
    kindZero.SplitLargeLines(cash);
    EXPECT_EQ(cash.postings.size(), 1u);  // cash documents allow 100000000

    CNewInterface other;
    check.postings = {Posting(1, "Hall", 3000000, "1")};
    other.SplitLargeLines(check);
    EXPECT_EQ(check.postings.size(), 1u);

    // An amount no bounded number of lines carries is refused, the postings left as they are.
    for (double amount : {1e300, 1000 * 999999.99 + 1, std::numeric_limits<double>::infinity()}) {
        check.postings = {Posting(4, "Hall", amount, "1"), Posting(5, "Tea", 10, "1")};
        kindZero.SplitLargeLines(check);
        EXPECT_EQ(check.postings.size(), 2u) << amount;
        EXPECT_EQ(kindZero.GetLastError().rfind("Posting 4: amount ", 0), 0u) << kindZero.GetLastError();
    }
    check.postings = {Posting(4, "Hall", 1000 * 999999.99, "1")};
    kindZero.SplitLargeLines(check);
    EXPECT_EQ(check.postings.size(), 1000u);
    EXPECT_TRUE(kindZero.GetLastError().empty());
}

TEST_F(InterfaceTest, SlipsGoAsPrintMessagesInChunks) {
    StartWith();
    EXPECT_TRUE(device.PrintSlip(printer));  // no header lines: nothing to print
    EXPECT_TRUE(sim->Messages().empty());
    printer.printHeader = "HEAD*1";
    printer.headerLines = {"GRAND HOTEL", "Main street 1"};
    printer.slipLines = std::vector<std::string>(40, std::string(60, 's'));
    ASSERT_TRUE(device.PrintSlip(printer));
    std::vector<std::string> messages = sim->Messages();
    ASSERT_EQ(messages.size(), 6u);  // header; 40 slip lines over 1900 characters: 31 and 9
    EXPECT_EQ(Readable(messages[1]),
              "1^FISC^Print^99^QEL^^F^0^1^1^0^1^1^99^1^^0|0^0|0|2\n\nGRAND HOTEL\r\nMain street 1@");
    EXPECT_EQ(Readable(messages[0]).substr(0, 14), "File^1_HEAD_1_");
    EXPECT_NE(Readable(messages[3]).find("0|0^0|0|31\n"), std::string::npos);
    EXPECT_NE(Readable(messages[5]).find("0|0^0|0|9\n"), std::string::npos);
    EXPECT_TRUE(device.ShowMessage(printer, "Hello"));
}

TEST_F(InterfaceTest, EmptyMessageIsNotSent) {
    StartWith();
    EXPECT_FALSE(device.SendAndWait("", 0, nullptr));
    EXPECT_TRUE(LogHas("Empty command"));
    EXPECT_FALSE(device.blockOnFailure);
    EXPECT_TRUE(sim->Messages().empty());
}

}  // namespace
