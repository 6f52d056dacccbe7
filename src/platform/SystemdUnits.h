#pragma once

#include <string>

namespace platform {

// The systemd side of installing and removing the service. The unit folder comes from
// FISCORA_SYSTEMD_DIR (default /etc/systemd/system) and the control program from
// FISCORA_SYSTEMCTL (default systemctl), so that tests run without systemd.
class SystemdUnits {
public:
    enum class UnitState { Active, Deactivating, Inactive, Failed, Unknown };

    SystemdUnits();

    // "QEL Fiscal Service" -> "qel-fiscal-service.service"
    static std::string UnitName(const std::string& serviceName);
    std::string UnitPath(const std::string& serviceName) const;
    const std::string& Folder() const { return folder; }

    // False with errno set when the folder is not usable.
    bool FolderAccessible() const;
    bool UnitExists(const std::string& serviceName) const;
    // Writes the unit file (fails with EEXIST when it is there already).
    bool WriteUnit(const std::string& serviceName, const std::string& executable) const;
    bool DeleteUnit(const std::string& serviceName) const;

    bool DaemonReload() const;
    // Asks systemd to stop the unit without waiting; true when the request was taken.
    bool RequestStop(const std::string& serviceName) const;
    UnitState QueryState(const std::string& serviceName) const;

private:
    std::string folder;
    std::string systemctl;
};

}  // namespace platform
