#pragma once

namespace platform {

// The [Service] lines that confine every unit of the service (packaging/unit-hardening.conf,
// compiled in), so that the unit of the package and the units "install" writes are alike.
extern const char* const kUnitHardening;

}  // namespace platform
