// The one export of LGXClient.
#include "client_library/LgxClient.h"

namespace {

// Built by the first call; its destructor runs when the library is unloaded and stops the
// channel and discovery threads and closes the log.
LgxClient& Library() {
    static LgxClient client(ClientLog::Library());
    return client;
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
