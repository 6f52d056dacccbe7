#pragma once

// Helpers of the client library's tests (header only, so nothing of it reaches the library).

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <functional>
#include <initializer_list>
#include <string>
#include <thread>

#include "CheckDbSimulator.h"
#include "platform/Environment.h"
#include "platform/FileSystem.h"
#include "platform/Socket.h"

namespace client_test {

// Every discovery datagram of the tests goes to loopback; set before any test runs.
inline const bool kLoopbackBroadcast = platform::SetEnv("LGX_BROADCAST_ADDRESS", "127.255.255.255");

// A fresh temporary folder that is the current folder while the object lives (the library
// keeps LGXClient.log and LGXConfig.json in the current folder).
class TempFolder {
public:
    TempFolder() : previous(std::filesystem::current_path()) {
        std::string pattern = (std::filesystem::temp_directory_path() / "lgxclient-XXXXXX").string();
        path = MakeUnique(pattern);
        std::filesystem::current_path(path);
    }
    ~TempFolder() {
        std::error_code ignored;
        std::filesystem::current_path(previous, ignored);
        std::filesystem::remove_all(path, ignored);
    }
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;

    const std::string& Path() const { return path; }

private:
    static std::string MakeUnique(const std::string& pattern) {
        for (int i = 0;; ++i) {
            auto now = std::chrono::steady_clock::now().time_since_epoch().count();
            std::string candidate = pattern.substr(0, pattern.size() - 6) + std::to_string(now % 1000000000) + "-" +
                                    std::to_string(i);
            if (std::filesystem::create_directory(candidate)) {
                return candidate;
            }
        }
    }

    std::filesystem::path previous;
    std::string path;
};

inline std::string ReadText(const std::string& path) {
    std::string content;
    platform::ReadFile(path, content);
    return content;
}

inline bool Contains(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

inline bool WaitUntil(const std::function<bool()>& condition, int timeoutMs = 3000) {
    return CheckDbSimulator::WaitFor(condition, timeoutMs);
}

// Fails the test for each part that the text lacks.
inline void ExpectContainsAll(const std::string& text, std::initializer_list<std::string> parts) {
    for (const std::string& part : parts) {
        EXPECT_NE(text.find(part), std::string::npos) << "missing: " << part;
    }
}

// A UDP port that was free a moment ago, for suites that must not meet the library's 5196.
inline int FreeUdpPort() {
    platform::Socket probe;
    probe.Create(platform::Socket::Kind::Udp);
    probe.Bind(0, 0);
    return probe.LocalPort();
}

inline uint32_t Address(const char* dotted) {
    uint32_t address = 0;
    platform::Socket::ParseAddress(dotted, address);
    return address;
}

}  // namespace client_test
