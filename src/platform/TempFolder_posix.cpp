#include "platform/TempFolder.h"

#include <cstdlib>
#include <vector>

namespace platform {

TempFolder::TempFolder(const std::string& prefix) {
    const char* base = std::getenv("TMPDIR");
    std::string pattern = std::string(base && *base ? base : "/tmp") + "/" + prefix + "-XXXXXX";
    std::vector<char> buffer(pattern.begin(), pattern.end());
    buffer.push_back('\0');
    if (::mkdtemp(buffer.data())) {
        path = std::string(buffer.data()) + "/";
    }
}

}  // namespace platform
