#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "PmsGenerator.h"

// FiscoraService killed with SIGKILL at moments of registration and started again, against a
// fresh demo hotel and the simulator of one road (the printer manager, the Czech registration
// service or the Mongolian tax service), round after round; then it runs without kills until
// every due payment is registered, and what the simulator registered is held against the status
// rows, payment by payment.
namespace crash {

// The device interface the service registers through.
enum class Road { PrinterManager, Czech, Mongolian };
// "printer-manager", "czech", "mongolian".
const char* RoadName(Road road);

// Where a kill lands.
enum class Moment {
    Anywhere,      // a random time after the start
    CheckArrived,  // a check message reached the device, nothing registered yet
    Registered,    // the device registered the check; its answer has not gone yet
    Answered,      // the device registered the check and its answer goes: the kill races its reading
};
constexpr int kMoments = 4;

struct Options {
    std::string program;            // the FiscoraService to run
    std::string demoConfiguration;  // demo/VuvovaZododAVU.xml of the source tree
    Road road = Road::PrinterManager;
    int kills = 30;
    int killsPerRound = 10;
    // Only kills at a random time after the start, none aimed at the device's moments.
    bool anywhereOnly = false;
    // Only kills aimed at the device's moments (a check arrived, or registered and unanswered).
    bool timedOnly = false;
    // The printer manager knows a check sent again under its file name (the other roads' services
    // always know a repeat).
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
    int killsByMoment[kMoments] = {};
    int duePayments = 0;
    int registrations = 0;  // documents the simulator registered
    int lost = 0;           // due payments that did not end "Y" with a registration of their own
    int doubled = 0;        // registrations beyond the one of each due payment
    int repeats = 0;        // checks the simulator answered as repeats
    int closedByHand = 0;   // checks closed for the operator to register by hand
    std::vector<std::string> problems;
    // What the reconciliation of each round's status rows with the simulator's records found.
    std::vector<std::string> mismatches;

    std::string Text() const;
};

// Runs the rounds; a round that cannot be set up ends the run with its reason in problems.
Figures Run(const Options& options);

}  // namespace crash
