// FiscoraService with POS expansion on, the built libLGXClient.so beside it and the
// check-database server stand-in on 127.0.0.1:5196 (each test in a network namespace of its own
// where the machine allows it): the restaurant payment that the POS interface posted is
// registered item by item; when the server is down, silent or has no such check, the payment is
// registered as the PMS booked it, once, and nothing is lost.
#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "ServiceRun.h"
#include "platform/FileSystem.h"
#include "platform/Text.h"

namespace {

// The PMS of the small open date with the dinner paid at the restaurant.
bool MakePms(ServiceRun& run) {
    pmsgen::Options options;
    options.openDay = pmsgen::OpenDay::Small;
    options.restaurantPayment = true;
    std::string error;
    bool made = run.ServiceFolder::MakePms(options, error);
    EXPECT_TRUE(made) << error;
    return made;
}

// The POS check's date as the POS reference and the server's request carry it.
std::string OpenedAt(const std::string& reference) {
    const std::string t = reference.substr(7);
    return t.substr(0, 4) + "-" + t.substr(4, 2) + "-" + t.substr(6, 2) + "T19:30:00";
}

TEST(PosExpansionTest, TheRestaurantPaymentIsRegisteredItemByItemWithPrinterCodes) {
    ServiceRun run;
    ASSERT_TRUE(MakePms(run));
    std::string error;
    ASSERT_TRUE(run.StartCheckDatabase(error)) << error;
    ASSERT_TRUE(run.StartSimulators());
    ASSERT_TRUE(run.Configure({{"<code_convertion>0<", "<code_convertion>1<"}}));
    ASSERT_TRUE(run.StartService()) << run.Diagnostics();
    const pmsgen::Summary& pms = run.Pms();
    std::vector<int> due = run.DuePayments();
    ASSERT_EQ(due.size(), 6u);
    ASSERT_TRUE(run.WaitForStatus(due, "Y", 60000)) << run.Diagnostics();
    EXPECT_EQ(run.StopService(), 0) << run.Diagnostics();

    ExpectRegisteredOnce(run, due);
    ServiceRun::Registered document = DocumentOf(run, pms.restaurantPayment);
    struct Expected {
        const char* kind;
        const char* code;
        const char* description;
        double quantity, amount;
        const char* subCode;
    };
    // The tender is no item; the discount stays a line of its own; the drink's own sub-code
    // ("x;1;") takes the first character of the interface cashier's; the others take it whole.
    // The printer codes 2 to 6 come from the empty code table; the device appends the tax group
    // (1, from the POS tax bit 128) to the code of a sale.
    const Expected expected[] = {{"M", "21", "Борщ", 2, 900.00, "4;4;"},
                                 {"M", "31", "Бефстроганов", 1, 1250.00, "4;4;"},
                                 {"M", "41", "Морс клюквенный", 2, 360.00, "4;1;"},
                                 {"D", "5", "Скидка 10%", 1, -251.00, "4;4;"},
                                 {"M", "61", "Обслуживание 10%", 1, 225.90, "4;4;"}};
    ASSERT_EQ(document.items.size(), std::size(expected)) << run.Diagnostics();
    for (size_t i = 0; i < std::size(expected); ++i) {
        SCOPED_TRACE(i);
        const ServiceRun::Item& item = document.items[i];
        EXPECT_EQ(item.kind, expected[i].kind);
        EXPECT_EQ(item.code, expected[i].code);
        EXPECT_EQ(item.description, expected[i].description);
        EXPECT_DOUBLE_EQ(text::ToDouble(item.quantity), expected[i].quantity);
        EXPECT_NEAR(text::ToDouble(item.amount), expected[i].amount, 0.001);
        EXPECT_EQ(item.subCode, expected[i].subCode);
    }
    EXPECT_NEAR(SumOfAmounts(document.items), 2484.90, 0.001);
    EXPECT_EQ(run.Query("select group_concat(pms_code || '=' || printer_code, ' ') from "
                        "(select * from qel_code_convertion order by printer_code)"),
              "1101=2 1205=3 2301=4 9001=5 9500=6");
    // The server was asked once, with the opening time of the reference.
    std::vector<CheckDbSimulator::Frame> requests = run.CheckDatabase().Requests();
    ASSERT_EQ(requests.size(), 1u);
    EXPECT_EQ(requests[0].body,
              "{\"rvc\":1,\"cknum\":42,\"open_time\":\"" + OpenedAt(pms.posReference) + "\"}");
    EXPECT_EQ(run.LogCount("Read Interface Check " + pms.posReference), 1u);
    EXPECT_EQ(run.LogCount("libLGXClient.so loaded"), 1u);
    EXPECT_EQ(run.LogCount("not expanded"), 0u);
    EXPECT_TRUE(platform::FileExists(run.Path("LGXClient.log")));
}

// On a printer that registers net amounts the items carry their shares of the POS posting's net
// amount: the document holds the dishes, each with its net amount, and a total that is the
// posting's net amount, not 0.00.
TEST(PosExpansionTest, OnAPrinterOfNetAmountsTheItemsCarryTheirNetAmounts) {
    ServiceRun run;
    ASSERT_TRUE(MakePms(run));
    // The restaurant's price holds 20 % VAT. (In payments-only mode the payment is the check's
    // posting, so its row carries the net amount.)
    const double gross = 2484.90;
    const double net = 2070.75;
    ASSERT_TRUE(run.Execute(text::Format("update financial_transactions set net_amount=%.2f where trx_no=%d", net,
                                         run.Pms().restaurantPayment)));
    std::string error;
    ASSERT_TRUE(run.StartCheckDatabase(error)) << error;
    ASSERT_TRUE(run.StartSimulators());
    ASSERT_TRUE(run.Configure({{"</printer_ini>", "<net_amount_support>1</net_amount_support></printer_ini>"}}));
    ASSERT_TRUE(run.StartService()) << run.Diagnostics();
    const pmsgen::Summary& pms = run.Pms();
    std::vector<int> due = run.DuePayments();
    ASSERT_TRUE(run.WaitForStatus(due, "Y", 60000)) << run.Diagnostics();
    EXPECT_EQ(run.StopService(), 0) << run.Diagnostics();

    ServiceRun::Registered document = DocumentOf(run, pms.restaurantPayment);
    const double grossItems[] = {900.00, 1250.00, 360.00, -251.00, 225.90};
    ASSERT_EQ(document.items.size(), std::size(grossItems)) << run.Diagnostics();
    for (size_t i = 0; i < std::size(grossItems); ++i) {
        EXPECT_NEAR(text::ToDouble(document.items[i].amount), grossItems[i] * net / gross, 0.011) << i;
    }
    EXPECT_NEAR(SumOfAmounts(document.items), net, 0.001);
    EXPECT_EQ(document.total, text::Format("%.2f", net));
    EXPECT_EQ(run.LogCount(text::Format("GP200 printer. Send net amount %.02f", net)), 1u) << run.Diagnostics();
}

size_t Occurrences(const std::string& text, const std::string& what) {
    size_t count = 0;
    for (size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + what.size())) {
        ++count;
    }
    return count;
}

