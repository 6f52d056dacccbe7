#include "devices/CAnswerReader.h"

#include <algorithm>

#include "platform/Clock.h"
#include "platform/Text.h"
#include "pos/CSockets.h"

AnswerKind CAnswerReader::Exchange(const std::string& message, int64_t waitMs) {
    Clear();
    // What is still waiting from an earlier exchange is no answer to this message.
    channel.Flush();
    if (!channel.Send(message)) {
        return AnswerKind::NotDelivered;
    }
    return Await(waitMs);
}

AnswerKind CAnswerReader::Await(int64_t waitMs) {
    platform::Clock& clock = platform::Clock::Current();
    const int64_t deadline = clock.MonotonicMs() + waitMs;
    tooLong = false;
    for (;;) {
        size_t mark = MarkAt();
        if (mark != std::string::npos) {
            return Whole(rule.markInAnswer ? mark + 1 : mark, mark + 1);
        }
        if (bytes.size() > kMaxAnswerBytes) {
            return Overflow();
        }
        if (channel.IsClosed()) {
            return AnswerKind::Cut;
        }
        int64_t left = deadline - clock.MonotonicMs();
        if (left <= 0) {
            return AnswerKind::TimedOut;
        }
        bool settling = rule.settleMs > 0 && !bytes.empty();
        int64_t pause = settling ? std::min(rule.settleMs, left) : left;
        if (!clock.Wait(channel.dataEvent, pause)) {
            if (settling && pause == rule.settleMs) {
                // Bytes, then a quiet line: the device said all it had to say.
                return Whole(bytes.size(), bytes.size());
            }
            continue;
        }
        if (channel.Read()) {
            bytes += channel.Received();
        }
    }
}

size_t CAnswerReader::MarkAt() const {
    if (rule.endMark == 0 || bytes.empty()) {
        return std::string::npos;
    }
    if (rule.markLastOnly) {
        return bytes.back() == rule.endMark ? bytes.size() - 1 : std::string::npos;
    }
    return bytes.find(rule.endMark);
}

AnswerKind CAnswerReader::Whole(size_t length, size_t next) {
    if (next < bytes.size()) {
        channel.Log(text::Format("%zu bytes after the end of the answer dropped", bytes.size() - next));
    }
    bytes.resize(length);
    return rule.verdict ? rule.verdict(bytes) : AnswerKind::Success;
}

AnswerKind CAnswerReader::Overflow() {
    tooLong = true;
    channel.Log(TooLongText());
    channel.Close();
    // Only its start is kept: enough to tell what it was, never the whole of it in the log.
    bytes.resize(kShownBytes);
    bytes.shrink_to_fit();
    return AnswerKind::Cut;
}

void CAnswerReader::Clear() {
    bytes.clear();
    tooLong = false;
}

std::string CAnswerReader::TooLongText() {
    return text::Format("Answer longer than %zu bytes without its end: connection dropped", kMaxAnswerBytes);
}

std::string CAnswerReader::Shown(const std::string& bytes) {
    if (bytes.size() <= kShownBytes) {
        return bytes;
    }
    return bytes.substr(0, kShownBytes) + text::Format("... (%zu bytes)", bytes.size());
}
