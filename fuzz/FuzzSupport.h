#pragma once

// Small helpers shared by the fuzz targets (header only).

#include <stdlib.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <system_error>
#include <vector>

namespace fuzz {

inline std::string Text(const uint8_t* data, size_t size) { return std::string(reinterpret_cast<const char*>(data), size); }

// Ends the run as a finding when a property of the parser does not hold.
inline void Require(bool condition, const char* what) {
    if (!condition) {
        std::fprintf(stderr, "property broken: %s\n", what);
        std::abort();
    }
}

// The input cut at every zero byte into at most count parts (the last takes the rest).
inline std::vector<std::string> Parts(const std::string& input, size_t count) {
    std::vector<std::string> parts;
    size_t start = 0;
    while (parts.size() + 1 < count) {
        const size_t zero = input.find('\0', start);
        if (zero == std::string::npos) {
            break;
        }
        parts.push_back(input.substr(start, zero - start));
        start = zero + 1;
    }
    parts.push_back(input.substr(start));
    parts.resize(count);
    return parts;
}

// A fresh folder for the files a target writes, on tmpfs where there is one, removed with what it
// holds when the program ends normally, so that every replay in the test suites does not leave one
// behind (after a crash it stays for a look). Call it once, from LLVMFuzzerInitialize.
inline const std::string& ScratchFolder(const char* name) {
    static std::string folder;
    for (const char* base : {"/dev/shm", "/tmp"}) {
        std::string pattern = std::string(base) + "/fuzz-" + name + "-XXXXXX";
        if (mkdtemp(pattern.data())) {
            folder = pattern;
            break;
        }
    }
    if (folder.empty()) {
        std::abort();
    }
    std::atexit([] {
        std::error_code ignored;
        std::filesystem::remove_all(folder, ignored);
    });
    return folder;
}

}  // namespace fuzz
