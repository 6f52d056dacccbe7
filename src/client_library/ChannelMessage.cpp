#include "client_library/ChannelMessage.h"

#include "platform/Text.h"

std::string ChannelMessage::Format() const {
    // Built piece by piece rather than with "%c%s%c%02d%c%s%c" so that a zero byte in a received
    // body survives into the log.
    std::string frame(1, kStart);
    frame += command;
    frame += kSeparator;
    frame += text::Format("%02d", seq);
    if (HasFlag()) {
        frame += flag;
    }
    frame += kSeparator;
    frame += body;
    frame += kEnd;
    return frame;
}
