#include "config/AgentDetails.h"

#include "platform/Text.h"

platform::ReadStatus AgentDetails::Read(const std::string& path, std::map<int, std::string>& requisites) {
    std::string content;
    const platform::ReadStatus status = platform::ReadFileUpTo(path, kMaxFileBytes, content);
    if (status == platform::ReadStatus::Ok) {
        Parse(content, requisites);
    }
    return status;
}

void AgentDetails::Parse(const std::string& content, std::map<int, std::string>& requisites) {
    for (const std::string& line : text::Lines(content)) {
        const size_t eq = line.find('=');
        if (eq == std::string::npos) {
            continue;
        }
        const int code = text::ToInt(line.substr(0, eq));
        if (code != 0) {
            requisites[code] = line.substr(eq + 1);
        }
    }
}
