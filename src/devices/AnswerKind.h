#pragma once

// How a registering exchange with the device ended: PrintCheck(check, false) or the collection
// of a late answer. Only Success registers the check. DeviceError and NotDelivered prove that
// the device did not register it, so the check may go to the reserve printer or wait for the
// next cycle. TimedOut and Cut leave it in doubt: the device may have registered it, so it goes
// nowhere else and is sent again only to the same device under the same check file name.
enum class AnswerKind {
    None,          // no registering message has been sent yet (or only a description was saved)
    Success,       // a whole answer that reports success
    DeviceError,   // a whole answer that reports an error, or bytes that are no success answer
    NotDelivered,  // the message did not leave: no connection, the send failed, or a stop came first
    TimedOut,      // sent, but no whole answer within the answer time-out; the channel keeps listening
    Cut,           // sent, but the connection broke before the answer was whole
};

inline bool IsInDoubt(AnswerKind kind) { return kind == AnswerKind::TimedOut || kind == AnswerKind::Cut; }
// "success", "device error", "not delivered", "timed out", "cut" (or "none"), for log lines.
const char* AnswerKindText(AnswerKind kind);
