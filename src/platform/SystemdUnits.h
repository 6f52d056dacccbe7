#pragma once

#include <string>
#include <vector>

namespace platform {

// The systemd side of installing and removing the service. The unit folder comes from
// FISCORA_SYSTEMD_DIR (default /etc/systemd/system) and the control program from
// FISCORA_SYSTEMCTL (default systemctl), so that tests run without systemd.
class SystemdUnits {
public:
    enum class UnitState { Active, Deactivating, Inactive, Failed, Unknown };

    // What a unit of the service says beyond the hardening every unit of it carries.
    struct Unit {
        std::string description;
        // The program and its arguments, each quoted for ExecStart= as needed.
        std::vector<std::string> command;
        std::string workingDirectory;
        // Empty: root.
        std::string user;
        // Further [Service] lines (folders, environment), as they are.
        std::vector<std::string> serviceLines;
    };

    SystemdUnits();

    // "QEL Fiscal Service" -> "qel-fiscal-service.service"
    static std::string UnitName(const std::string& serviceName);
    std::string UnitPath(const std::string& serviceName) const;
    const std::string& Folder() const { return folder; }
    // The text of a unit file: the unit's own lines and the hardening shared by every unit of
    // the service (packaging/unit-hardening.conf).
    static std::string UnitText(const Unit& unit);
    // One word of ExecStart=: quoted when it holds blanks, quotes or backslashes, with "%" and
    // "$" kept from systemd's expansion.
    static std::string ExecWord(const std::string& word);
    // A path as the value of a setting (WorkingDirectory=, ReadWritePaths=): "%" kept from
    // specifier expansion, quoted when it holds blanks.
    static std::string PathValue(const std::string& path, bool quoteBlanks);

    // False with errno set when the folder is not usable.
    bool FolderAccessible() const;
    bool UnitExists(const std::string& serviceName) const;
    // Writes the unit file (fails with EEXIST when it is there already).
    bool WriteUnit(const std::string& serviceName, const std::string& text) const;
    bool DeleteUnit(const std::string& serviceName) const;

    // systemd runs this machine (or a stand-in for systemctl was named): without it there is
    // nothing to reload, start or stop.
    bool SystemdRunning() const;
    // Each runs systemctl; false with what it printed in message when it failed.
    bool DaemonReload(std::string& message) const;
    bool EnableNow(const std::string& serviceName, std::string& message) const;
    // Takes the unit out of the targets that want it; works without a running systemd too.
    bool Disable(const std::string& serviceName, std::string& message) const;
    // Asks systemd to stop the unit without waiting; true when the request was taken.
    bool RequestStop(const std::string& serviceName) const;
    UnitState QueryState(const std::string& serviceName) const;

private:
    bool Systemctl(const std::vector<std::string>& arguments, std::string& message) const;

    std::string folder;
    std::string systemctl;
};

}  // namespace platform
