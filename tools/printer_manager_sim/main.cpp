// printer_manager_sim: a printer manager for tests and the demo, listening on 127.0.0.1.
//   printer_manager_sim --port N [--records FILE] [--control FILE] [--fault "LINE"]
//                       [--printer-id PREFIX] [--printer-type TEXT] [--first-check N]
//                       [--shift N] [--port-file FILE] [--recognise-repeats] [--end-byte]
//                       [--split-ms N] [--verbose]
// The control file holds one fault line (see FaultSetting.h) and is re-read while running, so a
// test switches faults on and off by rewriting it. SIGTERM or SIGINT end the program.
#include <cstdio>
#include <string>

#include "PrinterManagerSim.h"
#include "ServeUntilSignalled.h"
#include "platform/CodePage.h"
#include "platform/Text.h"

namespace {

int Usage(const std::string& problem) {
    std::fprintf(stderr,
                 "printer_manager_sim: %s\n"
                 "usage: printer_manager_sim --port N [--records FILE] [--control FILE] [--fault LINE]\n"
                 "       [--printer-id PREFIX] [--printer-type TEXT] [--first-check N] [--shift N]\n"
                 "       [--port-file FILE] [--recognise-repeats] [--end-byte] [--split-ms N] [--verbose]\n",
                 problem.c_str());
    return 2;
}

bool IsNumber(const std::string& s) { return !s.empty() && s.find_first_not_of("0123456789") == std::string::npos; }

}  // namespace

int main(int argc, char** argv) {
    PrinterManagerSim::Options options;
    std::string portFile;
    bool havePort = false;
    for (int i = 1; i < argc; ++i) {
        std::string arg = argv[i];
        if (arg == "--verbose") {
            options.verbose = true;
            continue;
        }
        if (arg == "--recognise-repeats") {
            options.recogniseRepeats = true;
            continue;
        }
        if (arg == "--end-byte") {
            options.endByte = true;
            continue;
        }
        if (i + 1 >= argc) {
            return Usage("missing value after " + arg);
        }
        std::string value = argv[++i];
        if (arg == "--port" || arg == "--first-check" || arg == "--shift" || arg == "--split-ms") {
            if (!IsNumber(value) || value.size() > 9) {
                return Usage(arg + " takes a number");
            }
            int number = text::ToInt(value);
            if (arg == "--port") {
                options.port = number;
                havePort = true;
            } else if (arg == "--first-check") {
                options.firstCheckNumber = number;
            } else if (arg == "--split-ms") {
                options.splitPauseMs = number;
            } else {
                options.shiftNumber = number;
            }
        } else if (arg == "--records") {
            options.recordsPath = value;
        } else if (arg == "--control") {
            options.controlPath = value;
        } else if (arg == "--fault") {
            std::string error;
            if (!options.fault.Parse(value, error)) {
                return Usage("--fault: " + error);
            }
        } else if (arg == "--printer-id") {
            options.printerIdPrefix = value;
        } else if (arg == "--printer-type") {
            // Given in UTF-8, reported in the site's code page like the real manager does.
            options.printerType = platform::Cp1251(value);
        } else if (arg == "--port-file") {
            portFile = value;
        } else {
            return Usage("unknown option " + arg);
        }
    }
    if (!havePort) {
        return Usage("--port is required (0 picks a free one)");
    }

    PrinterManagerSim sim(options);
    int exitCode = ServeUntilSignalled("printer_manager_sim", sim, options.port, portFile,
                                       [&sim] { return sim.Fault().Describe(); });
    if (exitCode == 0) {
        std::printf("printer_manager_sim stopped after %zu registrations\n", sim.Records().size());
    }
    return exitCode;
}
