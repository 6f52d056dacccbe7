#include "devices/CzechSaleRequest.h"

#include <gtest/gtest.h>

#include "SaleFrame.h"

namespace {

// A reply in the service's framing with the JSON object as its field.
std::string Reply(const std::string& json) {
    return SaleFrame::Write("000000001", 1, "Sale", {json});
}

TEST(CzechSaleRequestTest, ReplyParsing) {
    struct Case {
        const char* name;
        std::string reply;
        bool success;
        std::string fik, bkp, pkp, errorMessage;
    } cases[] = {
        {"success", Reply(R"({"SUCCESS":"true","FIK":"b3a0-ff","BKP":"1-2","PKP":"a\/b+c="})"), true,
         "b3a0-ff", "1-2", "a/b+c=", ""},
        {"keys in any case", Reply(R"({"success":"true","fik":"x","Bkp":"y"})"), true, "x", "y", "", ""},
        {"TRUE in capitals is no success", Reply(R"({"SUCCESS":"TRUE","FIK":"x"})"), false, "x", "", "",
         "Unknown error"},
        {"error with its code and text", Reply(R"({"SUCCESS":"false","ERRORCODE":"-1","ERRORTEXT":"Busy"})"),
         false, "", "", "", "-1 Busy"},
        {"error text alone", Reply(R"({"SUCCESS":"false","ERRORTEXT":"Busy"})"), false, "", "", "", " Busy"},
        {"offline codes with the error", Reply(R"({"SUCCESS":"false","ERRORCODE":"-1","PKP":"p\/q","BKP":"b"})"),
         false, "", "b", "p/q", "-1 "},
        {"fewer than three parts", "only\x1c" "two", false, "", "", "", "Incorrect response format"},
        {"commas and colons inside values", Reply(R"({"ERRORTEXT":"a, b: c","ERRORCODE":"5"})"), false, "", "",
         "", "5 a, b: c"},
        {"an escaped quote does not end the value",
         Reply(R"({"ERRORTEXT":"say \"no\", then","ERRORCODE":"6"})"), false, "", "", "",
         R"(6 say \"no\", then)"},
        {"an object inside the object", Reply(R"({"SUCCESS":"true",{"FIK":"inner","BKP":"b"}})"), true, "inner", "b",
         "", ""},
        {"written over several lines", Reply("{\n  \"SUCCESS\" : \"true\",\n  \"FIK\" : \"x\"\n}\n"), true, "x",
         "", "", ""},
        {"other members are passed over", Reply(R"({"SUCCESS":"true","WARNINGS":["a,b"],"FIK":"x"})"), true, "x",
         "", "", ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        CzechSaleRequest request;
        request.ParseReply(c.reply);
        EXPECT_EQ(request.success, c.success);
        EXPECT_EQ(request.fik, c.fik);
        EXPECT_EQ(request.bkp, c.bkp);
        EXPECT_EQ(request.pkp, c.pkp);
        EXPECT_EQ(request.errorMessage, c.errorMessage);
    }
}

TEST(CzechSaleRequestTest, DeeplyNestedRepliesEndQuickly) {
    // Every level is read twice; past the depth limit nothing more is read.
    auto nested = [](int levels) {
        std::string json;
        for (int i = 0; i < levels; ++i) {
            json += "{\"A\":\"1\",";
        }
        return json + "\"SUCCESS\":\"true\"" + std::string(static_cast<size_t>(levels), '}');
    };
    CzechSaleRequest deep;
    deep.ParseReply(Reply(nested(1500)));
    EXPECT_FALSE(deep.success);
    CzechSaleRequest shallow;
    shallow.ParseReply(Reply(nested(CzechSaleRequest::kMaxReplyDepth)));
    EXPECT_TRUE(shallow.success);
}

TEST(CzechSaleRequestTest, ValuesAreEscapedSoThatAPmsTextCannotChangeTheRequest) {
    CzechSaleRequest request;
    request.AddMember("ReceiptNumber", "F\"1\",\"TotalAmount\":\"0.00");
    request.AddMember("CertFile", "C:\\certs\\eet.p12");
    request.AddMember("PosID", std::string("7\x01", 2));
    request.AddMember("SaleDateTime", "2026-03-14T14:00:00+01:00");
    EXPECT_EQ(request.JsonObject(),
              R"({"ReceiptNumber":"F\"1\",\"TotalAmount\":\"0.00","CertFile":"C:\\certs\\eet.p12",)"
              R"("PosID":"7\u0001","SaleDateTime":"2026-03-14T14:00:00+01:00"})");
    // A strict reader gets every value back as it was, and no member more.
    std::vector<std::pair<std::string, std::string>> members;
    std::string error;
    ASSERT_TRUE(SaleFrame::ReadJson(request.JsonObject(), members, error)) << error;
    ASSERT_EQ(members.size(), 4u);
    EXPECT_EQ(members[0].second, "F\"1\",\"TotalAmount\":\"0.00");
    EXPECT_EQ(members[1].second, "C:\\certs\\eet.p12");
    EXPECT_EQ(members[2].second, std::string("7\x01", 2));
}

}  // namespace
