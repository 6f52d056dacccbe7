#include "pos/CCheckPreparer.h"

#include <gtest/gtest.h>

#include "check/CheckStatus.h"
#include "log/CLogFile.h"
#include "platform/CodePage.h"
#include "platform/FileSystem.h"
#include "platform/TempFolder.h"

namespace {

struct_posting Posting(int code, double amount) {
    struct_posting posting;
    posting.trx_no = 100;
    posting.trx_code = code;
    posting.description = "Room";
    posting.trx_amount = amount;
    return posting;
}

class CheckPreparerTest : public ::testing::Test {
protected:
    void SetUp() override {
        log.SetEcho(false);
        log.Open(temp.File("p.log"), false);
        check.checkNumber = "27";
        check.checkMode = 7;
        check.statusCode = kBillCheck;
    }
    std::string LogText() {
        std::string content;
        platform::ReadFile(temp.File("p.log"), content);
        return content;
    }

    platform::TempFolder temp;
    CLogFile log;
    CCheckPreparer preparer{log};
    CFiscalCheck check;
};

}  // namespace

TEST_F(CheckPreparerTest, ApplyAgentDataSplitsTheAgentShare) {
    preparer.SetAgentRequisites({{1000, "AG7=15%=Tour Agency"}, {2000, "AG8"}, {3000, "=="}}, "4");
    check.postings = {Posting(1000, 33.33), Posting(2000, 5), Posting(3000, 1)};
    EXPECT_TRUE(preparer.ApplyAgentData(check));
    ASSERT_EQ(check.postings.size(), 4u);
    EXPECT_EQ(check.postings[0].agent, "AG7");
    EXPECT_DOUBLE_EQ(check.postings[0].trx_amount, 28.33);
    EXPECT_EQ(check.postings[1].agent, "XXX");
    EXPECT_DOUBLE_EQ(check.postings[1].trx_amount, 5.0);
    EXPECT_EQ(check.postings[1].tax_group, "4");
    EXPECT_EQ(check.postings[1].quantity, 1.0);
    EXPECT_EQ(check.postings[1].description, platform::Cp1251("Агентское вознаграждение ") + "Tour Agency");
    EXPECT_EQ(check.postings[2].agent, "AG8");
    EXPECT_DOUBLE_EQ(check.postings[2].trx_amount, 5.0);
    EXPECT_EQ(check.postings[3].agent, "");  // a requisites text of "=" signs only changes nothing
    EXPECT_NE(LogText().find("Agent\n"), std::string::npos);
}

TEST_F(CheckPreparerTest, WithoutAgentRequisitesTheCheckAndTheLogStayAsTheyAre) {
    check.postings = {Posting(1000, 10)};
    EXPECT_FALSE(preparer.ApplyAgentData(check));
    EXPECT_EQ(check.postings[0].agent, "");
    EXPECT_EQ(LogText().find("Agent"), std::string::npos);
}

TEST_F(CheckPreparerTest, AFailedRuleOrSignLeavesTheCheckUnpreparedWithItsReasonInTheLog) {
    struct Case {
        bool rulesOk;
        double payment;
        bool prepared;
        const char* logged;
    } cases[] = {{true, 10, true, ""},
                 {false, 10, false, "rules said no"},
                 {true, -10, false, "Can't print refund check 27, positive amount 10.00."}};
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "rules " << c.rulesOk << ", payment " << c.payment);
        check.postings = {Posting(1000, 10)};
        struct_posting payment = Posting(9000, c.payment);
        check.payments = {payment};
        check.paymentsTotal = c.payment;
        check.appendRateCode = true;
        check.errorText = "rules said no";
        EXPECT_EQ(preparer.Prepare(check, c.rulesOk), c.prepared);
        if (!c.prepared) {
            EXPECT_EQ(check.errorText, c.logged);
            EXPECT_NE(LogText().find(c.logged), std::string::npos);
        }
    }
}
