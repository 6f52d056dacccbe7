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
// temporary folder (10,000,000 transactions take 2.6 GB); it is removed at the end. --slow MS
// prints the statements of a cycle with the eleven due that take longer than MS milliseconds of
// processor time each, with their plans.
//   cmake --preset release && cmake --build --preset release --target getchecks_bench
//   build/release/tools/getchecks_bench/getchecks_bench [--suite8] [--deposits] [--folder DIR]
//                                                       [--slow MS] [transactions ...]

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <memory>
#include <string>
#include <vector>

#include "BenchHotel.h"
#include "CyclePlans.h"
#include "RecordingConnection.h"
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
    double median = 0;     // milliseconds
    double processor = 0;  // milliseconds of processor time
    size_t checks = 0;
    std::string Text() const { return text::Format("%7.3f ms (%7.3f ms of processor time)", median, processor); }
};

// The process's processor time in milliseconds (the cycles run on this one thread).
double ProcessorMs() {
    return 1000.0 * static_cast<double>(std::clock()) / CLOCKS_PER_SEC;
}

// Milliseconds per cycle, elapsed and of processor time: the medians of the rounds' medians. On a
// machine shared with others the elapsed time also holds their work; the processor time does not.
Figures Measure(COperaBase& storage) {
    Figures f;
    std::vector<double> rounds;
    std::vector<double> processorRounds;
    for (int round = 0; round < kRounds; ++round) {
        std::vector<double> times;
        std::vector<double> processor;
        for (int i = 0; i < kCycles; ++i) {
            std::vector<CFiscalCheck> checks;
            auto start = std::chrono::steady_clock::now();
            double startProcessor = ProcessorMs();
            storage.CheckBusinessDate();
            storage.GetChecks(checks);
            processor.push_back(ProcessorMs() - startProcessor);
            times.push_back(
                std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count());
            f.checks = checks.size();
        }
        rounds.push_back(Median(times));
        processorRounds.push_back(Median(processor));
    }
    f.median = Median(rounds);
    f.processor = Median(processorRounds);
    return f;
}

// The statements of one cycle of a back-end that notes them, each explained and timed; those that
// take more than the milliseconds are printed with their plans.
template <class BackEnd>
void PrintSlowStatements(const benchhotel::Hotel& hotel, const std::string& folder, const std::string& file,
                         const benchhotel::Changes& changes, double slowMs, db::SqliteConnection& pms) {
    CLogFile log;
    log.SetEcho(false);
    log.Open(folder + "qelfiscal.log", true);
    CFiscalINI configuration;
    cycleplans::Recorded<BackEnd> storage;
    std::string error;
    std::vector<std::string> statements;
    std::vector<CFiscalCheck> checks;
    if (!benchhotel::Open(hotel, folder, file, changes, log, configuration, storage, error) ||
        !storage.StartRecording()) {
        Fail("cannot open a back-end that notes its statements: " + error);
    }
    storage.CheckBusinessDate();
    storage.GetChecks(checks);
    if (!storage.TakeStatements(statements)) {
        Fail("a statement of the cycle failed: " + storage.GetLastError());
    }
    double total = 0;
    for (const std::string& statement : statements) {
        cycleplans::Plan plan = cycleplans::Explain(pms, statement);
        total += plan.milliseconds;
        if (plan.milliseconds > slowMs) {
            for (const std::string& line : cycleplans::Describe(plan)) {
                std::printf("    %s\n", line.c_str());
            }
        }
    }
    std::printf("    %d statements in the cycle, %.3f ms of processor time when each runs alone\n",
                static_cast<int>(statements.size()), total);
}

std::unique_ptr<COperaBase> BackEnd(const benchhotel::Hotel& hotel) {
    if (hotel.kind == pmsgen::PmsKind::Opera) {
        return std::make_unique<CDovozEderarezev>();
    }
    return std::make_unique<CF8Monitoring>();
}

void Run(int transactions, const benchhotel::Hotel& hotel, bool deposits, const std::string& folderOption,
         double slowMs) {
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
            "%-6s %9d transactions (%7d status rows%s, generated in %6.1f s), load %s-%s:\n"
            "    nothing due %s, 11 %s due %s, %s nothing due %s\n",
            hotel.label.c_str(), summary.transactions, summary.statusRows, deposits ? ", deposits" : "",
            generated, load.c_str(), LoadAverage().c_str(), idle.Text().c_str(), hotel.documents.c_str(),
            due.Text().c_str(), hotel.kind == pmsgen::PmsKind::Opera ? "payments only (the demo's)," : "payments only,",
            paymentsIdle.Text().c_str());
        if (slowMs > 0) {
            if (hotel.kind == pmsgen::PmsKind::Opera) {
                PrintSlowStatements<CDovozEderarezev>(hotel, folder, options.file, full, slowMs, pms);
            } else {
                PrintSlowStatements<CF8Monitoring>(hotel, folder, options.file, full, slowMs, pms);
            }
        }
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
    double slowMs = 0;
    for (int i = 1; i < argc; ++i) {
        std::string arg = argv[i];
        if (arg == "--suite8") {
            hotel = benchhotel::Suite8();
        } else if (arg == "--deposits") {
            deposits = true;
        } else if (arg == "--folder" && i + 1 < argc) {
            folder = argv[++i];
        } else if (arg == "--slow" && i + 1 < argc) {
            slowMs = std::atof(argv[++i]);
        } else if (text::IsDigits(arg)) {
            sizes.push_back(text::ToInt(arg));
        } else {
            Fail("usage: getchecks_bench [--suite8] [--deposits] [--folder DIR] [--slow MS] [transactions ...]");
        }
    }
    if (sizes.empty()) {
        sizes = {10000, 1000000, 10000000};
    }
    for (int transactions : sizes) {
        Run(transactions, hotel, deposits, folder, slowMs);
    }
    return 0;
}
