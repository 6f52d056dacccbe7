#include "client_library/ChannelParser.h"

namespace {

bool IsDigit(unsigned char c) { return c >= '0' && c <= '9'; }

}  // namespace

void ChannelParser::Reset() {
    message.state = 0;
    message.command.clear();
    message.body.clear();
    message.seq = 0;
    message.flag = 0;
    frameBytes = 0;
}

ChannelParser::Result ChannelParser::Feed(unsigned char byte) {
    ChannelMessage& m = message;
    if (byte == static_cast<unsigned char>(ChannelMessage::kStart)) {
        Reset();
        m.state = 1;
        frameBytes = 1;
        return Result::Pending;
    }
    if (m.state == 0) {
        return Result::Pending;  // bytes outside a frame
    }
    if (++frameBytes > kMaxFrameBytes) {
        Reset();
        return Result::TooLong;
    }
    const bool separator = byte == static_cast<unsigned char>(ChannelMessage::kSeparator);
    switch (m.state) {
        case 1:
            if (separator) {
                m.state = 2;
            } else {
                m.command += static_cast<char>(byte);
            }
            break;
        case 2:
            if (separator) {
                m.state = 5;
            } else {
                if (IsDigit(byte)) {
                    m.seq = byte - '0';
                }
                m.state = 3;
            }
            break;
        case 3:
            if (separator) {
                m.state = 5;
            } else {
                if (IsDigit(byte)) {
                    m.seq = m.seq * 10 + (byte - '0');
                }
                m.state = 4;
            }
            break;
        case 4:
            if (separator) {
                m.state = 5;
            } else if (byte >= 0x20) {
                m.flag = static_cast<char>(byte);  // the last one wins
            }
            break;
        case 5:
            if (byte == static_cast<unsigned char>(ChannelMessage::kEnd)) {
                m.state = 0;
                frameBytes = 0;
                return Result::Frame;
            }
            m.body += static_cast<char>(byte);
            break;
        default:
            m.state = 0;
            break;
    }
    return Result::Pending;
}
