#include "config/AgentDetails.h"

#include <gtest/gtest.h>

namespace {

TEST(AgentDetailsTest, CodesBeforeTheFirstEqualsSignNameTheirRequisites) {
    std::map<int, std::string> requisites;
    AgentDetails::Parse(
        "1001=1;3;Agent LLC;7701234567\r\n"
        "1002=2;5;a=b\n"
        "0=code zero names nothing\n"
        "abc=no number\n"
        "no equals sign\n"
        " 77 =blanks before the code\n"
        "1001=the later line wins\n"
        "4294967297=beyond the integers\n",
        requisites);
    EXPECT_EQ(requisites, (std::map<int, std::string>{{77, "blanks before the code"},
                                                       {1001, "the later line wins"},
                                                       {1002, "2;5;a=b"},
                                                       {2147483647, "beyond the integers"}}));
}

TEST(AgentDetailsTest, AMissingOrEndlessFileGivesNoRequisites) {
    std::map<int, std::string> requisites;
    EXPECT_EQ(AgentDetails::Read("/no/such/AgentDetails.txt", requisites), platform::ReadStatus::CannotOpen);
    EXPECT_EQ(AgentDetails::Read("/dev/zero", requisites), platform::ReadStatus::TooLong);
    EXPECT_TRUE(requisites.empty());
}

}  // namespace
