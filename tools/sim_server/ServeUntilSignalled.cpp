#include "ServeUntilSignalled.h"

#include <cstdio>
#include <fstream>

#include "platform/Event.h"
#include "platform/SignalWatcher.h"

int ServeUntilSignalled(const std::string& program, LoopbackServer& server, int port, const std::string& portFile,
                        const std::function<std::string()>& describe) {
    platform::Event stop(true);
    platform::SignalWatcher signals;
    signals.Start([&stop](platform::SignalWatcher::Kind, int) { stop.Set(); });
    std::string error;
    if (!server.StartServer(port, error)) {
        std::fprintf(stderr, "%s: %s\n", program.c_str(), error.c_str());
        return 1;
    }
    if (!portFile.empty()) {
        std::ofstream(portFile) << server.Port() << '\n';
    }
    std::printf("%s listening on 127.0.0.1:%u, fault: %s\n", program.c_str(), server.Port(), describe().c_str());
    std::fflush(stdout);
    stop.Wait(-1);
    server.StopServer();
    return 0;
}
