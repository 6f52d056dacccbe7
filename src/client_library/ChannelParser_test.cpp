#include "client_library/ChannelParser.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

// Feeds the bytes and keeps every frame completed and every frame given up.
struct Fed {
    std::vector<ChannelMessage> frames;
    int tooLong = 0;
};

Fed Feed(ChannelParser& parser, const std::string& bytes) {
    Fed fed;
    for (char c : bytes) {
        switch (parser.Feed(static_cast<unsigned char>(c))) {
            case ChannelParser::Result::Frame:
                fed.frames.push_back(parser.Message());
                break;
            case ChannelParser::Result::TooLong:
                ++fed.tooLong;
                break;
            case ChannelParser::Result::Pending:
                break;
        }
    }
    return fed;
}

std::string Frame(const std::string& command, const std::string& seq, const std::string& body) {
    return "\x01" + command + "\x1c" + seq + "\x1c" + body + "\x04";
}

TEST(ChannelParserTest, ReadsFramesAndTheirParts) {
    struct Case {
        std::string bytes;
        std::string command;
        int seq;
        char flag;
        std::string body;
    } cases[] = {
        {Frame("Get", "07", "{}"), "Get", 7, 0, "{}"},
        {Frame("Get", "07A", "{}"), "Get", 7, 'A', "{}"},
        {Frame("Get", "07AB", "x"), "Get", 7, 'B', "x"},      // the last flag wins
        {Frame("Get", "7", "x"), "Get", 7, 0, "x"},           // one digit
        {Frame("", "00", ""), "", 0, 0, ""},                   // keep-alive
        {"noise" + Frame("Get", "12", "b") + "more", "Get", 12, 0, "b"},
        {"\x01Get\x1c" "0" + Frame("Get", "13", "c"), "Get", 13, 0, "c"},  // a start byte restarts
        {"\x01Get\x1c\x1c" "body\x04", "Get", 0, 0, "body"},  // no sequence at all
    };
    for (const Case& c : cases) {
        ChannelParser parser;
        Fed fed = Feed(parser, c.bytes);
        ASSERT_EQ(fed.frames.size(), 1u) << c.bytes;
        EXPECT_EQ(fed.frames[0].command, c.command) << c.bytes;
        EXPECT_EQ(fed.frames[0].seq, c.seq) << c.bytes;
        EXPECT_EQ(fed.frames[0].flag, c.flag) << c.bytes;
        EXPECT_EQ(fed.frames[0].body, c.body) << c.bytes;
    }
}

TEST(ChannelParserTest, AFrameWithoutEndIsGivenUpAtTheLimitAndTheNextOneIsRead) {
    ChannelParser parser;
    const std::string head = "\x01Get\x1c" "01\x1c";
    // Exactly at the limit (start and end byte included) the frame still counts.
    const std::string fits(ChannelParser::kMaxFrameBytes - head.size() - 1, 'x');
    Fed fed = Feed(parser, head + fits + "\x04");
    ASSERT_EQ(fed.frames.size(), 1u);
    EXPECT_EQ(fed.frames[0].body.size(), fits.size());
    EXPECT_EQ(fed.tooLong, 0);

    // One byte more and no end: given up once, and what follows up to the next start byte
    // is ignored rather than read as another frame.
    fed = Feed(parser, head + fits + "xx" + std::string(5000, 'y') + "\x04" + Frame("Get", "02", "{}"));
    EXPECT_EQ(fed.tooLong, 1);
    ASSERT_EQ(fed.frames.size(), 1u);
    EXPECT_EQ(fed.frames[0].seq, 2);
    EXPECT_EQ(fed.frames[0].body, "{}");
}

TEST(ChannelParserTest, ResetForgetsAFrameBegun) {
    ChannelParser parser;
    Feed(parser, "\x01Get\x1c" "05\x1c{\"half\":");
    parser.Reset();
    Fed fed = Feed(parser, "1}\x04");
    EXPECT_TRUE(fed.frames.empty()) << "the rest of a frame from a closed connection is no frame";
}

}  // namespace
