#include "platform/ServiceNotifier.h"

// On Windows the service control manager hears of the service's state from the entry point
// (WindowsServiceControl), and has no status line for a text: nothing to tell here.
namespace platform {

void ServiceNotifier::Report(State, int) {}

void ServiceNotifier::Status(const std::string&) {}

// The control manager's wait hint comes from the entry point's pending states.
void ServiceNotifier::ExtendTimeout(int64_t) {}

}  // namespace platform
