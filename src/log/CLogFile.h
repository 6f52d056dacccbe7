#pragma once

#include <cstdint>
#include <cstdio>
#include <mutex>
#include <string>
#include <vector>

// The service log: one time-stamped line per event, flushed at once, echoed to standard output,
// rolled over when it grows beyond five million bytes. One instance is shared by every component.
class CLogFile {
public:
    static constexpr int64_t kMaxSize = 5000000;
    enum Direction { Outgoing = 0, Incoming = 1, Plain = 5 };

    CLogFile() = default;
    virtual ~CLogFile();
    CLogFile(const CLogFile&) = delete;
    CLogFile& operator=(const CLogFile&) = delete;

    bool Open(const std::string& name, bool truncate);
    bool OpenDefault();
    void Close();
    bool IsOpen() const;

    void WriteLine(const std::string& text, int length, int direction, bool asHex);
    void WriteText(const std::string& text) { WriteLine(text, 0, Plain, false); }
    void WriteList(const std::vector<std::string>& texts);
    void ShowError(const std::string& text);
    void CheckSize();

    std::string GetFolder() const;
    std::string GetPath() const;
    const std::string& GetErrorText() const { return errorText; }
    void SetKeepOldLogs(bool keep) { keepOldLogs = keep; }
    bool KeepOldLogs() const { return keepOldLogs; }
    // Standard output gets a copy of every line unless switched off (tests, tools).
    void SetEcho(bool on) { echo = on; }
    // The code page of the site's single-byte texts, which the echo turns into UTF-8.
    void SetEchoCodePage(const std::string& codePage) { echoCodePage = codePage; }
    // The system's error number of the last failed Open, 0 when none failed.
    int GetOpenError() const { return openError; }

private:
    void WriteRaw(const std::string& line);

    mutable std::recursive_mutex lock;
    FILE* file = nullptr;
    std::string errorText;
    std::string path;
    std::string folder;
    bool keepOldLogs = false;
    bool echo = true;
    std::string echoCodePage = "1251";
    int openError = 0;
};
