#include <gtest/gtest.h>

#include <string>

#include "client_library/Config.h"
#include "client_library/GetRequest.h"
#include "client_library/NetStatus.h"
#include "platform/LocalTime.h"

namespace {

TEST(GetRequestTest, WritesNumbersWithoutBlanks) {
    GetRequest request;
    request.rvc = 5;
    request.cknum = 1234;
    char buffer[100];
    EXPECT_STREQ(request.ToJson(buffer, sizeof buffer), "{\"rvc\":5,\"cknum\":1234}");
}

TEST(GetRequestTest, WritesTheOpeningTimeAsLocalTime) {
    platform::LocalTime t;
    t.year = 2019;
    t.month = 5;
    t.day = 30;
    t.hour = 12;
    t.minute = 34;
    t.second = 56;
    GetRequest request;
    request.rvc = 1;
    request.cknum = 2;
    request.open_time = t.ToEpoch();
    char buffer[100];
    EXPECT_STREQ(request.ToJson(buffer, sizeof buffer), "{\"rvc\":1,\"cknum\":2,\"open_time\":\"2019-05-30T12:34:56\"}");
    // In a buffer too small for the time the request goes without it.
    char small[30];
    EXPECT_STREQ(request.ToJson(small, sizeof small), "{\"rvc\":1,\"cknum\":2}");
}

TEST(NetStatusTest, WrittenKeysReadBack) {
    NetStatus status;
    status.name = "FRONT-01";
    status.address = "10.0.0.5;192.168.1.7";
    status.osversion = "6.1.0";
    const std::string json = status.ToJsonText();
    EXPECT_EQ(json, R"({"Name":"FRONT-01","Address":"10.0.0.5;192.168.1.7","OSVersion":"6.1.0"})");
    NetStatus again(json);
    EXPECT_TRUE(again.SameIdentity(status));
    EXPECT_EQ(again.seq, 0);
    again.osversion = "6.1.1";
    EXPECT_FALSE(again.SameIdentity(status));
}

TEST(NetStatusTest, StaysWithinItsBuffer) {
    NetStatus status;
    status.name = std::string(300, 'n');
    status.address = "127.0.0.1";
    const std::string json = status.ToJsonText();
    EXPECT_LT(json.size(), NetStatus::kJsonSize);
    EXPECT_EQ(json, R"({"Address":"127.0.0.1","OSVersion":""})");
}

TEST(ConfigTest, ReadsTheServerAddressAndKeepsTheDefaultDays) {
    Config config(R"({"ServerAddress":"192.168.10.20"})");
    EXPECT_EQ(config.serveraddress, "192.168.10.20");
    EXPECT_EQ(config.keepdays, 400);
    EXPECT_EQ(Config(R"({"serveraddress":"1.2.3.4","keepdays":"30"})").keepdays, 30);
    EXPECT_TRUE(Config("not json").serveraddress.empty());
}

}  // namespace
