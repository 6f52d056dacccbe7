#include "platform/FileSystem.h"

#include <cstdio>

// What is the same on every system: the program folder cut from the program's path, and the
// whole-file reads and writes of the C library.
namespace platform {

std::string ProgramFolder() {
    std::string path = ProgramPath();
    size_t slash = path.rfind(kPathSeparator);
    if (slash == std::string::npos) {
        return "";
    }
    return path.substr(0, slash + 1);
}

bool ReadFile(const std::string& path, std::string& content) {
    content.clear();
    FILE* file = std::fopen(path.c_str(), "rb");
    if (!file) {
        return false;
    }
    char buffer[65536];
    size_t n;
    while ((n = std::fread(buffer, 1, sizeof buffer, file)) > 0) {
        content.append(buffer, n);
    }
    bool ok = !std::ferror(file);
    std::fclose(file);
    return ok;
}

ReadStatus ReadFileUpTo(const std::string& path, size_t maxBytes, std::string& content) {
    content.clear();
    FILE* file = std::fopen(path.c_str(), "rb");
    if (!file) {
        return ReadStatus::CannotOpen;
    }
    char buffer[65536];
    size_t n;
    // Read in chunks rather than trusting the size: a device or a pipe has none.
    while (content.size() <= maxBytes && (n = std::fread(buffer, 1, sizeof buffer, file)) > 0) {
        content.append(buffer, n);
    }
    const bool failed = std::ferror(file) != 0;
    std::fclose(file);
    if (content.size() > maxBytes) {
        content.clear();
        return ReadStatus::TooLong;
    }
    return failed ? ReadStatus::Failed : ReadStatus::Ok;
}

bool WriteFile(const std::string& path, const std::string& content) {
    FILE* file = std::fopen(path.c_str(), "wb");
    if (!file) {
        return false;
    }
    bool ok = std::fwrite(content.data(), 1, content.size(), file) == content.size();
    if (std::fclose(file) != 0) {
        ok = false;
    }
    return ok;
}

std::string JoinPath(const std::string& folder, const std::string& name) {
    if (folder.empty()) {
        return name;
    }
    if (folder.back() == '/' || folder.back() == kPathSeparator) {
        return folder + name;
    }
    return folder + kPathSeparator + name;
}

}  // namespace platform
