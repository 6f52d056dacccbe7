#pragma once

#include <string>

// One frame of the server channel: 0x01, command, 0x1C, two sequence digits, an optional flag
// character, 0x1C, body, 0x04.
struct ChannelMessage {
    static constexpr char kStart = 0x01;
    static constexpr char kSeparator = 0x1C;
    static constexpr char kEnd = 0x04;

    int state = 0;         // parser state while the frame is received
    char flag = 0;         // 0 when absent
    std::string frameText; // the frame as sent or as written to the log
    int seq = 0;           // 0..99
    std::string command;   // "Get" for a check request, empty for a keep-alive
    std::string body;

    // The frame of the message; the flag is present only when its code is 0x20 or above.
    std::string Format() const;
    bool HasFlag() const { return static_cast<unsigned char>(flag) >= 0x20; }
};
