#pragma once

#include <cstddef>
#include <map>
#include <string>

#include "platform/FileSystem.h"

// AgentDetails.txt: lines "code=requisites" naming the agent requisites of a posting code. A
// line without "=" or whose code part is 0 or no number is ignored; a later line with the same
// code replaces an earlier one.
class AgentDetails {
public:
    // A few thousand codes at most; a longer file is not read.
    static constexpr size_t kMaxFileBytes = 1024 * 1024;

    // Reads the file into the map; the status tells whether it was there and read.
    static platform::ReadStatus Read(const std::string& path, std::map<int, std::string>& requisites);
    static void Parse(const std::string& content, std::map<int, std::string>& requisites);
};