// A reply frame of the check-database server to the service's first request.
std::string Reply(const std::string& body, bool ended = true) {
    return "\x01Get\x1c" "01\x1c" + body + (ended ? "\x04" : "");
}

// A POS check the service cannot use, and what its log and the client library's log say of it.
struct UnusableCheck {
    const char* name;
    bool serverRuns;
    CheckDbSimulator::ReplyMode mode;
    bool knowsTheCheck;
    const char* reason;
    // A hostile server's reply and the line of the client library's log that tells of it.
    std::string reply;
    std::string clientLine;
};

// The payment is registered as the PMS booked it, once, and the service stops as asked.
void ExpectRegisteredAsBooked(const UnusableCheck& c) {
    SCOPED_TRACE(c.name);
    ServiceRun run;
    ASSERT_TRUE(MakePms(run));
    if (!c.knowsTheCheck) {
        ASSERT_TRUE(platform::WriteFile(run.Path("pos_checks.json"), "[]"));
    }
    std::string error;
    ASSERT_TRUE(run.StartCheckDatabase(error)) << error;
    run.CheckDatabase().SetReplyMode(c.mode);
    if (!c.reply.empty()) {
        run.CheckDatabase().SetRawReply(c.reply);
    }
    if (!c.serverRuns) {
        // Stopped after the service's library would have learnt its address.
        ASSERT_TRUE(platform::WriteFile(run.Path("LGXConfig.json"), "{\"serveraddress\":\"127.0.0.1\"}"));
        run.StopCheckDatabase();
    }
    ASSERT_TRUE(run.StartSimulators());
    ASSERT_TRUE(run.Configure());
    ASSERT_TRUE(run.StartService()) << run.Diagnostics();
    const pmsgen::Summary& pms = run.Pms();
    std::vector<int> due = run.DuePayments();
    ASSERT_TRUE(run.WaitForStatus(due, "Y", 60000)) << run.Diagnostics();
    // Further polling cycles find nothing left to register.
    ServiceRun::WaitUntil([] { return false; }, 1500);
    EXPECT_EQ(run.StopService(), 0) << run.Diagnostics();

    ExpectRegisteredOnce(run, due);
    ServiceRun::Registered document = DocumentOf(run, pms.restaurantPayment);
    ASSERT_EQ(document.items.size(), 1u) << "the payment as booked";
    EXPECT_NEAR(SumOfAmounts(document.items), 2484.90, 0.001);
    EXPECT_EQ(run.LogCount("Micros posting " + pms.posReference + " not expanded"), 1u) << run.Diagnostics();
    EXPECT_GE(run.LogCount(c.reason), 1u) << run.Diagnostics();
    if (!c.clientLine.empty()) {
        std::string clientLog;
        ASSERT_TRUE(platform::ReadFile(run.Path("LGXClient.log"), clientLog));
        EXPECT_EQ(Occurrences(clientLog, c.clientLine), 1u) << clientLog.substr(0, 4096);
        EXPECT_LT(clientLog.size(), 64u * 1024) << "the log does not grow with the reply";
    }
    EXPECT_EQ(run.Query("select count(*) from qel_code_convertion"), "0");
}

