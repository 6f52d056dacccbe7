#include "pos/CPMSMessage.h"

#include <gtest/gtest.h>

#include "pos/CMicrosMessage.h"

namespace {

// Frame bytes written readably: "<" start, "[" start of text, "^" separator, "]" end of text,
// ">" end.
std::string Bytes(const std::string& readable) {
    std::string out;
    for (char c : readable) {
        out += c == '<' ? '\x01' : c == '[' ? '\x02' : c == '^' ? '\x1c' : c == ']' ? '\x03' : c == '>' ? '\x04' : c;
    }
    return out;
}

TEST(CMicrosMessageTest, FramesAreByteForByteTheInterfaceFrames) {
    struct Case {
        const char* name;
        std::string source;
        std::vector<std::string> fields;
        std::string expected;
    } cases[] = {
        // Checksums worked out by hand: the byte values after the start byte through 0x03.
        {"one field keeps its separator", "1", {"F"}, Bytes("<000000001PMS Fiscal      [^01 Sale^F^]0878>")},
        {"two fields lose the last one", "1", {"A", "B"}, Bytes("<000000001PMS Fiscal      [^01 Sale^A^B]08B5>")},
        {"no field", "1", {}, Bytes("<000000001PMS Fiscal      [^01 Sale^]0816>")},
        {"a long source widens its column", "PRINTER-1234", {"F"},
         Bytes("<PRINTER-1234PMS Fiscal      [^01 Sale^F^]") + "09E2" + Bytes(">")},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        CMicrosMessage message;
        message.BuildFrame(c.source, "Sale", c.fields);
        EXPECT_EQ(message.GetFrame(), c.expected);
        EXPECT_EQ(message.Length(), static_cast<int32_t>(c.expected.size()));
    }
}

TEST(CMicrosMessageTest, SequenceRunsFromOneToNinetyNineAndStartsAgain) {
    CMicrosMessage message;
    std::vector<std::string> sequences;
    for (int i = 1; i <= 100; ++i) {
        message.BuildFrame("1", "Sale", {});
        if (i == 1 || i == 9 || i == 10 || i == 99 || i == 100) {
            sequences.push_back(message.GetFrame().substr(28, 2));
        }
    }
    EXPECT_EQ(sequences, (std::vector<std::string>{"01", "09", "10", "99", "01"}));
}

TEST(CMicrosMessageTest, ChecksumWrapsAtSixteenBitsAndStopsAtTheEndOfText) {
    // 300 bytes of 0xFF and the frame's own bytes add up to 78598: 13062 (0x3306) once wrapped.
    CMicrosMessage message;
    message.BuildFrame("1", "Sale", {std::string(300, '\xff')});
    std::string frame = message.GetFrame();
    EXPECT_EQ(frame.substr(frame.size() - 5), "3306\x04");
    EXPECT_EQ(CPMSMessage::Checksum(frame), 0x3306);
    // Only bytes up to the first end of text count, whatever follows.
    EXPECT_EQ(CPMSMessage::Checksum(frame + "junk"), 0x3306);
}

}  // namespace
