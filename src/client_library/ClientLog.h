#pragma once

#include <atomic>
#include <cstdarg>
#include <cstdint>
#include <cstdio>
#include <mutex>
#include <string>

#include "platform/Event.h"
#include "platform/PrintfFormat.h"
#include "platform/Thread.h"

// The client library's own text log: one file, lines with a millisecond time stamp, filtered by
// a level, closed by a background thread after a second without writes (so that other programs
// may rename or delete it), rotated into numbered files at a size limit.
class ClientLog {
public:
    // options bits
    static constexpr int kMilliseconds = 1;
    static constexpr int kClosingThread = 4;
    static constexpr size_t kLineSize = 2048;

    ClientLog() = default;
    ~ClientLog() { Close(); }
    ClientLog(const ClientLog&) = delete;
    ClientLog& operator=(const ClientLog&) = delete;

    // The log of the library, shared by every part of it.
    static ClientLog& Library();

    // Sets what the first GetCheck sets; the file is opened by the first line written.
    void Open(const std::string& name, int64_t maxSize, int generations, int options, int level);
    // Ends the closing thread, closes the file and sets the level back to 0 (nothing is written).
    void Close();
    // Closes the open file when the name changes; the next line opens the new one.
    void SetFileName(const std::string& name);

    void LogLine(int level, const char* format, ...) FISCORA_PRINTF(3, 4);
    void LogLineV(int level, const char* format, va_list args);

    int Level() const { return level.load(); }
    bool IsFileOpen();
    // How long the file stays open without writes (1000 ms; shorter in tests).
    void SetCloseDelayMs(int64_t ms) { closeDelayMs = ms; }

private:
    // All under fileLock.
    bool OpenFile();
    void CloseFile();
    void RotateIfNeeded();
    void RunCloser();
    void StopCloser();

    std::mutex writerLock;
    char line[kLineSize] = {};

    std::mutex fileLock;
    platform::Thread closer;
    platform::Event activity{false};
    std::atomic<bool> closerRunning{false};
    std::atomic<bool> closerStop{false};
    std::FILE* file = nullptr;
    std::string fileName;
    int64_t maxSize = 0;
    int generations = 0;
    std::atomic<int> level{0};
    int options = 0;
    std::atomic<int64_t> closeDelayMs{1000};
};
