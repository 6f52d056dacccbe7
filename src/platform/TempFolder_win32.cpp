#include "platform/TempFolder.h"

#include <atomic>

#include "platform/WindowsHeaders.h"

namespace platform {

TempFolder::TempFolder(const std::string& prefix) {
    static std::atomic<unsigned> counter{0};
    char base[MAX_PATH + 1];
    DWORD n = ::GetTempPathA(sizeof base, base);
    if (n == 0 || n > MAX_PATH) {
        return;
    }
    // The process number and a counter make the name; a clash with a left-over folder moves on.
    for (int attempt = 0; attempt < 1000; ++attempt) {
        std::string candidate = std::string(base, n) + prefix + "-" + std::to_string(::GetCurrentProcessId()) + "-" +
                                std::to_string(counter++);
        if (::CreateDirectoryA(candidate.c_str(), nullptr)) {
            path = candidate + "\\";
            return;
        }
        if (::GetLastError() != ERROR_ALREADY_EXISTS) {
            return;
        }
    }
}

}  // namespace platform
