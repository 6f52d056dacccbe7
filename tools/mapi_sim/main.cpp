// mapi_sim: a stand-in for the Mongolian tax-registration service, listening on 127.0.0.1.
//   mapi_sim --port N [--records FILE] [--control FILE] [--fault "LINE"] [--first-number N]
//            [--port-file FILE] [--verbose]
// The control file holds one fault line (see FaultSetting.h; kinds Sale and Return) and is
// re-read while running. SIGTERM or SIGINT end the program.
#include <cstdio>
#include <string>

#include "MapiSim.h"
#include "ServeUntilSignalled.h"
#include "platform/Text.h"

namespace {

int Usage(const std::string& problem) {
    std::fprintf(stderr,
                 "mapi_sim: %s\n"
                 "usage: mapi_sim --port N [--records FILE] [--control FILE] [--fault LINE]\n"
                 "       [--first-number N] [--port-file FILE] [--verbose]\n",
                 problem.c_str());
    return 2;
}

}  // namespace

int main(int argc, char** argv) {
    MapiSim::Options options;
    std::string portFile;
    bool havePort = false;
    for (int i = 1; i < argc; ++i) {
        std::string arg = argv[i];
        if (arg == "--verbose") {
            options.verbose = true;
            continue;
        }
        if (i + 1 >= argc) {
            return Usage("missing value after " + arg);
        }
        std::string value = argv[++i];
        if (arg == "--port") {
            if (!text::IsDigits(value) || value.size() > 5) {
                return Usage("--port takes a number");
            }
            options.port = text::ToInt(value);
            havePort = true;
        } else if (arg == "--first-number") {
            if (!text::IsDigits(value) || value.size() > 15 || text::ToInt64(value) == 0) {
                return Usage("--first-number takes a number above 0");
            }
            options.firstFiscalNumber = text::ToInt64(value);
        } else if (arg == "--records") {
            options.recordsPath = value;
        } else if (arg == "--control") {
            options.controlPath = value;
        } else if (arg == "--fault") {
            std::string error;
            if (!options.fault.Parse(value, error)) {
                return Usage("--fault: " + error);
            }
        } else if (arg == "--port-file") {
            portFile = value;
        } else {
            return Usage("unknown option " + arg);
        }
    }
    if (!havePort) {
        return Usage("--port is required (0 picks a free one)");
    }

    MapiSim sim(options);
    int exitCode = ServeUntilSignalled("mapi_sim", sim, options.port, portFile, [&sim] { return sim.Fault().Describe(); });
    if (exitCode == 0) {
        std::printf("mapi_sim stopped after %zu registrations\n", sim.Registrations().size());
    }
    return exitCode;
}
