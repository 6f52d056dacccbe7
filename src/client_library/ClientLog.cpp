#include "client_library/ClientLog.h"

#include <algorithm>
#include <cstring>

#include "platform/Clock.h"
#include "platform/DynamicLibrary.h"
#include "platform/FileSystem.h"
#include "shared/JsonHelper.h"

namespace {

void WriteJsonLine(int level, const char* format, va_list args) { ClientLog::Library().LogLineV(level, format, args); }

ClientLog& ClosedAtUnload() {
    static ClientLog log;
    return log;
}

}  // namespace

ClientLog& ClientLog::Library() {
    // Where the library stays loaded to the process's end (Windows), the log goes with the
    // process too: at that end the system has already stopped the threads, perhaps in the middle
    // of a line, and closing the log then could wait for a lock that no thread will give back.
    static ClientLog& log = platform::DynamicLibrary::kUnloadMayWaitForThreads ? ClosedAtUnload() : *new ClientLog;
    // The shared records' reader writes its warnings into the library's log.
    static const bool hooked = (JsonHelper::SetLogSink(WriteJsonLine), true);
    (void)hooked;
    return log;
}

void ClientLog::Open(const std::string& name, int64_t size, int count, int bits, int threshold) {
    std::lock_guard<std::mutex> writer(writerLock);
    std::lock_guard<std::mutex> files(fileLock);
    if (name != fileName) {
        CloseFile();
        fileName = name;
    }
    maxSize = size;
    generations = count;
    options = bits;
    level = threshold;
}

void ClientLog::Close() {
    StopCloser();
    std::lock_guard<std::mutex> writer(writerLock);
    std::lock_guard<std::mutex> files(fileLock);
    CloseFile();
    level = 0;
}

void ClientLog::SetFileName(const std::string& name) {
    std::lock_guard<std::mutex> writer(writerLock);
    std::lock_guard<std::mutex> files(fileLock);
    if (name != fileName) {
        CloseFile();
        fileName = name;
    }
}

bool ClientLog::IsFileOpen() {
    std::lock_guard<std::mutex> files(fileLock);
    return file != nullptr;
}

void ClientLog::LogLine(int lineLevel, const char* format, ...) {
    va_list args;
    va_start(args, format);
    LogLineV(lineLevel, format, args);
    va_end(args);
}

void ClientLog::LogLineV(int lineLevel, const char* format, va_list args) {
    const int threshold = level.load();
    if (threshold == 0 || lineLevel > threshold) {
        return;
    }
    std::lock_guard<std::mutex> writer(writerLock);
    const platform::LocalTime now = platform::Clock::Current().Now();
    int length;
    if (options & kMilliseconds) {
        length = std::snprintf(line, sizeof line, "%02d-%02d-%04d %02d:%02d:%02d.%03d ", now.day, now.month,
                               now.year, now.hour, now.minute, now.second, now.millisecond);
    } else {
        length = std::snprintf(line, sizeof line, "%02d-%02d-%04d %02d:%02d:%02d ", now.day, now.month, now.year,
                               now.hour, now.minute, now.second);
    }
    length = std::clamp(length, 0, static_cast<int>(sizeof line) - 1);
    // The whole line stays within 2047 characters; a longer message is cut.
    int message = std::vsnprintf(line + length, sizeof line - static_cast<size_t>(length), format, args);
    if (message > 0) {
        length = std::min(length + message, static_cast<int>(sizeof line) - 1);
    }
    std::lock_guard<std::mutex> files(fileLock);
    RotateIfNeeded();
    if (!OpenFile()) {
        return;  // the line is lost; the next one tries again
    }
    activity.Set();
    std::fwrite(line, 1, static_cast<size_t>(length), file);
    std::fwrite("\r\n", 1, 2, file);
    std::fflush(file);
}

bool ClientLog::OpenFile() {
    if (file) {
        return true;
    }
    if (fileName.empty()) {
        return false;
    }
    file = std::fopen(fileName.c_str(), "ab");
    if (!file) {
        return false;
    }
    std::fseek(file, 0, SEEK_END);
    if ((options & kClosingThread) && !closerRunning.load()) {
        closerRunning = true;
        closerStop = false;
        activity.Reset();
        if (!closer.Start([this] { RunCloser(); }, "lgx-log-closer")) {
            closerRunning = false;
        }
    }
    return true;
}

void ClientLog::CloseFile() {
    if (file) {
        std::fclose(file);
        file = nullptr;
    }
}

void ClientLog::RotateIfNeeded() {
    if (maxSize <= 999 || generations <= 0 || !OpenFile()) {
        return;
    }
    long size = std::ftell(file);
    if (size < maxSize) {
        return;
    }
    std::fputs("See continuation...\r\n", file);
    CloseFile();
    // "LGXClient.log" rotates into "LGXClient.lo0" (newest) .. "LGXClient.lo9" (oldest): the
    // last character of the name becomes the generation digit.
    const std::string base = fileName.substr(0, fileName.size() - 1);
    const int count = std::min(generations, 10);
    for (int n = count - 1; n >= 0; --n) {
        const std::string target = base + static_cast<char>('0' + n);
        const std::string source = n > 0 ? base + static_cast<char>('0' + n - 1) : fileName;
        platform::RemoveFile(target);
        platform::RenameFile(source, target);  // a failed step is ignored; the next goes on
    }
}

void ClientLog::RunCloser() {
    while (!closerStop.load()) {
        if (activity.Wait(closeDelayMs.load())) {
            continue;  // a line was written: wait again
        }
        if (closerStop.load()) {
            break;
        }
        std::lock_guard<std::mutex> files(fileLock);
        CloseFile();
    }
}

void ClientLog::StopCloser() {
    if (!closerRunning.load()) {
        return;
    }
    closerStop = true;
    activity.Set();
    closer.Join();
    closerRunning = false;
}
