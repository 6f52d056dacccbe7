#include "storage/db/ConnectionString.h"

#include <gtest/gtest.h>

namespace {

using db::ConnectionString;

TEST(ConnectionStringTest, PasswordsAreHiddenWholeInEveryForm) {
    const struct {
        const char* in;
        const char* out;
        const char* secret;  // no part of it may show
    } cases[] = {
        {"DSN=opera;UID=fiscal;PWD=secret", "DSN=opera;UID=fiscal;PWD=*****", "secret"},
        {"DSN=x;PWD={se;cret};UID=u", "DSN=x;PWD=*****;UID=u", "cret"},
        {"DSN=x;PWD={a}}b;c};X=1", "DSN=x;PWD=*****;X=1", "b;c"},
        {"Password='se;cr''et';Data Source=db", "Password=*****;Data Source=db", "cr''et"},
        {"password=\"a;b\";x=1", "password=*****;x=1", "a;b"},
        {" pWd = tiger ;DBQ=orcl", " pWd =*****;DBQ=orcl", "tiger"},
        {"DSN=x;PWD={never closed;X=1", "DSN=x;PWD=*****", "never"},
        {"DRIVER={Oracle};PWD=one;Pwd=two", "DRIVER={Oracle};PWD=*****;Pwd=*****", "two"},
        {"Provider=OraOLEDB.Oracle;User Id=scott;Password=tiger;", "Provider=OraOLEDB.Oracle;User Id=scott;Password=*****;",
         "tiger"},
        {"DRIVER={Oracle};UID=scott/tiger@orcl;DBQ=x", "DRIVER={Oracle};UID=scott/*****@orcl;DBQ=x", "tiger"},
        {"DSN=opera;UID=fiscal", "DSN=opera;UID=fiscal", ""},
        {"sqlite:/var/lib/pms.db", "sqlite:/var/lib/pms.db", ""},
        {"", "", ""},
    };
    for (const auto& c : cases) {
        const std::string hidden = ConnectionString::WithoutPasswords(c.in);
        EXPECT_EQ(hidden, c.out) << c.in;
        if (*c.secret) {
            EXPECT_EQ(hidden.find(c.secret), std::string::npos) << c.in;
        }
    }
}

TEST(ConnectionStringTest, MessagesLoseThePasswordsOfTheString) {
    const std::string connection = "DSN=x;UID=u;PWD={se;cret}";
    EXPECT_EQ(ConnectionString::HidePasswords("[28000] login u/se;cret refused for {se;cret}", connection),
              "[28000] login u/***** refused for *****");
    EXPECT_EQ(ConnectionString::HidePasswords("no password here", "DSN=x;PWD="), "no password here");
}

}  // namespace
