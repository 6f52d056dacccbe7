// The one export of LGXClient.
#include "client_library/LgxClient.h"
#include "platform/DynamicLibrary.h"

namespace {

// Built by the first call. Where the system allows it, its destructor runs when the library is
// unloaded and stops the channel and discovery threads and closes the log. On Windows the library
// stays loaded from its first call to the end of the process, which ends the threads: stopping
// them during the unloading would hang the program that unloads it.
LgxClient& Library() {
    if (platform::DynamicLibrary::kUnloadMayWaitForThreads) {
        static LgxClient client(ClientLog::Library());
        return client;
    }
    static LgxClient* const kept = [] {
        if (!platform::DynamicLibrary::KeepLoaded(reinterpret_cast<const void*>(&Library))) {
            ClientLog::Library().LogLine(1, "The library cannot stay loaded: unloading it would hang");
        }
        return new LgxClient(ClientLog::Library());
    }();
    return *kept;
}

}  // namespace

// The only symbol that the shared library shows: every other one stays hidden (Linux) or
// unexported (Windows, where one explicit export stops the exporting of all the others).
#ifdef _WIN32
#define LGX_EXPORT __declspec(dllexport)
#else
#define LGX_EXPORT __attribute__((visibility("default")))
#endif

extern "C" LGX_EXPORT GetCheckResult* GetCheck(int rvc, int cknum, const char* openTime) {
    return Library().GetCheck(rvc, cknum, openTime);
}
