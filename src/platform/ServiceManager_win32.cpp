#include "platform/ServiceManager.h"

#include "platform/WindowsHeaders.h"

namespace platform {

namespace {

SC_HANDLE Native(void* handle) { return static_cast<SC_HANDLE>(handle); }

}  // namespace

ServiceManager::~ServiceManager() {
    if (service) {
        ::CloseServiceHandle(Native(service));
    }
    if (manager) {
        ::CloseServiceHandle(Native(manager));
    }
}

bool ServiceManager::Open() {
    manager = ::OpenSCManagerA(nullptr, nullptr, SC_MANAGER_ALL_ACCESS);
    lastError = manager ? 0 : static_cast<int>(::GetLastError());
    return manager != nullptr;
}

bool ServiceManager::Create(const std::string& name, const std::string& binaryPath) {
    // An empty dependency list is a text of two zero bytes.
    service = ::CreateServiceA(Native(manager), name.c_str(), name.c_str(), SERVICE_ALL_ACCESS,
                               SERVICE_WIN32_OWN_PROCESS | SERVICE_INTERACTIVE_PROCESS, SERVICE_DEMAND_START,
                               SERVICE_ERROR_NORMAL, binaryPath.c_str(), nullptr, nullptr, "\0\0", nullptr, nullptr);
    lastError = service ? 0 : static_cast<int>(::GetLastError());
    return service != nullptr;
}

bool ServiceManager::OpenService(const std::string& name) {
    service = ::OpenServiceA(Native(manager), name.c_str(), SERVICE_ALL_ACCESS);
    lastError = service ? 0 : static_cast<int>(::GetLastError());
    return service != nullptr;
}

std::string ServiceManager::BinaryPath() {
    DWORD needed = 0;
    ::QueryServiceConfigA(Native(service), nullptr, 0, &needed);
    std::string buffer(needed, '\0');
    auto* config = reinterpret_cast<QUERY_SERVICE_CONFIGA*>(buffer.data());
    if (needed == 0 || !::QueryServiceConfigA(Native(service), config, needed, &needed)) {
        lastError = static_cast<int>(::GetLastError());
        return "";
    }
    return config->lpBinaryPathName ? config->lpBinaryPathName : "";
}

bool ServiceManager::RequestStop() {
    SERVICE_STATUS status{};
    if (!::ControlService(Native(service), SERVICE_CONTROL_STOP, &status)) {
        lastError = static_cast<int>(::GetLastError());
        return false;
    }
    return true;
}

ServiceManager::State ServiceManager::QueryState() {
    SERVICE_STATUS status{};
    if (!::QueryServiceStatus(Native(service), &status)) {
        lastError = static_cast<int>(::GetLastError());
        return State::Other;
    }
    switch (status.dwCurrentState) {
        case SERVICE_STOPPED:
            return State::Stopped;
        case SERVICE_START_PENDING:
            return State::StartPending;
        case SERVICE_STOP_PENDING:
            return State::StopPending;
        case SERVICE_RUNNING:
            return State::Running;
        default:
            return State::Other;
    }
}

bool ServiceManager::Delete() {
    if (!::DeleteService(Native(service))) {
        lastError = static_cast<int>(::GetLastError());
        return false;
    }
    return true;
}

}  // namespace platform
