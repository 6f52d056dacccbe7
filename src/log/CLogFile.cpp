#include "log/CLogFile.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>

#include "platform/Clock.h"
#include "platform/CodePage.h"
#include "platform/FileSystem.h"
#include "platform/Text.h"

namespace {

// "%02d%02d%4d%02d%02d": day, month, year, hour, minute of now.
std::string MinuteStamp() {
    platform::LocalTime now = platform::Clock::Current().Now();
    return text::Format("%02d%02d%4d%02d%02d", now.day, now.month, now.year, now.hour, now.minute);
}

}  // namespace

CLogFile::~CLogFile() { Close(); }

bool CLogFile::Open(const std::string& name, bool truncate) {
    std::lock_guard<std::recursive_mutex> guard(lock);
    Close();
    const auto separator = [](char c) { return platform::IsSeparator(c); };
    if (std::none_of(name.begin(), name.end(), separator)) {
        if (folder.empty()) {
            folder = platform::ProgramFolder();
        }
        path = folder + name;
    } else {
        path = name;
        folder = std::string(path.begin(), std::find_if(path.rbegin(), path.rend(), separator).base());
    }
    // Binary: lines end in "\n" alone on Windows too.
    file = std::fopen(path.c_str(), truncate ? "wb" : "ab");
    if (!file) {
        openError = errno;
        errorText = "Error open " + path;
        return false;
    }
    std::fseek(file, 0, SEEK_END);
    WriteText("*");
    CheckSize();
    return true;
}

bool CLogFile::OpenDefault() {
    std::lock_guard<std::recursive_mutex> guard(lock);
    Close();
    std::string programFolder = platform::ProgramFolder();
    if (programFolder.empty()) {
        errorText = "unable to find application's path";
        return false;
    }
    folder = programFolder;
    path = folder + MinuteStamp() + ".log";
    file = std::fopen(path.c_str(), "ab");
    if (!file) {
        ShowError("Error open " + path);
        errorText = "Error open " + path;
        return false;
    }
    WriteText("*");
    return true;
}

void CLogFile::Close() {
    std::lock_guard<std::recursive_mutex> guard(lock);
    if (file) {
        FlushRepeats(true);
        WriteText("*");
        std::fclose(file);
        file = nullptr;
    }
}

bool CLogFile::IsOpen() const {
    std::lock_guard<std::recursive_mutex> guard(lock);
    return file != nullptr;
}

void CLogFile::WriteRepeating(const std::string& text) {
    std::lock_guard<std::recursive_mutex> guard(lock);
    if (!file) {
        return;
    }
    FlushRepeats(false);
    auto found = repeated.find(text);
    if (found != repeated.end()) {
        if (found->second.count++ == 0) {
            platform::LocalTime now = platform::Clock::Current().Now();
            found->second.since = ::text::Format("%.2d:%.2d:%.2d", now.hour, now.minute, now.second);
        }
        return;
    }
    if (repeated.size() >= kRepeatingKept) {
        // The line standing longest gives way, with its count.
        auto oldest = std::min_element(repeated.begin(), repeated.end(), [](const auto& a, const auto& b) {
            return a.second.writtenMs < b.second.writtenMs;
        });
        oldest->second.writtenMs = platform::Clock::Current().MonotonicMs() - kRepeatWindowMs;
        FlushRepeats(false);
    }
    WriteText(text);
    repeated[text].writtenMs = platform::Clock::Current().MonotonicMs();
}

void CLogFile::FlushRepeats(bool all) {
    if (flushing || repeated.empty()) {
        return;
    }
    flushing = true;
    int64_t now = platform::Clock::Current().MonotonicMs();
    for (auto it = repeated.begin(); it != repeated.end();) {
        if (!all && now - it->second.writtenMs < kRepeatWindowMs) {
            ++it;
            continue;
        }
        if (it->second.count > 0) {
            WriteText(::text::Format("... repeated %d time%s since %s: ", it->second.count,
                                     it->second.count == 1 ? "" : "s", it->second.since.c_str()) +
                      it->first);
        }
        it = repeated.erase(it);
    }
    flushing = false;
}

void CLogFile::WriteLine(const std::string& text, int length, int direction, bool asHex) {
    std::lock_guard<std::recursive_mutex> guard(lock);
    if (!file) {
        return;
    }
    FlushRepeats(false);
    std::string directionText = direction == Outgoing ? "-->" : direction == Incoming ? "<--" : "";
    std::string lengthText;
    if (length != 0) {
        lengthText = "(" + std::to_string(length) + ")";
    } else if (direction != Plain) {
        lengthText = "(" + std::to_string(text.size()) + ")";
    }
    platform::LocalTime now = platform::Clock::Current().Now();
    std::string timeText = ::text::Format("%.2d.%.2d.%4d %.2d:%.2d:%.2d ", now.day, now.month, now.year,
                                          now.hour, now.minute, now.second);
    std::string body = text;
    if (length != 0 && (asHex || (!text.empty() && text[0] == '~'))) {
        body.clear();
        size_t count = std::min(static_cast<size_t>(length > 0 ? length : 0), text.size());
        char hex[8];
        for (size_t i = 0; i < count; ++i) {
            std::snprintf(hex, sizeof hex, "0x%02x ", static_cast<unsigned char>(text[i]));
            body += hex;
        }
    }
    std::string line = timeText + " " + directionText + " " + lengthText + " " + " " + body;
    if (echo) {
        // The file keeps the site's bytes; the console and the system journal get UTF-8.
        std::string shown = platform::MixedToUtf8(line, echoCodePage);
        std::fwrite(shown.data(), 1, shown.size(), stdout);
        std::fputc('\n', stdout);
        std::fflush(stdout);
    }
    if (line.size() > 2000) {
        size_t blank = line.find(' ', 2000);
        if (blank != std::string::npos) {
            line[blank] = '\n';
        } else {
            // Break before the character rather than over it, so no byte of the text is lost.
            line.insert(2000, 1, '\n');
        }
    }
    WriteRaw(line);
}

void CLogFile::WriteRaw(const std::string& line) {
    std::fwrite(line.data(), 1, line.size(), file);
    std::fputc('\n', file);
    std::fflush(file);
}

void CLogFile::WriteList(const std::vector<std::string>& texts) {
    for (const std::string& text : texts) {
        WriteText(text);
    }
}

void CLogFile::ShowError(const std::string& text) {
    std::fprintf(stderr, "QEL Interface: %s\n", text.c_str());
    WriteText(text);
}

void CLogFile::CheckSize() {
    std::lock_guard<std::recursive_mutex> guard(lock);
    if (!file) {
        return;
    }
    std::fflush(file);
    if (platform::FileSize(path) <= kMaxSize) {
        return;
    }
    Close();
    if (keepOldLogs) {
        std::string dated = path.substr(0, path.size() >= 4 ? path.size() - 4 : 0) + MinuteStamp() + ".log";
        platform::CopyFile(path, dated);
    } else {
        std::string stem = path.substr(0, path.size() - 1);
        for (int n = 8; n >= 0; --n) {
            std::string copy = stem + std::to_string(n);
            if (platform::FileExists(copy)) {
                platform::CopyFile(copy, stem + std::to_string(n + 1));
            }
        }
        platform::CopyFile(path, stem + "0");
    }
    if (!path.empty()) {
        Open(path, true);
    } else {
        OpenDefault();
    }
}

std::string CLogFile::GetFolder() const {
    std::lock_guard<std::recursive_mutex> guard(lock);
    return folder;
}

std::string CLogFile::GetPath() const {
    std::lock_guard<std::recursive_mutex> guard(lock);
    return path;
}
