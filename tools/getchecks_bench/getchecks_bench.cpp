// One polling cycle of the Opera back-end on the embedded SQLite stand-in, for a PMS of 10,000,
// 100,000 and 1,000,000 financial transactions (the demo hotel's open business date on top of a
// history of fiscalised business dates): CheckBusinessDate and GetChecks in full-check mode with
// the demo configuration, once with nothing due and once with 11 bills due, and in the demo's own
// payments-only mode with nothing due. The figures are the
// whole path the worker takes: template filling, statement rewriting, the statements, loading.
// With --suite8 the same for the Suite8 back-end on the Suite8 demo hotel with as many postings
// (demo/suite8/VuvovaZododAVU.xml: a check per invoice, 11 invoices due in the full batch).
//   cmake --preset release && cmake --build --preset release --target getchecks_bench
//   build/release/tools/getchecks_bench/getchecks_bench [--suite8] [transactions ...]

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "PmsGenerator.h"
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
Figures Measure(COperaBase& storage) {
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

// A demo configuration (relative to the source tree) on the PMS file, in full-check or
// payments-only mode.
void Open(const platform::TempFolder& folder, const std::string& file, bool fullChecks, CLogFile& log,
          CFiscalINI& configuration, COperaBase& storage, const std::string& demoConfiguration) {
    std::string xml;
    if (!platform::ReadFile(std::string(FISCORA_SOURCE_DIR) + demoConfiguration, xml)) {
        Fail("cannot read the demo configuration");
    }
    xml = text::ReplaceAll(xml, "sqlite:demo_pms.db", "sqlite:" + file);
    xml = text::ReplaceAll(
        xml, fullChecks ? "<only_payments>1</only_payments>" : "<only_payments>0</only_payments>",
        fullChecks ? "<only_payments>0</only_payments>" : "<only_payments>1</only_payments>");
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

// What differs between the two PMS families: the back-end, its demo configuration, how the
// open date is marked registered and which of its documents are made due again.
struct Hotel {
    pmsgen::PmsKind kind;
    const char* configuration;
    const char* schema;
    const char* label;
    const char* documents;
    std::string registerAll;
    std::function<std::string(const pmsgen::Summary&)> makeDue;
    std::function<std::unique_ptr<COperaBase>()> create;
};

Hotel OperaHotel() {
    return {pmsgen::PmsKind::Opera,
            "/demo/VuvovaZododAVU.xml",
            "OPERA",
            "",
            "bills",
            "insert into qel_financial_transactions (trx_no, qel_fisc_status, bill_no) "
            "select trx_no, 'Y', bill_no from OPERA.financial_transactions fin where ft_subtype='FC' and "
            "not exists (select 1 from qel_financial_transactions q where q.trx_no=fin.trx_no)",
            [](const pmsgen::Summary& summary) {
                // The 11 newest bills of the open date.
                std::string bills;
                for (size_t i = summary.bills.size() - 11; i < summary.bills.size(); ++i) {
                    bills += (bills.empty() ? "" : ",") + std::to_string(summary.bills[i].number);
                }
                return "delete from qel_financial_transactions where bill_no in (" + bills + ")";
            },
            [] { return std::make_unique<CDovozEderarezev>(); }};
}

Hotel Suite8Hotel() {
    return {pmsgen::PmsKind::Suite8,
            "/demo/suite8/VuvovaZododAVU.xml",
            "FIDELIO",
            "Suite8 ",
            "invoices",
            "insert into qel_financial_transactions (trx_no, qel_fisc_status) select zpos_id, 'Y' from "
            "FIDELIO.zpos pos where zpos_cdt=5 and not exists (select 1 from qel_financial_transactions q "
            "where q.trx_no=pos.zpos_id)",
            [](const pmsgen::Summary& summary) {
                // Every invoice of the open date but the ignored house account's: 11.
                std::string payments;
                for (const pmsgen::Bill& invoice : summary.bills) {
                    for (int payment :
                         invoice.number == summary.houseBill ? std::vector<int>{} : invoice.payments) {
                        payments += (payments.empty() ? "" : ",") + std::to_string(payment);
                    }
                }
                return "delete from qel_financial_transactions where trx_no in (" + payments + ")";
            },
            [] { return std::make_unique<CF8Monitoring>(); }};
}

void Run(int transactions, const Hotel& hotel) {
    platform::TempFolder folder("fiscora_bench");
    pmsgen::Options options;
    options.file = folder.File("demo_pms.db");
    options.businessDate = "14.03.2026";
    options.historyTransactions = transactions;
    options.pms = hotel.kind;
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
    std::unique_ptr<COperaBase> storage = hotel.create();
    Open(folder, options.file, true, log, configuration, *storage, hotel.configuration);
    CFiscalINI paymentsConfiguration;
    std::unique_ptr<COperaBase> paymentsStorage = hotel.create();
    Open(folder, options.file, false, log, paymentsConfiguration, *paymentsStorage, hotel.configuration);

    // Everything of the open date registered: nothing is due.
    db::SqliteConnection pms;
    pms.SetPmsSchema(hotel.schema);
    // The bills left N or S on earlier dates too: an idle cycle still looks for them (through the
    // status index), and finds none.
    if (!pms.Open("sqlite:" + options.file) || !pms.Execute(hotel.registerAll) ||
        !pms.Execute("update qel_financial_transactions set qel_fisc_status='Y' where qel_fisc_status in ('N','S')")) {
        Fail("cannot mark the open date registered");
    }
    Figures idle = Measure(*storage);
    Figures paymentsIdle = Measure(*paymentsStorage);
    if (idle.checks != 0 || paymentsIdle.checks != 0) {
        Fail("checks due where none should be");
    }
    if (!pms.Execute(hotel.makeDue(summary))) {
        Fail(std::string("cannot make ") + hotel.documents + " due");
    }
    Figures due = Measure(*storage);
    if (due.checks != 11) {
        Fail(text::Format("%d checks found where 11 %s are due", static_cast<int>(due.checks),
                          hotel.documents));
    }
    std::printf(
        "%s%9d transactions (%7d status rows, generated in %5.1f s): nothing due %6.3f ms (p90 %6.3f), "
        "11 %s due %6.3f ms (p90 %6.3f), payments only, nothing due %6.3f ms (p90 %6.3f)\n",
        hotel.label, summary.transactions, summary.statusRows, generated, idle.median, idle.p90,
        hotel.documents, due.median, due.p90, paymentsIdle.median, paymentsIdle.p90);
}

}  // namespace

int main(int argc, char** argv) {
    std::vector<int> sizes;
    bool suite8 = false;
    for (int i = 1; i < argc; ++i) {
        if (std::string(argv[i]) == "--suite8") {
            suite8 = true;
        } else {
            sizes.push_back(std::atoi(argv[i]));
        }
    }
    if (sizes.empty()) {
        sizes = {10000, 100000, 1000000};
    }
    for (int transactions : sizes) {
        Run(transactions, suite8 ? Suite8Hotel() : OperaHotel());
    }
    return 0;
}
