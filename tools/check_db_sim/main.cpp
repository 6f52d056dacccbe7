// check_db_sim: the check-database server stand-in as a program, for the demo and manual runs.
//
// tools/check_db_sim/checks.json holds two sample checks (rvc 5 / cknum 1234, rvc 1 / cknum 77).
//   check_db_sim [--checks FILE] [--port N] [--udp-port N] [--broadcast 127.x.x.x]
//                [--config JSON] [--name NAME] [--address ADDR] [--silent | --late MS | --stale]
#include <cstdio>
#include <cstring>
#include <string>

#include "CheckDbSimulator.h"
#include "platform/Event.h"
#include "platform/SignalWatcher.h"
#include "platform/Text.h"

namespace {

int Usage() {
    std::fprintf(stderr,
                 "usage: check_db_sim [--checks FILE] [--port N] [--udp-port N] [--broadcast 127.x.x.x]\n"
                 "                    [--config JSON] [--name NAME] [--address ADDR]\n"
                 "                    [--silent | --late MS | --stale]\n");
    return 2;
}

}  // namespace

int main(int argc, char** argv) {
    CheckDbSimulator::Options options;
    options.configText = "{\"serveraddress\":\"127.0.0.1\",\"keepdays\":400}";
    std::string checksFile;
    CheckDbSimulator::ReplyMode mode = CheckDbSimulator::ReplyMode::Normal;
    int lateMs = 0;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        const bool hasValue = i + 1 < argc;
        if (arg == "--checks" && hasValue) {
            checksFile = argv[++i];
        } else if (arg == "--port" && hasValue) {
            options.tcpPort = text::ToInt(argv[++i]);
        } else if (arg == "--udp-port" && hasValue) {
            options.udpPort = text::ToInt(argv[++i]);
        } else if (arg == "--broadcast" && hasValue) {
            options.broadcastAddress = argv[++i];
        } else if (arg == "--config" && hasValue) {
            options.configText = argv[++i];
        } else if (arg == "--name" && hasValue) {
            options.name = argv[++i];
        } else if (arg == "--address" && hasValue) {
            options.address = argv[++i];
        } else if (arg == "--silent") {
            mode = CheckDbSimulator::ReplyMode::Silent;
        } else if (arg == "--late" && hasValue) {
            mode = CheckDbSimulator::ReplyMode::Late;
            lateMs = text::ToInt(argv[++i]);
        } else if (arg == "--stale") {
            mode = CheckDbSimulator::ReplyMode::StaleSequence;
        } else {
            return Usage();
        }
    }

    platform::Event stop(true);
    platform::SignalWatcher signals;
    signals.Start([&stop](platform::SignalWatcher::Kind, int) { stop.Set(); });

    CheckDbSimulator simulator(options);
    std::string error;
    if (!checksFile.empty() && !simulator.LoadChecks(checksFile, error)) {
        std::fprintf(stderr, "check_db_sim: %s\n", error.c_str());
        return 1;
    }
    simulator.SetReplyMode(mode, lateMs);
    if (!simulator.Start(error)) {
        std::fprintf(stderr, "check_db_sim: %s\n", error.c_str());
        return 1;
    }
    std::printf("check_db_sim listening on %s:%u\n", options.bindAddress.c_str(), simulator.TcpPort());
    std::fflush(stdout);
    stop.Wait(-1);
    simulator.Stop();
    return 0;
}
