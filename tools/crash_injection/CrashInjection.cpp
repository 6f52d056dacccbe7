#include "CrashInjection.h"

#include <map>
#include <memory>
#include <random>

#include "PrinterManagerSim.h"
#include "Reconciliation.h"
#include "ServiceFolder.h"
#include "platform/Event.h"
#include "platform/FileSystem.h"
#include "platform/TempFolder.h"
#include "platform/Text.h"

namespace crash {

namespace {

// The simulator's side of a kill: when the awaited event comes, the kill is let go and the
// simulator holds its answer until the service is gone.
class Trigger {
public:
    void Arm(Moment moment) {
        std::lock_guard<std::mutex> guard(mutex);
        armed = moment;
        fired.Reset();
        killed.Reset();
    }
    void Disarm() {
        std::lock_guard<std::mutex> guard(mutex);
        armed = Moment::Anywhere;
        killed.Set();
    }
    void Observe(const std::string& event) {
        {
            std::lock_guard<std::mutex> guard(mutex);
            Moment wanted = event == "check" ? Moment::CheckArrived : Moment::Registered;
            if (armed != wanted) {
                return;
            }
            armed = Moment::Anywhere;
        }
        fired.Set();
        killed.Wait(10000);
    }
    platform::Event fired{true};
    platform::Event killed{true};

private:
    std::mutex mutex;
    Moment armed = Moment::Anywhere;
};

struct Round {
    int kills = 0;
    bool done = false;
};

void Tell(const Options& options, const std::string& line) {
    if (options.progress) {
        options.progress(line);
    }
}

// Holds every registration against the status rows and adds the round to the figures.
void Count(ServiceFolder& run, const std::vector<int>& due, Figures& figures) {
    std::map<int, ServiceFolder::StatusRow> rows = run.StatusRows();
    std::vector<ServiceFolder::Registered> records = run.AllRecords();
    std::multimap<std::string, size_t> byDocument;
    for (size_t i = 0; i < records.size(); ++i) {
        byDocument.emplace(records[i].printer + "/" + records[i].fiscalNumber, i);
    }
    int matched = 0;
    for (int trxNo : due) {
        const ServiceFolder::StatusRow& row = rows[trxNo];
        auto found = byDocument.find(row.attempt + "/" + row.checkNumber);
        if (row.status != "Y" || row.checkNumber.empty() || found == byDocument.end()) {
            ++figures.lost;
            figures.problems.push_back(
                text::Format("round %d: payment %d ended %s without a registration of its own",
                             figures.rounds, trxNo, row.status.c_str()));
            continue;
        }
        byDocument.erase(found);
        ++matched;
    }
    figures.duePayments += static_cast<int>(due.size());
    figures.registrations += static_cast<int>(records.size());
    figures.doubled += static_cast<int>(records.size()) - matched;
    for (size_t i = 0; i < run.SimulatorCount(); ++i) {
        figures.repeats += static_cast<int>(run.Simulator(i).Repeats());
    }
    Reconciliation::Expected expected;
    expected.due = due;
    for (int trxNo : run.Pms().ignoredPayments) {
        expected.closed[trxNo] = "Payment included in ignore list.";
    }
    for (const std::string& mismatch : Reconciliation(run, expected).problems) {
        figures.mismatches.push_back(text::Format("round %d: ", figures.rounds) + mismatch);
    }
}

bool AllRegistered(ServiceFolder& run, const std::vector<int>& due) {
    std::map<int, ServiceFolder::StatusRow> rows = run.StatusRows();
    for (int trxNo : due) {
        if (rows[trxNo].status != "Y") {
            return false;
        }
    }
    return true;
}

void RunRound(const Options& options, const std::string& folder, std::mt19937& random, Figures& figures) {
    Trigger trigger;
    ServiceFolder run(folder, options.program, options.demoConfiguration);
    pmsgen::Options pms;
    pms.openDay = options.day;
    PrinterManagerSim::Options sim;
    sim.recogniseRepeats = options.recogniseRepeats;
    sim.observer = [&trigger](const std::string& event) { trigger.Observe(event); };
    std::string error;
    if (!run.MakePms(pms, error) || !run.StartSimulators({"SIM"}, error, sim) || !run.Configure()) {
        figures.problems.push_back("round set-up failed: " + error);
        return;
    }
    std::vector<int> due = run.DuePayments();
    int planned = std::min(options.killsPerRound, options.kills - figures.kills);
    for (int kill = 0; kill < planned && !AllRegistered(run, due); ++kill) {
        Moment moment =
            static_cast<Moment>(std::uniform_int_distribution<int>(0, options.anywhereOnly ? 0 : 2)(random));
        trigger.Arm(moment);
        if (!run.StartService()) {
            figures.problems.push_back("the service did not start");
            return;
        }
        if (moment == Moment::Anywhere) {
            // From the start to well into the registration of a check.
            ServiceFolder::WaitUntil([] { return false; },
                                     std::uniform_int_distribution<int>(50, 2500)(random));
        } else if (!trigger.fired.Wait(8000)) {
            moment = Moment::Anywhere;  // nothing more to register: a kill all the same
        }
        run.KillService();
        trigger.Disarm();
        ++figures.kills;
        ++figures.killsByMoment[static_cast<int>(moment)];
    }
    // Without kills until every due payment is registered.
    trigger.Disarm();
    if (!run.StartService() || !run.WaitForStatus(due, "Y", 120000)) {
        figures.problems.push_back(text::Format("round %d: not every due payment ended Y", figures.rounds));
    }
    run.StopService(30000);
    Count(run, due, figures);
    run.Shutdown();
}

}  // namespace

std::string Figures::Text() const {
    return text::Format(
        "%d kills in %d rounds (anywhere %d, as a check arrived %d, as it was registered %d); %d due "
        "payments, "
        "%d registrations, %d lost, %d registered twice, %d repeats answered with the first registration",
        kills, rounds, killsByMoment[0], killsByMoment[1], killsByMoment[2], duePayments, registrations, lost,
        doubled, repeats);
}

Figures Run(const Options& options) {
    Figures figures;
    std::mt19937 random(options.seed);
    while (figures.kills < options.kills && figures.problems.size() < 20) {
        ++figures.rounds;
        std::unique_ptr<platform::TempFolder> temp;
        std::string folder;
        if (options.keepFolder.empty()) {
            temp = std::make_unique<platform::TempFolder>("fiscora-crash");
            folder = temp->Path();
        } else {
            folder = text::Format("%s/round%d/", options.keepFolder.c_str(), figures.rounds);
            platform::MakeDirectories(folder);
        }
        int before = figures.kills;
        RunRound(options, folder, random, figures);
        Tell(options, text::Format("round %d: %d kills; so far %s", figures.rounds, figures.kills - before,
                                   figures.Text().c_str()));
        if (figures.kills == before) {
            break;  // a round that kills nothing will not reach the count
        }
    }
    return figures;
}

}  // namespace crash
