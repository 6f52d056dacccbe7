#pragma once

#include <mutex>
#include <string>

#include "FaultSetting.h"

// The fault a simulator shows: set by a test or by the simulator's control file, and counted
// down as messages take it. Used from every connection's thread.
class FaultSwitch {
public:
    explicit FaultSwitch(const FaultSetting& initial) : fault(initial) {}

    void Set(const FaultSetting& setting);
    FaultSetting Get() const;
    // The fault for a message of this kind (none when it does not apply), counted down when it
    // is limited.
    FaultSetting Take(const std::string& kind);
    // Reads the first line of the control file when it changed: true when it set a new fault; a
    // line that is no fault setting is reported on standard error and changes nothing.
    bool Poll(const std::string& controlPath, const std::string& program);

private:
    mutable std::mutex mutex;
    FaultSetting fault;
    std::string controlText;
};
