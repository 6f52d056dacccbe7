// The byte stream of the check-database server as the client library's channel reads it: frames
// cut by the channel parser and reply bodies read as checks, as GetCheck reads them.
#include "FuzzSupport.h"
#include "client_library/ChannelParser.h"
#include "shared/CLGXCheck.h"

namespace {

bool HasFramingByte(const std::string& text) {
    return text.find_first_of(std::string{ChannelMessage::kStart, ChannelMessage::kSeparator, ChannelMessage::kEnd}) !=
           std::string::npos;
}

// A frame formatted again reads back as the same frame, unless a field holds a framing byte.
void RequireRoundTrip(const ChannelMessage& frame) {
    if (HasFramingByte(frame.command) || HasFramingByte(frame.body) || frame.seq > 99) {
        return;
    }
    ChannelParser again;
    ChannelParser::Result result = ChannelParser::Result::Pending;
    for (char c : frame.Format()) {
        result = again.Feed(static_cast<unsigned char>(c));
    }
    fuzz::Require(result == ChannelParser::Result::Frame, "a formatted frame is read as one frame");
    fuzz::Require(again.Message().command == frame.command && again.Message().body == frame.body &&
                      again.Message().seq == frame.seq && again.Message().flag == (frame.HasFlag() ? frame.flag : 0),
                  "a formatted frame reads back unchanged");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    ChannelParser parser;
    for (size_t i = 0; i < size; ++i) {
        switch (parser.Feed(data[i])) {
            case ChannelParser::Result::Frame: {
                const ChannelMessage& frame = parser.Message();
                fuzz::Require(frame.command.size() + frame.body.size() < ChannelParser::kMaxFrameBytes,
                              "a frame stays below the limit");
                RequireRoundTrip(frame);
                if (!frame.command.empty() && !frame.body.empty() && frame.body[0] == '{') {
                    CLGXCheck check(frame.body);
                }
                break;
            }
            case ChannelParser::Result::TooLong:
            case ChannelParser::Result::Pending:
                break;
        }
    }
    return 0;
}
