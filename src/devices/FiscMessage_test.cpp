#include "devices/FiscMessage.h"

#include <gtest/gtest.h>

#include "platform/Clock.h"
#include "tests/support/devices/DeviceTestSupport.h"
#include "tests/support/platform/ManualClock.h"

namespace {

using device_test::Bytes;
using device_test::Readable;

const std::string kCheckHeader = "1^FISC^Check^7^Manager Anna^^F^0^1^1^0^1^1^7^1^^";

FiscMessage Builder() {
    FiscMessage m;
    m.SetHeaderId("1");
    m.SetOperatorId("7");
    m.SetOperatorName("Anna");
    m.PrependOperatorName("Manager");
    m.SetDocumentNumber("B77");
    m.SetRoomText("101");
    m.postingsAmount = 150;
    return m;
}

std::string Now(const char* format) {
    platform::LocalTime t = platform::Clock::Current().Now();
    if (std::string(format) == "stamp") {
        return text::Format("%02d/%02d/%02d %02d:%02d:%02d", t.day, t.month, t.year % 100, t.hour, t.minute, t.second);
    }
    return text::Format("%d%d_%02d%02d%02d", t.day, t.month, t.hour, t.minute, t.second);
}

TEST(FiscMessageTest, CheckWithTwoTaxGroupsHasNoVatRecord) {
    FiscMessage m = Builder();
    m.AddItem("M", "1000", "Room night", 1, 100, "1", 2, false, "", "4;4;");
    m.AddItem("M", "2000", "Breakfast", 2, 50, "2", 2, false, "", "4;4;");
    m.AddPayment("1", "Cash", "", 150, "");
    EXPECT_EQ(Readable(m.BuildCheck(1, "")),
              kCheckHeader + "||150.00|101|B77||0|0||||1|^1|0|||\n"
                             "M|1000|Room night|||1.000|100.00|80|||||4;4;|\n"
                             "M|2000|Breakfast|||2.000|50.00|40|||||4;4;|\n"
                             "=\n"
                             "$|1|Cash||150.00\n~@");
}

TEST(FiscMessageTest, CheckWithOneTaxGroupNamesItAfterTheItems) {
    FiscMessage m = Builder();
    m.AddTextLine("Cashier 7 Anna");
    m.AddRequisite("1228", "7701234567  ");
    m.AddItem("M", "1000", "Room night", 1, 100, "3", 2, true, "", "4;4;");
    m.AddItem("S", "2000", "Laundry", 1, 50, "3", 2, true, "CAT: SERVICE", "4;4;");
    m.AddPayment("9", "Visa", "1234567890123456789012345678", 150, "");
    EXPECT_EQ(Readable(m.BuildCheck(2, "1")),
              kCheckHeader + "||150.00|101|B77||0|0||||1|^2|0|||1\n"
                             "I|1|Cashier 7 Anna|\n"
                             "R|1228|7701234567  |\n"
                             "M|10003|Room night|||1.000|100.00|20|||||4;4;|\n"  // group code: only kind M
                             "S|2000|Laundry|||1.000|50.00|20|||||CAT: SERVICE||\n"
                             "%|3|VAT|I||||\n"
                             "=\n"
                             "$|9|Visa|123456789012345678901234|150.00\n~@");
    EXPECT_DOUBLE_EQ(m.groupTotals[2], 150);
}

TEST(FiscMessageTest, PmsTextsCannotEndOrAddFieldsRecordsOrTheMessage) {
    // Texts as a guest or the staff may type them into the PMS: separators, a line end that would
    // start a payment record of its own, the message's end byte.
    const std::string hostile = "Tea|0|1.00\n$|1|||999.00\x0c\x04\x1c";
    FiscMessage m;
    m.SetHeaderId("1");
    m.SetOperatorId("7\x1c");
    m.SetOperatorName(hostile);
    m.SetDocumentNumber("B|77");
    m.SetRoomText("1\n01");
    m.postingsAmount = 1;
    m.AddTextLine(hostile);
    m.AddRequisite("1228", hostile);
    m.AddItem("M", "1000", hostile, 1, 1, "1", 2, false, hostile, "4;4;");
    m.AddPayment("1", hostile, hostile, 1, "");
    const std::string message = m.BuildCheck(1, "");
    const std::string clean = "Tea 0 1.00 $ 1   999.00   ";
    EXPECT_EQ(Readable(message), "1^FISC^Check^7 ^" + clean + "^^F^0^1^1^0^1^1^7 ^1^^||1.00|1 01|B 77||0|0||||1|^1|0|||\n"
                                 "I|1|" + clean + "|\n"
                                 "R|1228|" + clean + "|\n"
                                 "M|1000|" + clean + "||" "|1.000|1.00|80|||||" + clean + "||\n"
                                 "%|1|VAT|I||||\n"
                                 "=\n"
                                 "$|1|" + clean + "|" + clean.substr(0, 24) + "|1.00\n~@");
    EXPECT_EQ(message.find('\x04'), message.size() - 1) << "one end byte, at the end";
}

TEST(FiscMessageTest, TaxGroupTextsGiveBitsAndGroups) {
    struct Case {
        const char* group;
        const char* bits;
        int index;  // -1: no group total
    };
    const Case cases[] = {{"1", "80", 0}, {"2", "40", 1}, {"3", "20", 2}, {"4", "10", 3}, {"5", "08", 4},
                          {"6", "04", 5}, {"7", "02", 6}, {"8", "01", 7}, {"0", "00", -1}, {"", "00", -1},
                          {"9", "", -1},  {"12", "", -1}, {"A", "", -1}};
    for (const Case& c : cases) {
        FiscMessage m;
        m.AddItem("M", "5", "Fee", 1, 10, c.group, 2, false, "", "4;4;");
        EXPECT_EQ(m.items[0], text::Format("M|5|Fee|||1.000|10.00|%s|||||4;4;|\n", c.bits)) << c.group;
        for (int g = 0; g < FiscMessage::kTaxGroups; ++g) {
            EXPECT_DOUBLE_EQ(m.groupTotals[g], g == c.index ? 10 : 0) << c.group;
        }
        // A group "9" item alone is in no group, so no VAT record follows.
        EXPECT_EQ(m.BuildCheck(1, "").find("VAT") != std::string::npos, c.index >= 0) << c.group;
    }
}

TEST(FiscMessageTest, LongDescriptionsAreSplitAfter48CharactersKeepingAWordTogether) {
    // 60 characters; the 47th is a blank and the 48th starts a word.
    std::string words = "Deluxe double room with balcony and city views";  // 46 characters
    ASSERT_EQ(words.size(), 47u - 1);
    std::string moved = words + " breakfast inc";
    ASSERT_EQ(moved.size(), 60u);
    FiscMessage m;
    m.AddItem("M", "1", moved, 1, 1, "1", 2, false, "", "4;4;");
    EXPECT_EQ(m.items[0], "M|1|" + words + " |breakfast inc||1.000|1.00|80|||||4;4;|\n");

    std::string plain = "Conference hall rental for the whole day, projector and sound";  // cut at 48
    ASSERT_GT(plain.size(), 48u);
    m.AddItem("M", "1", plain, 1, 1, "1", 2, false, "", "4;4;");
    EXPECT_EQ(m.items[1], "M|1|" + plain.substr(0, 48) + "|" + plain.substr(48) + "||1.000|1.00|80|||||4;4;|\n");

    std::string exact(48, 'x');
    m.AddItem("M", "1", exact, 1, 1, "1", 2, false, "", "4;4;");
    EXPECT_EQ(m.items[2], "M|1|" + exact + "|||1.000|1.00|80|||||4;4;|\n");

    // UTF-8 is cut between characters: 50 two-byte letters give 48 and 2 letters.
    std::string cyrillic;
    for (int i = 0; i < 50; ++i) {
        cyrillic += "\xd0\x96";
    }
    m.AddItem("M", "1", cyrillic, 1, 1, "1", 2, false, "", "4;4;", true);
    EXPECT_EQ(m.items[3], "M|1|" + cyrillic.substr(0, 96) + "|" + cyrillic.substr(96) + "||1.000|1.00|80|||||4;4;|\n");
}

TEST(FiscMessageTest, DecimalPointZeroWritesAmountsWithoutDecimals) {
    FiscMessage m = Builder();
    m.AddItem("M", "1000", "Room night", 1, 100, "1", 0, false, "", "4;4;");
    m.AddItem("M", "2000", "Breakfast", 2, 50, "2", 0, false, "", "4;4;");
    // Without decimals the payment keeps its description and reference even with no_reference.
    m.AddPayment("1", "Cash", "R1", 150, "1");
    EXPECT_EQ(Readable(m.BuildCheck(1, "")),
              kCheckHeader + "||150|101|B77||0|0||||1|^1|0|||\n"
                             "M|1000|Room night|||1.000|100|80|||||4;4;|\n"
                             "M|2000|Breakfast|||2.000|50|40|||||4;4;|\n"
                             "=\n"
                             "$|1|Cash|R1|150\n~@");
    FiscMessage withDecimals;
    withDecimals.AddPayment("1", "Cash", "R1", 150, "1");
    withDecimals.AddPayment("2", "Card", "R2", 1.5, "");
    EXPECT_EQ(withDecimals.payments[0], "$|1|||150.00\n");
    EXPECT_EQ(withDecimals.payments[1], "$|2|Card|R2|1.50\n");
}

TEST(FiscMessageTest, PrintTestConfigCommandAndFileMessages) {
    platform::ManualClock clock;
    platform::ScopedClock scoped(clock);
    FiscMessage m = Builder();
    std::string longName(70, 'n');
    m.SetOperatorName(longName);

    EXPECT_EQ(Readable(m.BuildPrint("Line 1\r\nLine 2", 2)),
              "1^FISC^Print^7^" + longName + "^^F^0^1^1^0^1^1^7^1^^0|0^0|0|2\n\nLine 1\r\nLine 2@");
    std::string name64 = longName.substr(0, 64);
    EXPECT_EQ(Readable(m.BuildConfig(2)), "1^FISC^Config^1^" + name64 + "^^F^0^1^1^0^1^1^1^1^^2^@");
    EXPECT_EQ(Readable(m.BuildCommand("Cash Loan", 250.5)),
              "1^FISC^Cash Loan^1^" + name64 + "^^F^0^1^1^0^1^1^1^1^^250.50^@");
    EXPECT_EQ(Readable(m.BuildCommand("Cash Pickup", 0)), "1^FISC^Cash Pickup^1^" + name64 + "^^F^0^1^1^0^1^1^1^1^^0^@");

    m.paymentsAmount = 250;
    m.groupTotals[0] = 100;
    m.groupTotals[1] = 150;
    std::string test = m.BuildTest(3, 250, 0, "0000", -20);
    EXPECT_EQ(m.timestamp, Now("stamp"));
    EXPECT_EQ(Readable(test),
              "1^FISC^Test^1^" + name64 + "^^F^0^1^1^0^1^1^1^1^^3|250.00|0|0000|-20.00^" +
                  "B77^^0|0|0|0^" + m.timestamp +
                  "^0^1^1^1^1^1^1^1^0^0^0^1^0^250.00^0.00^0.00^0.00^0.00^0.00^0.00^0.00^0.00^0.00^^^^^^^^^0.00^0.00^0."
                  "00^0.00^^0.00^0.00^0.00^0.00^0.00^0.00^0.00^0.00^0.00^0.00^0.00^0.00^0.00^0.00^0.00^0.00^0.00^0.00^"
                  "0.00^0.00^0.00^0.00^0.00^0.00^100.00^150.00^0.00^0.00^0.00^0.00^0.00^0.00@");
    m.amountDecimals = 0;
    EXPECT_NE(Readable(m.BuildTest(3, 250, 1, "0000", 0)).find("^^3|250|1|0000|0^B77"), std::string::npos);

    m.BuildCheck(1, "");
    EXPECT_EQ(Readable(m.BuildFileLine("", true, 0)),
              "File^1_B77_" + Now("name") + ".ck2^" + std::to_string(m.checkMessage.size()) + "@");
    EXPECT_EQ(m.fileName, "1_B77_" + Now("name"));
    m.BuildFileLine("", false, 3);
    EXPECT_EQ(m.fileName, "1_B77_3_" + Now("name"));
    EXPECT_EQ(Readable(m.BuildFileLine("1_B77_kept", false, 0)),
              "File^1_B77_kept.ck2^" + std::to_string(m.printMessage.size()) + "@");
}

TEST(FiscMessageTest, AnswerFieldsAndReaders) {
    FiscMessage m;
    std::string answer = Bytes("0^OK^123^B77^SIM1^GP200 PRINTER^^^^^^^^^^^2^");
    EXPECT_EQ(m.AnswerCheckNumber(answer), "123");
    EXPECT_EQ(m.AnswerPrinterId(answer), "SIM1");
    EXPECT_EQ(m.AnswerPrinterType(answer), "GP200 PRINTER");
    EXPECT_EQ(m.AnswerShift(answer), "GP200 PRIN");
    EXPECT_EQ(m.AnswerConfigNumber(answer), "2");
    EXPECT_EQ(m.answerFields.size(), 17u);  // the empty piece after the last separator is no field

    EXPECT_EQ(m.AnswerCheckNumber(Bytes("0^")), "");
    EXPECT_TRUE(m.answerFields.size() == 1 && m.answerFields[0] == "0");
    m.SetAnswer(Bytes("0^^^x"));
    EXPECT_EQ(m.answerFields, (std::vector<std::string>{"0", "", "", "x"}));
    EXPECT_EQ(m.AnswerError(Bytes("3^Paper out\r^")), "Paper out");
    EXPECT_EQ(m.AnswerError(Bytes("3")), "");
    EXPECT_EQ(FiscMessage::MessageKind(Bytes("1^FISC^Check^7^Config fee^\n")), "Check");
    EXPECT_EQ(FiscMessage::MessageKind(Bytes("File^a.ck2^10^@")), "File");
    EXPECT_EQ(FiscMessage::MessageKind("garbage"), "");
}

}  // namespace
