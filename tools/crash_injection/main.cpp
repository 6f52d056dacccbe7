// crash_injection: the long run of the crash test, for the figures.
//   crash_injection [--road printer-manager|czech|mongolian] [--kills N] [--per-round N] [--plain]
//                   [--anywhere] [--timed] [--seed N] [--demo] [--keep FOLDER] [--program FILE]
// Kills FiscoraService of this build with SIGKILL at random moments of registration (anywhere,
// as a check reaches the device, as the device registers it), starts it again, and prints per
// round and at the end how many due payments were lost, registered twice or closed by hand, and
// on the printer-manager road what the reconciliation of its records with the status rows found.
// --road chooses the device (the printer manager unless told); --plain runs a printer manager
// that does not recognise a check sent again under its file name; --anywhere kills only at random
// times, --timed only at the device's moments; --program runs another FiscoraService (its client
// library beside it) than the one of this build.
#include <cstdio>
#include <string>

#include "CrashInjection.h"
#include "platform/Text.h"

int main(int argc, char** argv) {
    crash::Options options;
    options.program = std::string(FISCORA_BINARY_DIR) + "/FiscoraService";
    options.demoConfiguration = std::string(FISCORA_SOURCE_DIR) + "/demo/VuvovaZododAVU.xml";
    options.kills = 200;
    for (int i = 1; i < argc; ++i) {
        std::string arg = argv[i];
        std::string value = i + 1 < argc ? argv[i + 1] : "";
        if (arg == "--road" && !value.empty()) {
            bool known = false;
            for (crash::Road road :
                 {crash::Road::PrinterManager, crash::Road::Czech, crash::Road::Mongolian}) {
                if (value == crash::RoadName(road)) {
                    options.road = road;
                    known = true;
                }
            }
            if (!known) {
                std::fprintf(stderr, "unknown road %s\n", value.c_str());
                return 2;
            }
            ++i;
        } else if (arg == "--program" && !value.empty()) {
            options.program = value;
            ++i;
        } else if (arg == "--timed") {
            options.timedOnly = true;
        } else if (arg == "--plain") {
            options.recogniseRepeats = false;
        } else if (arg == "--anywhere") {
            options.anywhereOnly = true;
        } else if (arg == "--demo") {
            options.day = pmsgen::OpenDay::Demo;
        } else if (arg == "--kills" && !value.empty()) {
            options.kills = text::ToInt(value);
            ++i;
        } else if (arg == "--per-round" && !value.empty()) {
            options.killsPerRound = text::ToInt(value);
            ++i;
        } else if (arg == "--seed" && !value.empty()) {
            options.seed = static_cast<uint32_t>(text::ToInt64(value));
            ++i;
        } else if (arg == "--keep" && !value.empty()) {
            options.keepFolder = value;
            ++i;
        } else {
            std::fprintf(
                stderr,
                "usage: crash_injection [--road printer-manager|czech|mongolian] [--kills N] [--per-round N] "
                "[--plain] [--anywhere] [--timed] [--seed N] [--demo] [--keep FOLDER] [--program FILE]\n");
            return 2;
        }
    }
    options.progress = [](const std::string& line) {
        std::printf("%s\n", line.c_str());
        std::fflush(stdout);
    };
    std::printf("road: %s%s\n", crash::RoadName(options.road),
                options.road != crash::Road::PrinterManager ? ""
                : options.recogniseRepeats                  ? ", recognises repeats"
                                                            : ", plain");
    crash::Figures figures = crash::Run(options);
    std::printf("%s\n", figures.Text().c_str());
    for (const std::string& problem : figures.problems) {
        std::printf("  %s\n", problem.c_str());
    }
    for (const std::string& mismatch : figures.mismatches) {
        std::printf("  reconciliation: %s\n", mismatch.c_str());
    }
    // A plain printer manager registers a repeat again: the reconciliation names those, nothing else.
    bool plain = options.road == crash::Road::PrinterManager && !options.recogniseRepeats;
    bool reconciled = figures.mismatches.empty() || plain;
    return figures.lost == 0 && figures.closedByHand == 0 && (figures.doubled == 0 || plain) && reconciled ? 0 : 1;
}
