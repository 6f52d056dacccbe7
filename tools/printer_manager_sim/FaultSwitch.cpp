#include "FaultSwitch.h"

#include <cstdio>
#include <fstream>

void FaultSwitch::Set(const FaultSetting& setting) {
    std::lock_guard<std::mutex> guard(mutex);
    fault = setting;
}

FaultSetting FaultSwitch::Get() const {
    std::lock_guard<std::mutex> guard(mutex);
    return fault;
}

FaultSetting FaultSwitch::Take(const std::string& kind) {
    std::lock_guard<std::mutex> guard(mutex);
    if (!fault.Applies(kind)) {
        return FaultSetting();
    }
    FaultSetting taken = fault;
    if (fault.count > 0 && --fault.count == 0) {
        fault = FaultSetting();
    }
    return taken;
}

bool FaultSwitch::Poll(const std::string& controlPath, const std::string& program) {
    if (controlPath.empty()) {
        return false;
    }
    std::ifstream file(controlPath);
    std::string line;
    if (file) {
        std::getline(file, line);
    }
    {
        std::lock_guard<std::mutex> guard(mutex);
        if (line == controlText) {
            return false;
        }
        controlText = line;
    }
    FaultSetting setting;
    std::string error;
    if (!setting.Parse(line, error)) {
        std::fprintf(stderr, "%s: control file: %s; fault unchanged\n", program.c_str(), error.c_str());
        return false;
    }
    Set(setting);
    return true;
}
