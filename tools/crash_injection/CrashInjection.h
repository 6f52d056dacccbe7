#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "PmsGenerator.h"

// FiscoraService killed with SIGKILL at moments of registration and started again, against a
// fresh demo hotel and the printer-manager simulator, round after round; then it runs without
// kills until every due payment is registered, and what the simulator registered is held
// against the status rows, payment by payment.
namespace crash {

// Where a kill lands.
enum class Moment {
    Anywhere,      // a random time after the start
    CheckArrived,  // a check message reached the printer manager, nothing registered yet
    Registered,    // the printer manager registered the check; its answer has not gone yet
};

struct Options {
    std::string program;            // the FiscoraService to run
    std::string demoConfiguration;  // demo/VuvovaZododAVU.xml of the source tree
    int kills = 30;
    int killsPerRound = 10;
    // Only kills at a random time after the start, none aimed at the device's moments.
    bool anywhereOnly = false;
    bool recogniseRepeats = true;
    uint32_t seed = 1;
    pmsgen::OpenDay day = pmsgen::OpenDay::Small;
    // Keeps each round's folder here (a subfolder per round) instead of a temporary one.
    std::string keepFolder;
    std::function<void(const std::string& line)> progress;
};

struct Figures {
    int rounds = 0;
    int kills = 0;
    int killsByMoment[3] = {};
    int duePayments = 0;
    int registrations = 0;  // documents the simulator registered
    int lost = 0;           // due payments that did not end "Y" with a registration of their own
    int doubled = 0;        // registrations beyond the one of each due payment
    int repeats = 0;        // checks the simulator answered as repeats
    std::vector<std::string> problems;
    // What the reconciliation of each round's status rows with the simulator's records found.
    std::vector<std::string> mismatches;

    std::string Text() const;
};

// Runs the rounds; a round that cannot be set up ends the run with its reason in problems.
Figures Run(const Options& options);

}  // namespace crash
