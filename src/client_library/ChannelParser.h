#pragma once

#include <cstddef>

#include "client_library/ChannelMessage.h"

// Reads the frames of the server channel one byte at a time. Bytes before a start byte are
// ignored; a start byte always begins a new frame. A frame that grows past kMaxFrameBytes
// without its end byte is given up, so a peer that never ends its frame cannot make the
// receiver hold more than that.
class ChannelParser {
public:
    // A check of a thousand lines takes well under half of it.
    static constexpr size_t kMaxFrameBytes = 1024 * 1024;

    enum class Result { Pending, Frame, TooLong };

    // Frame: the message now holds a complete frame (until the next Feed). TooLong: the frame
    // was dropped and the parser waits for the next start byte.
    Result Feed(unsigned char byte);
    const ChannelMessage& Message() const { return message; }
    // Forgets a frame begun (after the connection is closed).
    void Reset();

private:
    ChannelMessage message;
    size_t frameBytes = 0;  // bytes of the frame being read, its start byte included
};
