#include "CrashInjection.h"

#include <algorithm>
#include <map>
#include <memory>
#include <random>
#include <set>

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
// simulator holds its answer until the service is gone. Each arming has its own "killed" event:
// a handler still held from the last kill, not yet woken when the next round arms, must not wait
// on into the next service's life (its first sending would then reach the register after that
// service's repeat).
class Trigger {
public:
    void Arm(Moment moment) {
        std::lock_guard<std::mutex> guard(mutex);
        armed = moment;
        fired.Reset();
        killed = std::make_shared<platform::Event>(true);
    }
    void Disarm() {
        std::lock_guard<std::mutex> guard(mutex);
        armed = Moment::Anywhere;
        killed->Set();
    }
    void Observe(const std::string& event) {
        bool hold = true;
        std::shared_ptr<platform::Event> gone;
        {
            std::lock_guard<std::mutex> guard(mutex);
            bool wanted = event == "check" ? armed == Moment::CheckArrived
                                           : armed == Moment::Registered || armed == Moment::Answered;
            if (!wanted) {
                return;
            }
            // As the answer goes, the kill races the service's reading of it into the journal.
            hold = armed != Moment::Answered;
            armed = Moment::Anywhere;
            gone = killed;
        }
        fired.Set();
        if (hold) {
            gone->Wait(10000);
        }
    }
    platform::Event fired{true};

private:
    std::mutex mutex;
    Moment armed = Moment::Anywhere;
    std::shared_ptr<platform::Event> killed = std::make_shared<platform::Event>(true);
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

// The printer manager's registrations held against the status rows.
void CountPrinterManager(ServiceFolder& run, const std::vector<int>& due, Figures& figures) {
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

// The Czech sales held against the status rows: each due payment's row is Y with the code of a
// sale of its bill's receipt; a sale is registered once (repeated sendings aside).
void CountCzech(ServiceFolder& run, Figures& figures) {
    std::map<int, ServiceFolder::StatusRow> rows = run.StatusRows();
    std::vector<CzechRegistrationSim::Registration> records = run.CzechSimulator().Registrations();
    std::map<std::string, int> firsts;
    for (const CzechRegistrationSim::Registration& r : records) {
        if (r.outcome == "repeat") {
            ++figures.repeats;
            continue;
        }
        ++figures.registrations;
        if (r.outcome == "duplicate" || ++firsts[r.receiptNumber + " " + r.totalAmount] > 1) {
            ++figures.doubled;
            figures.problems.push_back(text::Format("round %d: sale %s %s registered again", figures.rounds,
                                                    r.receiptNumber.c_str(), r.totalAmount.c_str()));
        }
    }
    for (const pmsgen::Bill& bill : run.Pms().bills) {
        if (bill.number == run.Pms().houseBill) {
            continue;
        }
        std::string receipt = bill.confirmation + "/" + std::to_string(bill.number);
        for (int trxNo : bill.payments) {
            const ServiceFolder::StatusRow& row = rows[trxNo];
            bool own =
                std::any_of(records.begin(), records.end(), [&](const CzechRegistrationSim::Registration& r) {
                    return r.receiptNumber == receipt && !row.title.empty() &&
                           (r.fik == row.title || r.pkp == row.title);
                });
            figures.duePayments += 1;
            if (row.status != "Y" || !own) {
                ++figures.lost;
                figures.problems.push_back(
                    text::Format("round %d: payment %d ended %s without a sale of its own", figures.rounds,
                                 trxNo, row.status.c_str()));
            }
        }
    }
}

// The Mongolian sales held against the status rows: each bill's rows are Y with the fiscal number
// and printed file name of one sale; every other sale is a second registration of a bill.
void CountMongolian(ServiceFolder& run, Figures& figures) {
    std::map<int, ServiceFolder::StatusRow> rows = run.StatusRows();
    std::vector<MapiSim::Registration> sales;
    for (const MapiSim::Registration& r : run.TaxService().Registrations()) {
        if (!r.bill.isReturn) {
            sales.push_back(r);
        }
    }
    std::set<std::string> matched;
    for (const pmsgen::Bill& bill : run.Pms().bills) {
        for (int trxNo : bill.payments) {
            const ServiceFolder::StatusRow& row = rows[trxNo];
            figures.duePayments += 1;
            bool own = std::any_of(sales.begin(), sales.end(), [&](const MapiSim::Registration& r) {
                return !row.checkNumber.empty() && r.fiscalNumber == row.checkNumber && r.title == row.title;
            });
            if (row.status != "Y" || !own) {
                ++figures.lost;
                figures.problems.push_back(
                    text::Format("round %d: payment %d ended %s without a sale of its own", figures.rounds,
                                 trxNo, row.status.c_str()));
                continue;
            }
            matched.insert(row.checkNumber);
        }
    }
    figures.registrations += static_cast<int>(sales.size());
    figures.doubled += static_cast<int>(sales.size() - matched.size());
    figures.repeats += static_cast<int>(run.TaxService().Repeats());
}

// The payments that must end registered.
std::vector<int> DueOf(const Options& options, ServiceFolder& run) {
    if (options.road == Road::PrinterManager) {
        return run.DuePayments();
    }
    std::vector<int> due;
    for (const pmsgen::Bill& bill : run.Pms().bills) {
        if (options.road == Road::Mongolian || bill.number != run.Pms().houseBill) {
            due.insert(due.end(), bill.payments.begin(), bill.payments.end());
        }
    }
    return due;
}

// Holds every registration against the status rows and adds the round to the figures.
void Count(const Options& options, ServiceFolder& run, const std::vector<int>& due, Figures& figures) {
    switch (options.road) {
        case Road::PrinterManager:
            figures.duePayments += static_cast<int>(due.size());
            CountPrinterManager(run, due, figures);
            break;
        case Road::Czech:
            CountCzech(run, figures);
            break;
        case Road::Mongolian:
            CountMongolian(run, figures);
            break;
    }
    figures.closedByHand += static_cast<int>(run.LogCount("Close check manually.") +
                                             run.LogCount("which would not know it again"));
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

// The demo configuration of the road, beside the printer manager's.
std::string ConfigurationOf(const Options& options) {
    switch (options.road) {
        case Road::Czech:
            return text::ReplaceAll(options.demoConfiguration, "demo/VuvovaZododAVU.xml",
                                    "demo/czech/VuvovaZododAVU.xml");
        case Road::Mongolian:
            return text::ReplaceAll(options.demoConfiguration, "demo/VuvovaZododAVU.xml",
                                    "demo/mongolia/VuvovaZododAVU.xml");
        case Road::PrinterManager:
            break;
    }
    return options.demoConfiguration;
}

// The road's simulator, telling the trigger its moments.
bool StartDevice(const Options& options, ServiceFolder& run, Trigger& trigger, std::string& error) {
    auto observer = [&trigger](const std::string& event) { trigger.Observe(event); };
    switch (options.road) {
        case Road::Czech:
            return run.StartCzechSimulator(error, "", observer);
        case Road::Mongolian:
            return run.StartTaxService(error, observer);
        case Road::PrinterManager:
            break;
    }
    PrinterManagerSim::Options sim;
    sim.recogniseRepeats = options.recogniseRepeats;
    sim.observer = observer;
    return run.StartSimulators({"SIM"}, error, sim);
}

void RunRound(const Options& options, const std::string& folder, std::mt19937& random, Figures& figures) {
    Trigger trigger;
    ServiceFolder run(folder, options.program, ConfigurationOf(options));
    pmsgen::Options pms;
    pms.openDay = options.day;
    std::string error;
    if (!run.MakePms(pms, error) || !StartDevice(options, run, trigger, error) || !run.Configure()) {
        figures.problems.push_back("round set-up failed: " + error);
        return;
    }
    std::vector<int> due = DueOf(options, run);
    int planned = std::min(options.killsPerRound, options.kills - figures.kills);
    for (int kill = 0; kill < planned && !AllRegistered(run, due); ++kill) {
        Moment moment = static_cast<Moment>(std::uniform_int_distribution<int>(
            options.timedOnly ? 1 : 0, options.anywhereOnly ? 0 : kMoments - 1)(random));
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
    Count(options, run, due, figures);
    run.Shutdown();
}

}  // namespace

const char* RoadName(Road road) {
    switch (road) {
        case Road::Czech:
            return "czech";
        case Road::Mongolian:
            return "mongolian";
        case Road::PrinterManager:
            break;
    }
    return "printer-manager";
}

std::string Figures::Text() const {
    return text::Format(
        "%d kills in %d rounds (anywhere %d, as a check arrived %d, as it was registered %d, as its answer "
        "went %d); %d due payments, "
        "%d registrations, %d lost, %d registered twice, %d repeats answered with the first registration, "
        "%d closed by hand",
        kills, rounds, killsByMoment[0], killsByMoment[1], killsByMoment[2], killsByMoment[3], duePayments,
        registrations, lost, doubled, repeats, closedByHand);
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
