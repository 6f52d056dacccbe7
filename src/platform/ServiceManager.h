#pragma once

#include <string>

namespace platform {

// The client side of the Windows service control manager of the local machine: what installing
// and removing a service need. Every failure keeps the system's error number in LastError().
class ServiceManager {
public:
    enum class State { Stopped, StartPending, StopPending, Running, Other };

    ServiceManager() = default;
    // Closes the service and the manager.
    ~ServiceManager();
    ServiceManager(const ServiceManager&) = delete;
    ServiceManager& operator=(const ServiceManager&) = delete;

    // Opens the manager with full access.
    bool Open();
    // Creates and keeps the service: its name is also its display name; an own process that may
    // interact with the desktop (type 0x110), started on demand, normal error control, run as
    // the local system account; the binary path is taken as it is.
    bool Create(const std::string& name, const std::string& binaryPath);
    // Opens an existing service with full access.
    bool OpenService(const std::string& name);
    // The command line the manager starts the open service with; empty when it cannot be read.
    std::string BinaryPath();
    // Sends the stop control; true when the service accepted it.
    bool RequestStop();
    State QueryState();
    // Marks the service for deletion (gone once no one holds it open).
    bool Delete();

    int LastError() const { return lastError; }

private:
    void* manager = nullptr;
    void* service = nullptr;
    int lastError = 0;
};

}  // namespace platform
