#include "platform/SystemdUnits.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>

#include "platform/Environment.h"
#include "platform/FileSystem.h"
#include "platform/Text.h"

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

bool SystemdUnits::WriteUnit(const std::string& serviceName, const std::string& executable) const {
    std::string workingDirectory = executable.substr(0, executable.rfind('/') + 1);
    std::string text =
        "[Unit]\n"
        "Description=" + serviceName + "\n"
        "After=network-online.target\n"
        "Wants=network-online.target\n"
        "\n"
        "[Service]\n"
        "Type=notify\n"
        "ExecStart=" + executable + "\n"
        "WorkingDirectory=" + workingDirectory + "\n"
        "KillMode=mixed\n"
        "TimeoutStopSec=15\n"
        "Restart=on-failure\n"
        "RestartSec=30\n"
        "\n"
        "[Install]\n"
        "WantedBy=multi-user.target\n";
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

bool SystemdUnits::DaemonReload() const { return RunProgram(systemctl, {"daemon-reload"}, nullptr) == 0; }

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
