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
