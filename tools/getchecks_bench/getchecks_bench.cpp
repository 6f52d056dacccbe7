// One polling cycle of the Opera back-end on the embedded SQLite stand-in, for a PMS of 10,000,
// 100,000 and 1,000,000 financial transactions (the demo hotel's open business date on top of a
// history of fiscalised business dates): CheckBusinessDate and GetChecks in full-check mode with
// the demo configuration, once with nothing due and once with 11 bills due, and in the demo's own
// payments-only mode with nothing due. The figures are the
// whole path the worker takes: template filling, statement rewriting, the statements, loading.
//   cmake --preset release && cmake --build --preset release --target getchecks_bench
//   build/release/tools/getchecks_bench/getchecks_bench [transactions ...]

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "PmsGenerator.h"
#include "config/CFiscalINI.h"
#include "log/CLogFile.h"
#include "platform/FileSystem.h"
#include "platform/TempFolder.h"
#include "platform/Text.h"
#include "storage/CDovozEderarezev.h"
#include "storage/db/SqliteConnection.h"

namespace {

constexpr int kCycles = 40;

[[noreturn]] void Fail(const std::string& what) {
    std::fprintf(stderr, "getchecks_bench: %s\n", what.c_str());
    std::exit(1);
}

struct Figures {
    double median = 0;
    double p90 = 0;
    size_t checks = 0;
};

// Milliseconds per cycle over kCycles cycles.
Figures Measure(CDovozEderarezev& storage) {
    std::vector<double> times;
    Figures f;
    for (int i = 0; i < kCycles; ++i) {
        std::vector<CFiscalCheck> checks;
        auto start = std::chrono::steady_clock::now();
        storage.CheckBusinessDate();
        storage.GetChecks(checks);
        times.push_back(
            std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count());
        f.checks = checks.size();
    }
    std::sort(times.begin(), times.end());
    f.median = times[times.size() / 2];
    f.p90 = times[times.size() * 9 / 10];
    return f;
}

// The demo configuration on the PMS file, in full-check or payments-only mode.
void Open(const platform::TempFolder& folder, const std::string& file, bool fullChecks, CLogFile& log,
          CFiscalINI& configuration, CDovozEderarezev& storage) {
    std::string xml;
    if (!platform::ReadFile(std::string(FISCORA_SOURCE_DIR) + "/demo/VuvovaZododAVU.xml", xml)) {
        Fail("cannot read the demo configuration");
    }
    xml = text::ReplaceAll(xml, "sqlite:demo_pms.db", "sqlite:" + file);
    if (fullChecks) {
        xml = text::ReplaceAll(xml, "<only_payments>1</only_payments>", "<only_payments>0</only_payments>");
    }
    folder.Write(CFiscalINI::kFileName, xml);
    configuration.SetLog(&log);
    if (!configuration.LoadFrom({folder.Path()}) || !configuration.LoadRules()) {
        Fail("configuration: " + configuration.GetLastError());
    }
    storage.SetLogFile(&log);
    storage.SetSideFileFolder(folder.Path());
    if (!storage.Open(configuration)) {
        Fail("open: " + storage.GetLastError());
    }
}

void Run(int transactions) {
    platform::TempFolder folder("fiscora_bench");
    pmsgen::Options options;
    options.file = folder.File("demo_pms.db");
    options.businessDate = "14.03.2026";
    options.historyTransactions = transactions;
    pmsgen::Summary summary;
    std::string error;
    auto generating = std::chrono::steady_clock::now();
    if (!pmsgen::Generate(options, summary, error)) {
        Fail(error);
    }
    double generated = std::chrono::duration<double>(std::chrono::steady_clock::now() - generating).count();

    CLogFile log;
    log.SetEcho(false);
    log.Open(folder.File("qelfiscal.log"), true);
    CFiscalINI configuration;
    CDovozEderarezev storage;
    Open(folder, options.file, true, log, configuration, storage);
    CFiscalINI paymentsConfiguration;
    CDovozEderarezev paymentsStorage;
    Open(folder, options.file, false, log, paymentsConfiguration, paymentsStorage);

    // Everything of the open date registered: nothing is due.
    db::SqliteConnection pms;
    pms.SetPmsSchema("OPERA");
    if (!pms.Open("sqlite:" + options.file) ||
        !pms.Execute(
            "insert into qel_financial_transactions (trx_no, qel_fisc_status, bill_no) "
            "select trx_no, 'Y', bill_no from OPERA.financial_transactions fin where ft_subtype='FC' and "
            "not exists (select 1 from qel_financial_transactions q where q.trx_no=fin.trx_no)")) {
        Fail("cannot mark the open date registered");
    }
    Figures idle = Measure(storage);
    Figures paymentsIdle = Measure(paymentsStorage);
    if (idle.checks != 0 || paymentsIdle.checks != 0) {
        Fail("checks due where none should be");
    }
    // The 11 newest bills of the open date due again.
    std::string bills;
    for (size_t i = summary.bills.size() - 11; i < summary.bills.size(); ++i) {
        bills += (bills.empty() ? "" : ",") + std::to_string(summary.bills[i].number);
    }
    if (!pms.Execute("delete from qel_financial_transactions where bill_no in (" + bills + ")")) {
        Fail("cannot make bills due");
    }
    Figures due = Measure(storage);
    if (due.checks != 11) {
        Fail(text::Format("%d checks found where 11 bills are due", static_cast<int>(due.checks)));
    }
    std::printf(
        "%9d transactions (%7d status rows, generated in %5.1f s): nothing due %6.3f ms (p90 %6.3f), "
        "11 bills due %6.3f ms (p90 %6.3f), payments only, nothing due %6.3f ms (p90 %6.3f)\n",
        summary.transactions, summary.statusRows, generated, idle.median, idle.p90, due.median, due.p90,
        paymentsIdle.median, paymentsIdle.p90);
}

}  // namespace

int main(int argc, char** argv) {
    std::vector<int> sizes;
    for (int i = 1; i < argc; ++i) {
        sizes.push_back(std::atoi(argv[i]));
    }
    if (sizes.empty()) {
        sizes = {10000, 100000, 1000000};
    }
    for (int transactions : sizes) {
        Run(transactions);
    }
    return 0;
}
