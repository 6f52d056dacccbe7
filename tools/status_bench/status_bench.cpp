// Status writes and lookups in qel_financial_transactions through COperaBase on the embedded
// SQLite stand-in, for tables of 10,000, 100,000 and 1,000,000 rows. Every operation is the
// whole path the worker takes: template filling, statement rewriting, the statement itself.
//   cmake -S . -B build/bench -G Ninja -DCMAKE_BUILD_TYPE=Release -DFISCORA_TESTS=OFF
//         -DCMAKE_CXX_FLAGS=-Wno-error=restrict
//   cmake --build build/bench --target status_bench
//   build/bench/tools/status_bench/status_bench [rows ...]

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <map>
#include <random>
#include <string>
#include <vector>

#include "platform/FileSystem.h"
#include "platform/TempFolder.h"
#include "platform/Text.h"
#include "storage/COperaBase.h"
#include "storage/db/SqliteConnection.h"
#include "tests/support/storage/StandIns.h"

namespace {

// Three status rows per bill and per folio, as a hotel's payments come.
constexpr int kRowsPerBill = 3;
constexpr int kOperations = 2000;

std::string Read(const std::string& relative) {
    std::string content;
    if (!platform::ReadFile(std::string(FISCORA_SOURCE_DIR) + "/" + relative, content)) {
        std::fprintf(stderr, "cannot read %s\n", relative.c_str());
        std::exit(1);
    }
    return content;
}

struct Figures {
    double median = 0;
    double p90 = 0;
};

// Microseconds per call, over kOperations calls.
Figures Measure(const std::function<bool(int)>& operation) {
    std::vector<double> times;
    times.reserve(kOperations);
    for (int i = 0; i < kOperations; ++i) {
        auto start = std::chrono::steady_clock::now();
        if (!operation(i)) {
            std::fprintf(stderr, "operation failed\n");
            std::exit(1);
        }
        times.push_back(
            std::chrono::duration<double, std::micro>(std::chrono::steady_clock::now() - start).count());
    }
    std::sort(times.begin(), times.end());
    return {times[times.size() / 2], times[times.size() * 9 / 10]};
}

std::map<std::string, Figures> Run(int rows) {
    platform::TempFolder folder("fiscora_bench");
    std::string own = folder.File("own.db");
    std::string opera = folder.File("opera.db");
    std::string error;
    // The rows of a year of business dates, all fiscalised but the last of each bill.
    std::string seed =
        Read("sql/oracle/install_own_tables.sql") + text::Format(R"(
        WITH RECURSIVE n(x) AS (SELECT 1 UNION ALL SELECT x + 1 FROM n WHERE x < %d)
        INSERT INTO qel_financial_transactions (trx_no, trx_code, description, trx_amount, room, recpt_no,
            folio_no, bill_no, machine, cashier_id, qel_fisc_status, business_date, attempt, reference,
            printer_id, shift_number, check_number, title)
        SELECT x, 9000, 'Cash', -10.5, '101', x, 'C' || (x / %d), x / %d, 'FRONT1', 7,
               CASE WHEN x %% %d = 0 THEN 'N' ELSE 'Y' END, 2461000 + x %% 365, 1, x / %d,
               'PRN1', '12', 'F' || (x / %d), 'ST_1_' || x
        FROM n;)",
                                                                 rows, kRowsPerBill, kRowsPerBill,
                                                                 kRowsPerBill, kRowsPerBill, kRowsPerBill);
    if (!db::SqliteConnection::CreateDatabase(own, seed, error) ||
        !db::SqliteConnection::CreateDatabase(opera, Read("sql/sqlite/opera_schema.sql"), error)) {
        std::fprintf(stderr, "seeding failed: %s\n", error.c_str());
        std::exit(1);
    }
    standins::FakeConfiguration config;
    config.values = {{"//fidelio_ini/base_access", "sqlite:" + own + ";OPERA=" + opera},
                     {"//fidelio_ini/fidelio_schema", "OPERA"},
                     {"//fidelio_ini/property_code", "HOTEL"}};
    standins::Storage storage;
    storage.SetSideFileFolder(folder.Path());
    if (!storage.Open(config)) {
        std::fprintf(stderr, "open failed: %s\n", storage.GetLastError().c_str());
        std::exit(1);
    }
    std::mt19937 random(12345);
    std::uniform_int_distribution<int> row(1, rows);
    std::map<std::string, Figures> figures;
    const std::vector<std::string>& t = storage.qelFiscal.templates;

    // One transaction's status, as the worker writes it for a payment check.
    figures["write: transaction status"] = Measure([&](int i) {
        CFiscalCheck check;
        struct_posting payment;
        payment.trx_no = row(random);
        payment.fisc_status = "N";
        return storage.SetTransactionStatus(
            payment, i % 2 ? CheckStatusLetter::NotRegistered : CheckStatusLetter::RegisterAgain, check);
    });
    // A bill's status (three rows), as the worker writes it for a full check.
    figures["write: bill status"] = Measure([&](int i) {
        CFiscalCheck check;
        check.statusCode = kBillCheck;
        check.checkNumber = std::to_string(row(random) / kRowsPerBill);
        check.payments.resize(1);
        check.payments[0].fisc_status = "N";
        return storage.SetBillStatus(
            check, i % 2 ? CheckStatusLetter::NotRegistered : CheckStatusLetter::RegisterAgain);
    });
    // A new row registered for a payment taken up.
    int next = rows;
    figures["write: register row"] = Measure([&](int) {
        CFiscalCheck check;
        check.checkNumber = std::to_string(++next / kRowsPerBill);
        check.receiptNumber = std::to_string(next);
        check.payments.resize(1);
        check.payments[0].trx_no = next;
        check.payments[0].trx_code = 9000;
        check.payments[0].trx_amount = -10.5;
        check.payments[0].business_date = "14.03.2026";
        return storage.RegisterCheckRows(check);
    });
    // The rows of a fiscal check (refunds), by folio and fiscal number.
    figures["lookup: rows of a fiscal check"] = Measure([&](int) {
        int x = row(random) / kRowsPerBill;
        db::Recordset result;
        return storage.OpenTemplate(t[CQELFiscal::RowsOfFiscalCheck],
                                    {sqlformat::Arg::Text("C" + std::to_string(x)),
                                     sqlformat::Arg::Text("F" + std::to_string(x))},
                                    result) &&
               result.RowCount() >= 1;
    });
    // A transaction's status row read by its number.
    const std::string byTransaction =
        "select qel_fisc_status, printer_id, trx_no from qel_financial_transactions where trx_no=%d";
    figures["lookup: status of a transaction"] = Measure([&](int) {
        db::Recordset result;
        return storage.OpenTemplate(byTransaction, {sqlformat::Arg::Int(row(random))}, result) &&
               result.RowCount() == 1;
    });
    return figures;
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
    std::map<int, std::map<std::string, Figures>> results;
    for (int rows : sizes) {
        results[rows] = Run(rows);
    }
    std::printf("%-34s", "microseconds, median (90th percentile)");
    for (int rows : sizes) {
        std::printf(" %20d", rows);
    }
    std::printf(" %8s\n", "growth");
    for (const auto& [name, ignored] : results.begin()->second) {
        std::printf("%-34s", name.c_str());
        for (int rows : sizes) {
            const Figures& f = results[rows][name];
            std::printf("       %6.1f (%6.1f)", f.median, f.p90);
        }
        std::printf(" %7.2fx\n", results[sizes.back()][name].median / results[sizes.front()][name].median);
    }
    return 0;
}
