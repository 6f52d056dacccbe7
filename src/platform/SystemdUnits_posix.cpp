#include "platform/SystemdUnits.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>

#include "platform/Environment.h"
#include "platform/FileSystem.h"
#include "platform/Text.h"
#include "platform/UnitHardening.h"

namespace platform {

SystemdUnits::SystemdUnits() {
    folder = GetEnv("FISCORA_SYSTEMD_DIR");
    if (folder.empty()) {
        folder = "/etc/systemd/system";
    }
    systemctl = GetEnv("FISCORA_SYSTEMCTL");
    if (systemctl.empty()) {
        systemctl = "systemctl";
    }
}

std::string SystemdUnits::UnitName(const std::string& serviceName) {
    std::string unit;
    for (unsigned char c : serviceName) {
        if (c == ' ') {
            unit += '-';
        } else if (std::isalnum(c) || c == '-' || c == '_' || c == '.') {
            unit += static_cast<char>(std::tolower(c));
        } else {
            // systemd escapes every other byte as \xNN in unit names.
            char escaped[8];
            std::snprintf(escaped, sizeof escaped, "\\x%02x", c);
            unit += escaped;
        }
    }
    return unit + ".service";
}

std::string SystemdUnits::UnitPath(const std::string& serviceName) const {
    return JoinPath(folder, UnitName(serviceName));
}

bool SystemdUnits::FolderAccessible() const {
    if (!IsDirectory(folder)) {
        errno = ENOENT;
        return false;
    }
    return ::access(folder.c_str(), W_OK) == 0;
}

bool SystemdUnits::UnitExists(const std::string& serviceName) const { return FileExists(UnitPath(serviceName)); }

std::string SystemdUnits::ExecWord(const std::string& word) {
    std::string escaped;
    bool quote = word.empty();
    for (char c : word) {
        if (c == '%') {
            escaped += "%%";
        } else if (c == '$') {
            escaped += "$$";
        } else if (c == '"' || c == '\\') {
            escaped += '\\';
            escaped += c;
            quote = true;
        } else {
            quote = quote || c == ' ' || c == '\t' || c == '\'' || c == ';';
            escaped += c;
        }
    }
    return quote ? "\"" + escaped + "\"" : escaped;
}

std::string SystemdUnits::PathValue(const std::string& path, bool quoteBlanks) {
    std::string escaped = text::ReplaceAll(path, "%", "%%");
    bool blank = path.find_first_of(" \t") != std::string::npos;
    return quoteBlanks && blank ? "\"" + escaped + "\"" : escaped;
}

std::string SystemdUnits::UnitText(const Unit& unit) {
    std::vector<std::string> words;
    for (const std::string& word : unit.command) {
        words.push_back(ExecWord(word));
    }
    std::string service = "Type=notify\nExecStart=" + text::Join(words, " ") + "\n";
    if (!unit.workingDirectory.empty()) {
        service += "WorkingDirectory=" + PathValue(unit.workingDirectory, false) + "\n";
    }
    if (!unit.user.empty()) {
        service += "User=" + unit.user + "\n";
    }
    for (const std::string& line : unit.serviceLines) {
        service += line + "\n";
    }
    return "[Unit]\n"
           "Description=" +
           text::ReplaceAll(unit.description, "%", "%%") +
           "\n"
           "After=network-online.target\n"
           "Wants=network-online.target\n"
           "\n"
           "[Service]\n" +
           service +
           "KillMode=mixed\n"
           "TimeoutStopSec=15\n"
           "Restart=on-failure\n"
           "RestartSec=30\n" +
           kUnitHardening +
           "\n"
           "[Install]\n"
           "WantedBy=multi-user.target\n";
}

bool SystemdUnits::WriteUnit(const std::string& serviceName, const std::string& text) const {
    std::string path = UnitPath(serviceName);
    int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
    if (fd < 0) {
        return false;
    }
    bool ok = ::write(fd, text.data(), text.size()) == static_cast<ssize_t>(text.size());
    int saved = errno;
    if (::close(fd) != 0) {
        ok = false;
    }
    if (!ok) {
        ::unlink(path.c_str());
        errno = saved;
    }
    return ok;
}

bool SystemdUnits::DeleteUnit(const std::string& serviceName) const { return RemoveFile(UnitPath(serviceName)); }

bool SystemdUnits::SystemdRunning() const {
    return IsDirectory("/run/systemd/system") || HasEnv("FISCORA_SYSTEMCTL");
}

bool SystemdUnits::Systemctl(const std::vector<std::string>& arguments, std::string& message) const {
    message.clear();
    int code = RunProgram(systemctl, arguments, &message, true);
    message = text::TrimRight(message);
    if (code != 0 && message.empty()) {
        message = code < 0 ? systemctl + " could not be run" : text::Format("exit code %d", code);
    }
    return code == 0;
}

bool SystemdUnits::DaemonReload(std::string& message) const {
    return Systemctl({"daemon-reload"}, message);
}

bool SystemdUnits::EnableNow(const std::string& serviceName, std::string& message) const {
    return Systemctl({"enable", "--now", UnitName(serviceName)}, message);
}

bool SystemdUnits::Disable(const std::string& serviceName, std::string& message) const {
    return Systemctl({"disable", UnitName(serviceName)}, message);
}

bool SystemdUnits::RequestStop(const std::string& serviceName) const {
    UnitState state = QueryState(serviceName);
    if (state != UnitState::Active && state != UnitState::Deactivating) {
        return false;
    }
    return RunProgram(systemctl, {"stop", "--no-block", UnitName(serviceName)}, nullptr) == 0;
}

SystemdUnits::UnitState SystemdUnits::QueryState(const std::string& serviceName) const {
    std::string output;
    RunProgram(systemctl, {"is-active", UnitName(serviceName)}, &output);
    output = text::TrimRight(output);
    if (output == "active" || output == "activating" || output == "reloading") {
        return UnitState::Active;
    }
    if (output == "deactivating") {
        return UnitState::Deactivating;
    }
    if (output == "inactive") {
        return UnitState::Inactive;
    }
    if (output == "failed") {
        return UnitState::Failed;
    }
    return UnitState::Unknown;
}

}  // namespace platform
