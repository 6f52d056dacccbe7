#pragma once

#include <cstdint>
#include <cstdio>
#include <map>
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
    // A line that a lasting fault writes again at every polling cycle (a statement the database
    // refuses, a status it does not take): written once, then only counted. Once the line has
    // stood kRepeatWindowMs the count is written with the next line of the log as
    // "... repeated 239 times since hh:mm:ss: <text>" (at close at the latest), and the line is
    // written again at its next coming. So a fault writes each of its lines at most twice in a
    // window, however fast it repeats. Up to kRepeatingKept different lines are counted at once.
    void WriteRepeating(const std::string& text);
    static constexpr int64_t kRepeatWindowMs = 10 * 60 * 1000;
    static constexpr size_t kRepeatingKept = 64;
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
    // Writes the counts of the lines whose window has passed (of every counted line with all).
    void FlushRepeats(bool all);

    struct Repeated {
        int64_t writtenMs = 0;
        int count = 0;
        std::string since;
    };

    mutable std::recursive_mutex lock;
    FILE* file = nullptr;
    std::string errorText;
    std::string path;
    std::string folder;
    bool keepOldLogs = false;
    bool echo = true;
    std::string echoCodePage = "1251";
    int openError = 0;
    std::map<std::string, Repeated> repeated;
    bool flushing = false;
};
