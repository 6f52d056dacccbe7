#include "pos/CPMSMessage.h"

#include "platform/Text.h"

namespace {

// Right-aligned in the width and filled with '0' on the left, the way the source column is
// written ("%09s" with zeros, not blanks); a longer text stays whole.
std::string ZeroPadded(const std::string& value, int width) {
    size_t w = width > 0 ? static_cast<size_t>(width) : 0;
    return value.size() >= w ? value : std::string(w - value.size(), '0') + value;
}

}  // namespace

void CPMSMessage::BuildFrame(const std::string& source, const std::string& command,
                             const std::vector<std::string>& fields) {
    if (seq >= kLastSequence) {
        seq = 0;
    }
    ++seq;
    std::string application = text::Format("%c%02d %s%c", kSeparator, seq, command.c_str(), kSeparator);
    text = text::Format("%c%s%-16s%c", kStart, ZeroPadded(source, sourceWidth).c_str(), kInterfaceName,
                        kStartOfText) +
           application;
    for (const std::string& field : fields) {
        text += field;
        text += kSeparator;
    }
    if (fields.size() > 1) {
        text.pop_back();
    }
    text += kEndOfText;
    text += text::Format("%04X", Checksum(text));
    text += kEnd;
    length = static_cast<int32_t>(text.size());
}

uint16_t CPMSMessage::Checksum(const std::string& frame) {
    uint16_t sum = 0;
    size_t from = !frame.empty() && frame[0] == kStart ? 1 : 0;
    for (size_t i = from; i < frame.size(); ++i) {
        sum = static_cast<uint16_t>(sum + static_cast<unsigned char>(frame[i]));
        if (frame[i] == kEndOfText) {
            break;
        }
    }
    return sum;
}
