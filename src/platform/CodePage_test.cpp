#include "platform/CodePage.h"

#include <gtest/gtest.h>

using namespace platform;

TEST(CodePageTest, Cp1251RoundTripOfRussianText) {
    std::string cp = Cp1251("Услуги гостиницы");
    ASSERT_EQ(cp.size(), 16u);  // one byte a character
    EXPECT_EQ(static_cast<unsigned char>(cp[0]), 0xD3);  // У
    EXPECT_EQ(ToUtf8(cp, "1251"), "Услуги гостиницы");
}

TEST(CodePageTest, Utf16ConversionsKeepCharacters) {
    std::u16string wide = Utf8ToUtf16("Hotel Ä €");
    ASSERT_EQ(wide.size(), 9u);
    EXPECT_EQ(wide[6], u'Ä');
    EXPECT_EQ(wide[8], u'€');
    EXPECT_EQ(Utf16ToUtf8(wide), "Hotel Ä €");
    EXPECT_EQ(Utf16ToCodePage(wide, "1252"), std::string("Hotel \xC4 \x80"));
}

TEST(CodePageTest, UnconvertibleCharactersBecomeQuestionMarks) {
    std::string cp = FromUtf8("a漢b", "1251");
    EXPECT_EQ(cp.front(), 'a');
    EXPECT_EQ(cp.back(), 'b');
    EXPECT_NE(cp.find('?'), std::string::npos);
    // A byte sequence that is not UTF-8 does not stop the conversion.
    EXPECT_EQ(ToUtf8(std::string("x\xFFy"), "UTF-8"), "x?y");
}

TEST(CodePageTest, RecognisesWellFormedUtf8Only) {
    struct Case {
        std::string text;
        bool utf8;
    } cases[] = {
        {"", true},
        {"plain ASCII", true},
        {"Сумма 100", true},
        {"\xF0\x9F\x98\x80", true},          // four-byte character
        {platform::Cp1251("Сумма"), false},  // single-byte code page
        {"\xD0", false},                     // lead byte cut off at the end
        {"\xE2\x82", false},                 // three-byte character missing its last byte
        {"\x80zz", false},                   // continuation byte where a character starts
        {"\xF8\x80\x80\x80\x80", false},     // no five-byte characters
        {"\xD0\x41", false},                 // lead byte followed by ASCII
    };
    for (const Case& c : cases) {
        EXPECT_EQ(platform::IsUtf8(c.text), c.utf8) << c.text;
    }
}

TEST(CodePageTest, MixedTextBecomesUtf8KeepingWhatAlreadyWas) {
    struct Case {
        std::string text;
        std::string utf8;
    } cases[] = {
        {"", ""},
        {"Check 12. ok", "Check 12. ok"},
        {"Услуги гостиницы", "Услуги гостиницы"},
        {platform::Cp1251("Введите номер"), "Введите номер"},
        // A UTF-8 label of the configuration before a Windows-1251 text of the PMS.
        {"Гость: " + platform::Cp1251("Иванов"), "Гость: Иванов"},
        {platform::Cp1251("Счет") + " 5 " + "№" + platform::Cp1251("я"), "Счет 5 №я"},
    };
    for (const Case& c : cases) {
        std::string converted = platform::MixedToUtf8(c.text, "1251");
        EXPECT_EQ(converted, c.utf8);
        EXPECT_TRUE(platform::IsUtf8(converted));
    }
}
