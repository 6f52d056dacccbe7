// One polling cycle of the Opera back-end on the embedded SQLite stand-in, for a PMS of 10,000,
// 1,000,000 and 10,000,000 financial transactions (the demo hotel's open business date on top of
// a history of fiscalised business dates): CheckBusinessDate and GetChecks in full-check mode with
// the demo configuration, once with nothing due and once with 11 bills due, and in the demo's own
// payments-only mode with nothing due. The figures are the whole path the worker takes: template
// filling, statement rewriting, the statements, loading. With --deposits the history holds
// deposits (status D, some moved on by '9901I' transfers) and the open date a transfer paired
// with its deposit. With --suite8 the same for the Suite8 back-end on the Suite8 demo hotel with
// as many postings (demo/suite8/VuvovaZododAVU.xml: a check per invoice, 11 invoices due).
// Each figure is the median of 5 rounds, each round the median of 40 cycles; the load average of
// the machine is printed with them. --folder puts the generated PMS there instead of the
// temporary folder (10,000,000 transactions take 2.6 GB); it is removed at the end.
//   cmake --preset release && cmake --build --preset release --target getchecks_bench
//   build/release/tools/getchecks_bench/getchecks_bench [--suite8] [--deposits] [--folder DIR]
//                                                       [transactions ...]

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "BenchHotel.h"
#include "config/CFiscalINI.h"
#include "log/CLogFile.h"
#include "platform/FileSystem.h"
#include "platform/TempFolder.h"
#include "platform/Text.h"
#include "storage/CDovozEderarezev.h"
#include "storage/CF8Monitoring.h"
#include "storage/db/SqliteConnection.h"

namespace {

constexpr int kCycles = 40;
constexpr int kRounds = 5;

[[noreturn]] void Fail(const std::string& what) {
    std::fprintf(stderr, "getchecks_bench: %s\n", what.c_str());
    std::exit(1);
}

double Median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

// The one-minute load average of the machine.
std::string LoadAverage() {
    std::string text;
    platform::ReadFile("/proc/loadavg", text);
    return text.substr(0, text.find(' '));
}

struct Figures {
    double median = 0;
    size_t checks = 0;
};

// Milliseconds per cycle: the median of the rounds' medians.
Figures Measure(COperaBase& storage) {
    Figures f;
    std::vector<double> rounds;
    for (int round = 0; round < kRounds; ++round) {
        std::vector<double> times;
        for (int i = 0; i < kCycles; ++i) {
            std::vector<CFiscalCheck> checks;
            auto start = std::chrono::steady_clock::now();
            storage.CheckBusinessDate();
            storage.GetChecks(checks);
            times.push_back(
                std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count());
            f.checks = checks.size();
        }
        rounds.push_back(Median(times));
    }
    f.median = Median(rounds);
    return f;
}

std::unique_ptr<COperaBase> BackEnd(const benchhotel::Hotel& hotel) {
    if (hotel.kind == pmsgen::PmsKind::Opera) {
        return std::make_unique<CDovozEderarezev>();
    }
    return std::make_unique<CF8Monitoring>();
}

void Run(int transactions, const benchhotel::Hotel& hotel, bool deposits, const std::string& folderOption) {
    platform::TempFolder temporary("fiscora_bench");
    std::string folder = temporary.Path();
    if (!folderOption.empty()) {
        folder = folderOption + "/getchecks_bench/";
        platform::MakeDirectories(folder);
    }
    pmsgen::Options options = benchhotel::PmsOptions(hotel, folder + "demo_pms.db", transactions, deposits);
    pmsgen::Summary summary;
    std::string error;
    auto generating = std::chrono::steady_clock::now();
    if (!pmsgen::Generate(options, summary, error)) {
        Fail(error);
    }
    double generated = std::chrono::duration<double>(std::chrono::steady_clock::now() - generating).count();
    {
        CLogFile log;
        log.SetEcho(false);
        log.Open(folder + "qelfiscal.log", true);
        // Full checks as the demo configuration of the hotel has them or not.
        benchhotel::Changes full =
            hotel.kind == pmsgen::PmsKind::Opera ? benchhotel::FullChecks() : benchhotel::Changes();
        benchhotel::Changes paymentsOnly =
            hotel.kind == pmsgen::PmsKind::Opera ? benchhotel::Changes() : benchhotel::PaymentsOnly();
        CFiscalINI configuration;
        std::unique_ptr<COperaBase> storage = BackEnd(hotel);
        CFiscalINI paymentsConfiguration;
        std::unique_ptr<COperaBase> paymentsStorage = BackEnd(hotel);
        if (!benchhotel::Open(hotel, folder, options.file, full, log, configuration, *storage, error) ||
            !benchhotel::Open(hotel, folder, options.file, paymentsOnly, log, paymentsConfiguration,
                              *paymentsStorage, error)) {
            Fail(error);
        }
        db::SqliteConnection pms;
        pms.SetPmsSchema(hotel.schema);
        if (!pms.Open("sqlite:" + options.file) ||
            !pms.ExecuteScript(benchhotel::RegisterEverything(hotel, summary))) {
            Fail("cannot register the open date");
        }
        std::string load = LoadAverage();
        // The demo's payments-only mode pairs a transfer of the open date in its first cycle.
        Figures paymentsIdle = Measure(*paymentsStorage);
        Figures idle = Measure(*storage);
        if (idle.checks != 0 || paymentsIdle.checks != 0) {
            Fail("checks due where none should be");
        }
        if (!pms.ExecuteScript(benchhotel::MakeElevenDue(hotel, summary))) {
            Fail("cannot make " + hotel.documents + " due");
        }
        Figures due = Measure(*storage);
        if (due.checks != 11) {
            Fail(text::Format("%d checks found where 11 %s are due", static_cast<int>(due.checks),
                              hotel.documents.c_str()));
        }
        std::printf(
            "%-6s %9d transactions (%7d status rows%s, generated in %6.1f s), load %s-%s: nothing due %6.3f "
            "ms, "
            "11 %s due %6.3f ms, %s nothing due %6.3f ms\n",
            hotel.label.c_str(), summary.transactions, summary.statusRows, deposits ? ", deposits" : "",
            generated, load.c_str(), LoadAverage().c_str(), idle.median, hotel.documents.c_str(), due.median,
            hotel.kind == pmsgen::PmsKind::Opera ? "payments only (the demo's)," : "payments only,",
            paymentsIdle.median);
        std::fflush(stdout);
    }
    if (!folderOption.empty()) {
        for (const char* file : {"demo_pms.db", "demo_pms.db-wal", "demo_pms.db-shm"}) {
            platform::RemoveFile(folder + file);
        }
    }
}

}  // namespace

int main(int argc, char** argv) {
    std::vector<int> sizes;
    benchhotel::Hotel hotel = benchhotel::Opera();
    bool deposits = false;
    std::string folder;
    for (int i = 1; i < argc; ++i) {
        std::string arg = argv[i];
        if (arg == "--suite8") {
            hotel = benchhotel::Suite8();
        } else if (arg == "--deposits") {
            deposits = true;
        } else if (arg == "--folder" && i + 1 < argc) {
            folder = argv[++i];
        } else if (text::IsDigits(arg)) {
            sizes.push_back(text::ToInt(arg));
        } else {
            Fail("usage: getchecks_bench [--suite8] [--deposits] [--folder DIR] [transactions ...]");
        }
    }
    if (sizes.empty()) {
        sizes = {10000, 1000000, 10000000};
    }
    for (int transactions : sizes) {
        Run(transactions, hotel, deposits, folder);
    }
    return 0;
}
