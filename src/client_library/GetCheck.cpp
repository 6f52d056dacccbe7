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

extern "C" __attribute__((visibility("default"))) GetCheckResult* GetCheck(int rvc, int cknum, const char* openTime) {
    return Library().GetCheck(rvc, cknum, openTime);
}
