#pragma once

#include <cstdint>
#include <string>
#include <vector>

// The frames of a POS-to-PMS interface, in which some fiscal services take their requests:
//   0x01, source (right-aligned, padded with '0'), "PMS Fiscal" padded to 16, 0x02,
//   0x1C, two-digit sequence, ' ', command, 0x1C, fields, 0x03, four hex digits of the
//   checksum, 0x04.
// Fields are each followed by 0x1C, except that with more than one field the last separator is
// left out. The checksum is the 16-bit sum of the bytes after 0x01 up to and including 0x03.
class CPMSMessage {
public:
    static constexpr char kStart = 0x01;
    static constexpr char kStartOfText = 0x02;
    static constexpr char kEndOfText = 0x03;
    static constexpr char kEnd = 0x04;
    static constexpr char kSeparator = 0x1C;
    static constexpr const char* kInterfaceName = "PMS Fiscal";
    static constexpr int kInterfaceWidth = 16;
    static constexpr int kLastSequence = 99;

    virtual ~CPMSMessage() = default;

    // Builds the next frame into text; frames are numbered 1 to 99, then 1 again. A source or
    // interface name longer than its column widens it: nothing is ever cut.
    void BuildFrame(const std::string& source, const std::string& command, const std::vector<std::string>& fields);
    std::string GetFrame() const { return text; }
    int32_t Length() const { return length; }
    int32_t Sequence() const { return seq; }

    // The 16-bit sum of the bytes after the start byte up to and including the first end-of-text
    // byte (all of them when there is none).
    static uint16_t Checksum(const std::string& frame);

protected:
    // Width of the source column; 0 takes the source as it is.
    explicit CPMSMessage(int sourceWidth = 0) : sourceWidth(sourceWidth) {}

    std::string text;
    int32_t length = 0;
    int32_t seq = 0;

private:
    int sourceWidth;
};