TEST(PosExpansionTest, WithoutAUsablePosCheckThePaymentIsRegisteredAsBookedOnce) {
    const UnusableCheck cases[] = {
        {"server stopped", false, CheckDbSimulator::ReplyMode::Normal, true, "Ledgix server is not available", "", ""},
        {"server silent", true, CheckDbSimulator::ReplyMode::Silent, true, "No reply from Ledgix server", "", ""},
        {"check unknown", true, CheckDbSimulator::ReplyMode::Normal, false, "Check 42 of revenue centre 1 not found",
         "", ""},
    };
    for (const UnusableCheck& c : cases) {
        ExpectRegisteredAsBooked(c);
    }
}

// Whatever a server, or a host in its place, answers: the service lives on and stops as asked, the
// library's log says what was wrong in one line, and the payment is registered as booked.
TEST(PosExpansionTest, AHostileReplyCostsThePaymentItsItemsAndNothingElse) {
    const std::string dropped = "IP Channel: Frame longer than 1048576 bytes: connection dropped";
    const UnusableCheck cases[] = {
        // The library drops the connection at its frame limit.
        {"endless frame", true, CheckDbSimulator::ReplyMode::Normal, true, "No reply from Ledgix server",
         Reply("{" + std::string(2 << 20, 'x'), false), dropped},
        {"10 MB reply", true, CheckDbSimulator::ReplyMode::Normal, true, "No reply from Ledgix server",
         Reply("{\"dtl\":[{\"name\":\"" + std::string(10 << 20, 'y') + "\"}]}"), dropped},
        // One warning, not a line per bracket, and a check without lines.
        {"a million closing brackets", true, CheckDbSimulator::ReplyMode::Normal, true, "No postings",
         Reply("{" + std::string(1000000, ']')), "Invalid bracket nesting level"},
        // Amounts that are no decimal numbers never reach a check, as 0 or otherwise.
        {"amounts nan, inf and hex", true, CheckDbSimulator::ReplyMode::Normal, true,
         "Amount or quantity out of range in the line above",
         Reply(R"({"rvc":1,"cknum":42,"total":"nan","dtl":[{"type":"M","objnum":21,"name":"A","qty":1,"ttl":"inf"},)"
               R"({"type":"M","objnum":31,"name":"B","qty":1,"ttl":"0x10"}]})"),
         ""},
    };
    for (const UnusableCheck& c : cases) {
        ExpectRegisteredAsBooked(c);
    }
}

}  // namespace
