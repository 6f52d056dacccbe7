#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>

#include "devices/AnswerKind.h"

class CSockets;

// Sends one message of a device interface over its channel and reads the device's answer: the
// one place where every device waits for and collects its answers.
//
// The answer is whole by the device's own rule (Rule): an end mark, or, for a device that sends
// none, a quiet line once bytes have arrived. The wait runs on the platform clock, so tests pass
// a time-out at once; the bytes are bounded: an answer that grows past kMaxAnswerBytes without
// becoming whole is no answer, the log gets one short line about it (never the bytes) and the
// connection is dropped, so that its rest cannot meet the next message.
//
// Results: NotDelivered (Exchange only: the message could not be sent, the channel's last error
// says why), the Rule's verdict on a whole answer (Success unless the device says otherwise),
// TimedOut (no whole answer in time: the channel stays open and Await may go on reading), Cut
// (the connection ended, or the answer outgrew its bound, before it was whole). Answer() holds
// the whole answer, or what came of it.
//
// Runs on the interface's thread; the reader belongs to one interface and borrows its channel.
class CAnswerReader {
public:
    static constexpr size_t kMaxAnswerBytes = 64 * 1024;
    // Of bytes that are no whole answer, the log shows no more than this (Shown).
    static constexpr size_t kShownBytes = 256;

    struct Rule {
        // The byte that ends an answer; 0: the device marks no end.
        char endMark = 0;
        // Whether the mark is the answer's own last byte, or only follows it.
        bool markInAnswer = true;
        // Whole only when what came so far ends with the mark (elsewhere the byte is text);
        // otherwise at its first occurrence. Bytes after the mark are no part of the answer.
        bool markLastOnly = false;
        // More than 0: bytes that are followed by this many milliseconds of quiet are the whole
        // answer too (a device that marks no end, or not always).
        int64_t settleMs = 0;
        // What a whole answer reports; unset: Success (the interface reads it itself).
        std::function<AnswerKind(const std::string& answer)> verdict;
    };

    CAnswerReader(CSockets& channel, Rule rule) : channel(channel), rule(std::move(rule)) {}

    void SetSettleMs(int64_t ms) { rule.settleMs = ms; }
    int64_t SettleMs() const { return rule.settleMs; }

    // Sends the message and reads its answer for up to waitMs.
    AnswerKind Exchange(const std::string& message, int64_t waitMs);
    // Reads on for up to waitMs after a time-out; the bytes that came so far are kept.
    AnswerKind Await(int64_t waitMs);

    const std::string& Answer() const { return bytes; }
    // The last read ended because the answer outgrew kMaxAnswerBytes.
    bool TooLong() const { return tooLong; }
    // Forgets the bytes of an answer no longer awaited.
    void Clear();

    // The log line of an answer that outgrew its bound.
    static std::string TooLongText();
    // Bytes that are no whole answer as the log may show them: at most kShownBytes of them, and
    // how many there were when there were more.
    static std::string Shown(const std::string& bytes);

private:
    // Where the end mark is in what came so far, npos while it has not come.
    size_t MarkAt() const;
    // The answer is whole at length; what follows from next on is dropped (and said so), the
    // verdict read.
    AnswerKind Whole(size_t length, size_t next);
    AnswerKind Overflow();

    CSockets& channel;
    Rule rule;
    std::string bytes;
    bool tooLong = false;
};
