#include "MapiSim.h"

#include <gtest/gtest.h>

#include <algorithm>

#include "CheckRecord.h"
#include "platform/TempFolder.h"
#include "platform/Text.h"

namespace {

const std::string kSale =
    "150.00#13.64#100.00#50.00#1.00#01#1##1#000001##=1000#Room & view#unit#1.00#100.00#100.00#1.00#9.09#@"
    "2000#Breakfast#unit#2.00#25.00#50.00#0.00#4.55#@&";

FaultSetting Fault(const std::string& line) {
    FaultSetting fault;
    std::string error;
    EXPECT_TRUE(fault.Parse(line, error)) << error;
    return fault;
}

std::vector<std::string> Fields(const std::string& reply) {
    return text::Split(reply.substr(0, reply.size() - 1), '#');
}

TEST(TaxBillTest, ACommandEndsOnlyAtTheEndMarkAfterAStockLineOrTheReturnFields) {
    const std::string empty = "10.00#0.00#10.00#0.00#0.00#01#1##1#000002##=&";
    struct Case {
        std::string bytes;
        size_t length;
    } cases[] = {
        {kSale, kSale.size()},
        {kSale.substr(0, 60), 0},                                // the '&' of "Room & view" ends nothing
        {kSale + "R#1#2#&", kSale.size()},                       // the first of two
        {empty + "R#", empty.size()},                            // a sale without stock lines
        {"R#100000001#20260101100000-100000001#&", 38},
        {"R#100000001#2026", 0},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(TaxBill::CommandLength(c.bytes), c.length) << c.bytes;
    }
}

TEST(TaxBillTest, ASaleIsTakenApartFieldByFieldAndBrokenOnesAreRefusedWithTheReason) {
    TaxBill bill;
    std::string error;
    ASSERT_TRUE(TaxBill::Parse(kSale, bill, error)) << error;
    EXPECT_FALSE(bill.isReturn);
    EXPECT_EQ(bill.total, "150.00");
    EXPECT_EQ(bill.nonCash, "50.00");
    EXPECT_EQ(bill.sequence, "000001");
    EXPECT_EQ(bill.SequenceKey(), "01/1/000001");
    ASSERT_EQ(bill.stocks.size(), 2u);
    EXPECT_EQ(bill.stocks[0].name, "Room & view");
    EXPECT_EQ(bill.stocks[1].quantity, "2.00");
    EXPECT_EQ(bill.StocksTotal(), "150.00");

    struct Case {
        std::string command, reason;
    } broken[] = {
        {"150.00#13.64#100.00#50.00#1.00#01#1##1#000001#=&", "header needs 11"},
        {"150.00#13.64#100.00#40.00#1.00#01#1##1#000001##=&", "do not add up"},
        {"150.00#13.64#100.00#50.00#1.00#01#1#4401#1#000001##=&", "document type 1"},
        {"150.00#13.64#100.00#50.00#1.00#01#1##3#000001##=&", "document type 3"},
        {"150.00#13.64#100.00#50.00#1.00#01#1##1#1##=&", "six digits"},
        {"150.00#13.64#100.00#50.00#1.00#01#1##1#000000##=&", "six digits"},
        {"1x0.00#13.64#100.00#50.00#1.00#01#1##1#000001##=&", "not an amount"},
        {"150.00#13.64#100.00#50.00#1.00##1##1#000001##=&", "no district"},
        {"150.00#13.64#100.00#50.00#1.00#01#1##1#000001##=1000#Room#unit#1.00#100.00#100.00#0.00#@&",
         "needs 8 fields"},
        {"150.00#13.64#100.00#50.00#1.00#01#1##1#000001##=1000#Room#pcs#1.00#1.00#1.00#0.00#0.00#@&",
         "bad stock line"},
        {"R#1#2#3#&", "a return is"},
        {"R##2#&", "names no sale"},
        {"150.00#13.64", "no end mark"},
    };
    for (const Case& c : broken) {
        EXPECT_FALSE(TaxBill::Parse(c.command, bill, error)) << c.command;
        EXPECT_NE(error.find(c.reason), std::string::npos) << c.command << ": " << error;
    }
}

TEST(MapiSimTest, ASaleIsRegisteredOnceARepeatGetsItsAnswerAndAnotherSaleUnderItsNumberIsRefused) {
    platform::TempFolder temp;
    MapiSim::Options options;
    options.recordsPath = temp.File("bills.jsonl");
    MapiSim sim(options);
    bool cut = false;
    std::string reply = sim.Reply(kSale, cut);
    std::vector<std::string> fields = Fields(reply);
    ASSERT_EQ(fields.size(), 5u) << reply;
    EXPECT_EQ(fields[0], "0");
    EXPECT_EQ(fields[1], "100000001");
    EXPECT_LE(fields[4].size(), 25u);
    EXPECT_EQ(reply.back(), '&');

    EXPECT_EQ(sim.Reply(kSale, cut), reply);
    EXPECT_EQ(sim.Repeats(), 1u);
    std::string other = text::ReplaceAll(kSale, "Breakfast", "Dinner");
    EXPECT_EQ(sim.Reply(other, cut), "1#3#Bill number 000001 of register 1 is taken&");
    // Another register may use the same number.
    std::string second = sim.Reply(text::ReplaceAll(kSale, "#01#1##1#", "#01#2##1#"), cut);
    EXPECT_EQ(Fields(second)[1], "100000002");
    ASSERT_EQ(sim.Registrations().size(), 2u);

    std::string records = temp.Read("bills.jsonl");
    std::vector<std::string> lines = text::Split(records, '\n');
    ASSERT_EQ(lines.size(), 3u);  // two lines and the empty rest
    EXPECT_EQ(RecordText(lines[0], "kind"), "Sale");
    EXPECT_EQ(RecordText(lines[0], "fiscalNumber"), "100000001");
    EXPECT_EQ(RecordText(lines[0], "title"), fields[4]);
    EXPECT_EQ(RecordText(lines[0], "sequence"), "000001");
    EXPECT_NE(lines[0].find("\"name\":\"Room & view\""), std::string::npos) << lines[0];
}

TEST(MapiSimTest, AReturnNeedsTheSalesNumberAndPrintedFileNameAndIsRegisteredOnce) {
    MapiSim sim(MapiSim::Options{});
    bool cut = false;
    std::vector<std::string> sale = Fields(sim.Reply(kSale, cut));
    std::string returnCommand = "R#" + sale[1] + "#" + sale[4] + "#&";
    EXPECT_EQ(sim.Reply("R#999#" + sale[4] + "#&", cut), "1#4#Bill 999 not found&");
    EXPECT_EQ(Fields(sim.Reply("R#" + sale[1] + "#other#&", cut))[1], "5");
    std::string reply = sim.Reply(returnCommand, cut);
    EXPECT_EQ(Fields(reply)[0], "0");
    EXPECT_NE(Fields(reply)[1], sale[1]);
    EXPECT_EQ(sim.Reply(returnCommand, cut), reply);
    std::vector<MapiSim::Registration> all = sim.Registrations();
    ASSERT_EQ(all.size(), 2u);
    EXPECT_TRUE(all[1].bill.isReturn);
    EXPECT_EQ(all[1].bill.saleFiscalNumber, sale[1]);
}

TEST(MapiSimTest, FaultsDecideWhetherTheBillIsRegisteredAndWhatTheAnswerLooksLike) {
    struct Case {
        std::string fault;
        size_t registered;
        bool cut;
        std::string answerStart;  // "" for no answer
    } cases[] = {
        {"close", 0, false, ""},
        {"error code=7 text=Register is blocked", 0, false, "1#7#Register is blocked&"},
        {"cut bytes=5", 1, true, "0#100"},
        {"garbage bytes=20", 1, false, "\xfe#"},
        {"delay ms=1", 1, false, "0#100000001#"},
        {"error kind=Return", 1, false, "0#100000001#"},
    };
    for (const Case& c : cases) {
        MapiSim sim(MapiSim::Options{});
        sim.SetFault(Fault(c.fault));
        bool cut = false;
        std::string answer = sim.Reply(kSale, cut);
        EXPECT_EQ(sim.Registrations().size(), c.registered) << c.fault;
        EXPECT_EQ(cut, c.cut) << c.fault;
        EXPECT_EQ(answer.substr(0, c.answerStart.size()), c.answerStart) << c.fault;
        EXPECT_EQ(answer.empty(), c.answerStart.empty()) << c.fault;
    }
}

TEST(MapiSimTest, CommandsOverTheSocketAreAnsweredOneByOneEvenWhenTheyArriveInPieces) {
    MapiSim sim(MapiSim::Options{});
    std::string error;
    ASSERT_TRUE(sim.Start(error)) << error;
    platform::Socket client;
    uint32_t loopback = 0;
    ASSERT_TRUE(platform::Socket::Resolve("127.0.0.1", loopback));
    ASSERT_TRUE(client.Create(platform::Socket::Kind::Tcp));
    ASSERT_TRUE(client.Connect(loopback, sim.Port(), 2000));
    std::string both = kSale + "R#100000001#";
    ASSERT_TRUE(client.SendAll(both.data(), 40));
    ASSERT_TRUE(client.SendAll(both.data() + 40, both.size() - 40));
    std::string received;
    char buffer[4096];
    while (std::count(received.begin(), received.end(), '&') < 1 &&
           client.WaitReadable(5000) == platform::Socket::WaitResult::Ready) {
        long n = client.Receive(buffer, sizeof buffer);
        ASSERT_GT(n, 0);
        received.append(buffer, static_cast<size_t>(n));
    }
    std::vector<std::string> sale = Fields(received);
    ASSERT_EQ(sale.size(), 5u) << received;
    std::string rest = sale[4] + "#&";
    ASSERT_TRUE(client.SendAll(rest.data(), rest.size()));
    received.clear();
    while (received.empty() || received.back() != '&') {
        ASSERT_EQ(client.WaitReadable(5000), platform::Socket::WaitResult::Ready);
        long n = client.Receive(buffer, sizeof buffer);
        ASSERT_GT(n, 0);
        received.append(buffer, static_cast<size_t>(n));
    }
    EXPECT_EQ(Fields(received)[0], "0") << received;
    EXPECT_EQ(sim.Commands().size(), 2u);
    EXPECT_EQ(sim.Registrations().size(), 2u);
    sim.Stop();
}

}  // namespace
