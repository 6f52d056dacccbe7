#pragma once

#include <string>

// How the simulated printer manager misbehaves. Written as one line, for example
//   none | refuse | delay ms=8000 | close | cut bytes=12 | error code=3 text=Paper out |
//   garbage bytes=40 | long bytes=20000 | endless
// ("endless" registers nothing and answers with bytes that never end, until the peer leaves;
// "cut" registers the document, sends only the first bytes of its answer and drops the
// connection; "offline code=C text=T" is the error of a registration service that still hands
// out its offline codes, which a printer manager answers like "error")
// with the optional "kind=Check" (only messages of that kind: File, Check, Config, Test, Print,
// Command) and "count=N" (only the next N such messages; afterwards the fault is off).
// "text=" takes the rest of the line.
struct FaultSetting {
    enum class Mode { None, Refuse, Delay, Close, Error, Garbage, Long, Cut, Offline, Endless };

    Mode mode = Mode::None;
    std::string kind;     // empty: every message
    int count = -1;       // -1: no limit
    int delayMs = 0;
    std::string errorCode = "1";
    std::string errorText = "Simulated printer error";
    int bytes = 32;

    // False (with the reason) when the line is not a fault setting; the setting is unchanged then.
    bool Parse(const std::string& line, std::string& error);
    bool Applies(const std::string& messageKind) const;
    std::string Describe() const;
};
