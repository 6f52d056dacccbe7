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
#include "platform/TempFolder.h"

namespace client_test {

// Every discovery datagram of the tests goes to loopback; set before any test runs.
inline const bool kLoopbackBroadcast = platform::SetEnv("LGX_BROADCAST_ADDRESS", "127.255.255.255");

// A fresh temporary folder that is the current folder while the object lives (the library
// keeps LGXClient.log and LGXConfig.json in the current folder).
class TempFolder {
public:
    TempFolder() : previous(std::filesystem::current_path()) { std::filesystem::current_path(folder.Path()); }
    ~TempFolder() {
        // Back out of the folder before it is removed.
        std::error_code ignored;
        std::filesystem::current_path(previous, ignored);
    }
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;

    // The folder with a trailing "/".
    const std::string& Path() const { return folder.Path(); }

private:
    std::filesystem::path previous;
    platform::TempFolder folder{"lgxclient"};
};

inline std::string ReadText(const std::string& path) {
    std::string content;
    platform::ReadFile(path, content);
    return content;
}

inline bool Contains(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

inline int Count(const std::string& text, const std::string& part) {
    int count = 0;
    for (size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) {
        ++count;
    }
    return count;
}

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
