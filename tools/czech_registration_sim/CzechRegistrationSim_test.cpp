#include "CzechRegistrationSim.h"

#include <gtest/gtest.h>

#include "platform/Text.h"

namespace {

// The members of a sale in their order, as a JSON object.
std::string SaleJson(const std::string& receipt, const std::string& firstSending = "") {
    std::string json = "{\"TaxPayerID\":\"CZ1212121218\",\"SiteID\":\"273\",\"SaleMode\":\"0\",";
    if (!firstSending.empty()) {
        json += "\"FirstSending\":\"" + firstSending + "\",";
    }
    json += "\"PosID\":\"7\",\"ReceiptNumber\":\"" + receipt +
            "\",\"SaleDateTime\":\"2026-03-14T14:00:00+01:00\",\"TotalAmount\":\"150.00\","
            "\"TotalAmountNonVAT\":\"0.00\",\"TotalBaseVAT1\":\"100.00\",\"TotalVAT1\":\"21.00\","
            "\"TotalBaseVAT2\":\"0.00\",\"TotalVAT2\":\"0.00\",\"TotalBaseVAT3\":\"0.00\",\"TotalVAT3\":\"0.00\","
            "\"TotalAmountVoucherUsing\":\"0.00\",\"TotalAmountVoucherSelling\":\"0.00\"}";
    return json;
}

std::string Frame(const std::string& json) { return SaleFrame::Write("000000001", 1, "Sale", {json}); }

// The JSON object of a reply frame.
std::string ReplyJson(const std::string& reply) {
    std::vector<std::string> parts = text::Split(reply, SaleFrame::kSeparator);
    return parts.size() > 2 ? parts[2] : "";
}

std::string ReplyMember(const std::string& reply, const std::string& name) {
    std::vector<std::pair<std::string, std::string>> members;
    std::string error;
    EXPECT_TRUE(SaleFrame::ReadJson(ReplyJson(reply), members, error)) << error;
    for (const auto& [key, value] : members) {
        if (key == name) {
            return value;
        }
    }
    return "";
}

FaultSetting Fault(const std::string& line) {
    FaultSetting fault;
    std::string error;
    EXPECT_TRUE(fault.Parse(line, error)) << error;
    return fault;
}

TEST(SaleFrameTest, RefusesWhatARegistrationServiceWouldRefuse) {
    std::string good = Frame(SaleJson("F1/100"));
    SaleFrame sale;
    std::string error;
    ASSERT_TRUE(SaleFrame::Read(good, sale, error)) << error;
    EXPECT_TRUE(sale.CheckMembers(error)) << error;
    EXPECT_EQ(sale.source, "000000001");
    EXPECT_EQ(sale.Member("ReceiptNumber"), "F1/100");

    std::string badSum = good;
    badSum[badSum.size() - 2] = badSum[badSum.size() - 2] == '0' ? '1' : '0';
    std::string wrongName = good;
    wrongName.replace(wrongName.find("PMS Fiscal"), 10, "PMS Fiscax");
    struct Case {
        const char* name;
        std::string frame;
        const char* reason;
    } cases[] = {
        {"checksum", badSum, "checksum"},
        {"interface", wrongName, "PMS Fiscal"},
        {"no end byte", good.substr(0, good.size() - 1), "not a frame"},
        {"two fields", SaleFrame::Write("1", 1, "Sale", {SaleJson("F1/1"), "x"}), "one field"},
        {"unescaped quote", Frame(SaleJson("F\"1/1")), "expected"},
        {"bad escape", Frame(SaleJson("C:\\certs/1")), "bad escape"},
        {"duplicate member", Frame("{\"PosID\":\"1\",\"PosID\":\"2\"}"), "twice"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_FALSE(SaleFrame::Read(c.frame, sale, error));
        EXPECT_NE(error.find(c.reason), std::string::npos) << error;
    }
    // An escaped quote and backslash are taken back to what they stand for.
    ASSERT_TRUE(SaleFrame::Read(Frame(SaleJson("F\\\"1\\\\2/1")), sale, error)) << error;
    EXPECT_EQ(sale.Member("ReceiptNumber"), "F\"1\\2/1");
}

TEST(SaleFrameTest, MembersMustComeInTheirOrderWithValuesOfTheirForm) {
    struct Case {
        const char* name;
        std::string from, to;
    } cases[] = {
        {"amount without cents", "\"TotalAmount\":\"150.00\"", "\"TotalAmount\":\"150\""},
        {"time without zone", "14:00:00+01:00", "14:00:00"},
        {"first sending true", "\"SaleMode\":\"0\",", "\"SaleMode\":\"0\",\"FirstSending\":\"true\","},
        {"missing member", "\"PosID\":\"7\",", ""},
        {"order", "\"TaxPayerID\":\"CZ1212121218\",\"SiteID\":\"273\"", "\"SiteID\":\"273\",\"TaxPayerID\":\"CZ1\""},
        {"unknown member", "\"SaleMode\":\"0\",", "\"SaleMode\":\"0\",\"Extra\":\"1\","},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        std::string json = SaleJson("F1/1");
        ASSERT_NE(json.find(c.from), std::string::npos);
        SaleFrame sale;
        std::string error;
        ASSERT_TRUE(SaleFrame::Read(Frame(text::ReplaceAll(json, c.from, c.to)), sale, error)) << error;
        EXPECT_FALSE(sale.CheckMembers(error));
    }
}

TEST(CzechRegistrationSimTest, CodesFollowTheSaleAndARepeatedSendingIsNoDuplicate) {
    CzechRegistrationSim sim({});
    bool closeNow = false;
    std::string first = sim.Reply(Frame(SaleJson("F1/100")), closeNow);
    EXPECT_FALSE(closeNow);
    EXPECT_EQ(ReplyMember(first, "SUCCESS"), "true");
    std::string fik = ReplyMember(first, "FIK");
    std::string pkp = ReplyMember(first, "PKP");
    EXPECT_EQ(fik.size(), 39u) << fik;
    EXPECT_EQ(ReplyMember(first, "BKP").size(), 44u);
    EXPECT_EQ(pkp.size(), 344u);
    // The slashes of the signature go out escaped.
    EXPECT_NE(ReplyJson(first).find("\\/"), std::string::npos);

    std::string repeat = sim.Reply(Frame(SaleJson("F1/100", "false")), closeNow);
    EXPECT_EQ(ReplyMember(repeat, "FIK"), fik);
    EXPECT_EQ(ReplyMember(repeat, "PKP"), pkp);
    std::string again = sim.Reply(Frame(SaleJson("F1/100")), closeNow);
    EXPECT_NE(ReplyMember(again, "FIK"), fik);
    std::string other = sim.Reply(Frame(SaleJson("F1/101")), closeNow);
    EXPECT_NE(ReplyMember(other, "PKP"), pkp);

    std::vector<CzechRegistrationSim::Registration> done = sim.Registrations();
    ASSERT_EQ(done.size(), 4u);
    EXPECT_EQ(done[0].outcome, "registered");
    EXPECT_EQ(done[1].outcome, "repeat");
    EXPECT_FALSE(done[1].firstSending);
    EXPECT_EQ(done[2].outcome, "duplicate");
    EXPECT_EQ(done[3].outcome, "registered");
}

TEST(CzechRegistrationSimTest, FaultsAnswerAsARegistrationServiceInTroubleWould) {
    CzechRegistrationSim sim({});
    bool closeNow = false;
    sim.SetFault(Fault("offline code=-1 text=Service unavailable"));
    std::string offline = sim.Reply(Frame(SaleJson("F1/1")), closeNow);
    EXPECT_EQ(ReplyMember(offline, "SUCCESS"), "false");
    EXPECT_EQ(ReplyMember(offline, "ERRORCODE"), "-1");
    EXPECT_EQ(ReplyMember(offline, "ERRORTEXT"), "Service unavailable");
    EXPECT_EQ(ReplyMember(offline, "PKP").size(), 344u);
    EXPECT_EQ(ReplyMember(offline, "FIK"), "");

    sim.SetFault(Fault("error code=4 count=1 text=Bad signature"));
    std::string refused = sim.Reply(Frame(SaleJson("F1/2")), closeNow);
    EXPECT_EQ(ReplyMember(refused, "ERRORCODE"), "4");
    EXPECT_EQ(ReplyMember(refused, "PKP"), "");
    // Counted down: the next sale goes through.
    EXPECT_EQ(ReplyMember(sim.Reply(Frame(SaleJson("F1/2")), closeNow), "SUCCESS"), "true");

    sim.SetFault(Fault("close"));
    EXPECT_EQ(sim.Reply(Frame(SaleJson("F1/3")), closeNow), "");
    EXPECT_TRUE(closeNow);
    closeNow = false;
    sim.SetFault(Fault("cut bytes=10"));
    EXPECT_EQ(sim.Reply(Frame(SaleJson("F1/4")), closeNow).size(), 10u);
    EXPECT_TRUE(closeNow);

    // A fault of one kind of sending lets the other kind through.
    closeNow = false;
    sim.SetFault(Fault("error code=9 kind=Repeat text=Not now"));
    EXPECT_EQ(ReplyMember(sim.Reply(Frame(SaleJson("F1/5")), closeNow), "SUCCESS"), "true");
    EXPECT_EQ(ReplyMember(sim.Reply(Frame(SaleJson("F1/5", "false")), closeNow), "ERRORCODE"), "9");
    sim.SetFault(Fault("error code=8 kind=Sale text=Not now"));
    EXPECT_EQ(ReplyMember(sim.Reply(Frame(SaleJson("F1/5", "false")), closeNow), "SUCCESS"), "true");
    EXPECT_EQ(ReplyMember(sim.Reply(Frame(SaleJson("F1/6")), closeNow), "ERRORCODE"), "8");
    // One of a receipt number meets the first sendings of that receipt only.
    sim.SetFault(Fault("error code=7 kind=receipt:F1/8 text=Not now"));
    EXPECT_EQ(ReplyMember(sim.Reply(Frame(SaleJson("F1/7")), closeNow), "SUCCESS"), "true");
    EXPECT_EQ(ReplyMember(sim.Reply(Frame(SaleJson("F1/8", "false")), closeNow), "SUCCESS"), "true");
    EXPECT_EQ(ReplyMember(sim.Reply(Frame(SaleJson("F1/8")), closeNow), "ERRORCODE"), "7");

    // A malformed request registers nothing and says why.
    sim.SetFault(Fault("none"));
    std::string bad = sim.Reply(Frame("{\"PosID\":\"7\"}"), closeNow);
    EXPECT_EQ(ReplyMember(bad, "ERRORCODE"), "3");
    ASSERT_EQ(sim.Rejections().size(), 1u);

    std::vector<std::string> outcomes;
    for (const auto& r : sim.Registrations()) {
        outcomes.push_back(r.receiptNumber + " " + r.outcome);
    }
    // The offline sale, the second try of F1/2, the cut one, F1/5 with its repeat, F1/7 and the
    // repeated sending of F1/8 are registered; the closed and the refused ones not.
    EXPECT_EQ(outcomes, (std::vector<std::string>{"F1/1 offline", "F1/2 registered", "F1/4 registered",
                                                  "F1/5 registered", "F1/5 repeat", "F1/7 registered",
                                                  "F1/8 registered"}));
}

}  // namespace
