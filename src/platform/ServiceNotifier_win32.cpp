#include "platform/ServiceNotifier.h"

#include <algorithm>

#include "platform/WindowsService.h"

// On Windows the service control manager hears of the service's state from the entry point
// (WindowsServiceControl), and has no status line for a text: only the extension of a pending
// state goes to it from here.
namespace platform {

void ServiceNotifier::Report(State, int) {}

void ServiceNotifier::Status(const std::string&) {}

// The control manager gives a pending state its wait hint: a stop that waits for an exchange in
// flight says how much longer it takes. Outside a service (no report made) nothing happens.
void ServiceNotifier::ExtendTimeout(int64_t ms) {
    windows_service::ExtendPendingWait(static_cast<unsigned>(std::clamp<int64_t>(ms, 0, 0x7FFFFFFF)));
}

}  // namespace platform
