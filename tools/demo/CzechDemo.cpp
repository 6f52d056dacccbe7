#include "CzechDemo.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <map>
#include <set>

#include "DemoReport.h"
#include "Reconciliation.h"
#include "platform/Text.h"

namespace {

struct SaleRow {
    int trxNo = 0;
    std::string bill, status, title, bkp, fiscalNumber;
};

std::map<int, SaleRow> ReadSaleRows(ServiceFolder& run) {
    std::map<int, SaleRow> rows;
    for (const auto& r : run.Rows("select trx_no, bill_no, qel_fisc_status, title, shift_number, check_number "
                                  "from qel_financial_transactions order by trx_no")) {
        SaleRow row{text::ToInt(r[0]), r[1], r[2], r[3], r[4], r[5]};
        rows[row.trxNo] = row;
    }
    return rows;
}

// The payments that end the demo: those of the day's bills and of the bill marked S.
std::vector<int> Expected(ServiceFolder& run) {
    std::vector<int> expected;
    for (const pmsgen::Bill& bill : run.Pms().bills) {
        expected.insert(expected.end(), bill.payments.begin(), bill.payments.end());
    }
    for (const auto& r : run.Rows(text::Format("select trx_no from qel_financial_transactions where bill_no=%d",
                                               run.Pms().againBill))) {
        expected.push_back(text::ToInt(r[0]));
    }
    return expected;
}

std::string Short(const std::string& code) { return code.size() > 20 ? code.substr(0, 20) + "..." : code; }

}  // namespace

int RunCzechDemo(ServiceFolder& run, int timeLimitSeconds) {
    std::string error;
    if (!run.StartCzechSimulator(error)) {
        std::fprintf(stderr, "fiscora_demo: %s\n", error.c_str());
        return 1;
    }
    std::printf("Czech registration simulator: 127.0.0.1:%u, records in %sczech.jsonl\n",
                run.CzechSimulator().Port(), run.Path().c_str());
    if (!run.Configure({}, 500) || !run.StartService()) {
        std::fprintf(stderr, "fiscora_demo: cannot start the service in %s\n", run.Path().c_str());
        return 1;
    }
    std::printf("FiscoraService runs in %s with printer type 10 (CZECH); each bill is one sale. Time limit: %d s.\n",
                run.Path().c_str(), timeLimitSeconds);
    std::fflush(stdout);
    std::vector<int> expected = Expected(run);
    auto start = std::chrono::steady_clock::now();
    bool done = false;
    while (!done && run.ServiceRunning() &&
           std::chrono::steady_clock::now() - start < std::chrono::seconds(timeLimitSeconds)) {
        done = run.WaitForStatus(expected, "YF", 1000);
    }
    int exitCode = run.StopService(15000);
    std::printf("FiscoraService stopped with SIGTERM, exit code %d\n", exitCode);

    std::vector<std::string> problems;
    if (!done) {
        problems.push_back("not every bill was done within the time limit (see qelfiscal.log)");
    }
    std::map<int, SaleRow> rows = ReadSaleRows(run);
    std::printf("\n== Sales registered (registration service record / status table) ==\n");
    std::printf("%-22s %10s %-10s %-6s %-24s %s\n", "receipt", "amount", "outcome", "first", "FIK (PKP offline)",
                "status rows");
    std::map<std::string, int> firsts;
    for (const CzechRegistrationSim::Registration& r : run.CzechSimulator().Registrations()) {
        std::string bill = r.receiptNumber.substr(r.receiptNumber.find('/') + 1);
        std::string letters;
        for (const auto& [trxNo, row] : rows) {
            letters += row.bill == bill ? row.status : "";
        }
        std::printf("%-22s %10s %-10s %-6s %-24s %s\n", r.receiptNumber.c_str(), r.totalAmount.c_str(),
                    r.outcome.c_str(), r.firstSending ? "yes" : "no",
                    Short(r.outcome == "offline" ? r.pkp : r.fik).c_str(), letters.c_str());
        if (r.outcome == "duplicate") {
            problems.push_back("sale " + r.receiptNumber + " registered twice");
        }
        if (r.outcome != "repeat") {
            ++firsts[r.receiptNumber + " " + r.totalAmount];
        }
    }
    for (const auto& [sale, count] : firsts) {
        if (count > 1) {
            problems.push_back(text::Format("sale %s registered %d times", sale.c_str(), count));
        }
    }

    std::printf("\n== Status rows by letter ==\n");
    std::map<std::string, std::vector<std::string>> byLetter;
    for (const auto& [trxNo, row] : rows) {
        byLetter[row.status.empty() ? "(empty)" : row.status].push_back(std::to_string(trxNo));
    }
    for (const auto& [letter, numbers] : byLetter) {
        std::printf("%s: %zu  (%s)\n", letter.c_str(), numbers.size(), text::Join(numbers, " ").c_str());
    }

    std::printf("\n== Closed without registration ==\n");
    size_t closed = 0;
    for (int trxNo : expected) {
        auto row = rows.find(trxNo);
        if (row != rows.end() && row->second.status == "Y" && row->second.title.empty() && !row->second.bill.empty()) {
            // An ignored room or cashier: closed in the PMS, no sale.
            ++closed;
            std::printf("%d  bill %s: on an ignored room or cashier, no sale\n", trxNo, row->second.bill.c_str());
        }
    }
    if (closed == 0) {
        std::printf("nothing\n");
    }

    std::printf("\n== Left for the operator ==\n");
    size_t forOperator = 0;
    for (const auto& [trxNo, row] : rows) {
        if (row.status == "N" && std::find(expected.begin(), expected.end(), trxNo) == expected.end()) {
            ++forOperator;
            std::printf("%d  bill %s, status N, of a closed business date: the Czech registration sends a sale of "
                        "a closed day only when its rows are marked S\n",
                        trxNo, row.bill.c_str());
        }
    }
    if (forOperator == 0) {
        std::printf("nothing\n");
    }

    std::printf("\n== Left unregistered ==\n");
    size_t left = 0;
    for (int trxNo : expected) {
        auto row = rows.find(trxNo);
        if (row == rows.end() || (row->second.status != "Y" && row->second.status != "F")) {
            ++left;
            std::string status = row == rows.end() ? "no status row" : "status " + row->second.status;
            std::printf("%d  %s\n", trxNo, status.c_str());
            problems.push_back(text::Format("payment %d is left unregistered", trxNo));
        }
    }
    if (left == 0) {
        std::printf("nothing\n");
    }
    Reconciliation::Expected reconciled;
    std::set<int> ignored(run.Pms().ignoredPayments.begin(), run.Pms().ignoredPayments.end());
    for (int trxNo : expected) {
        if (ignored.count(trxNo) == 0) {
            reconciled.due.push_back(trxNo);
        }
    }
    for (int trxNo : ignored) {
        reconciled.closed[trxNo] = "on an ignored room or cashier (Payment included in ignore list.)";
    }
    std::printf("\n== Reconciliation (status rows against what the registration service registered) ==\n");
    Reconciliation reconciliation(run, reconciled);
    for (const std::string& line : reconciliation.Report()) {
        std::printf("%s\n", line.c_str());
    }
    for (const std::string& problem : reconciliation.problems) {
        problems.push_back("reconciliation: " + problem);
    }
    std::printf("\n== Result ==\n");
    std::printf("%s registered for the %s due (those of the day's bills and of the bill marked S); %s closed "
                "without registration; %s left for the operator; %zu left unregistered\n",
                Counted(run.CzechSimulator().Registrations().size(), "sale").c_str(),
                Counted(expected.size(), "payment").c_str(), Counted(closed, "payment").c_str(),
                Counted(forOperator, "payment").c_str(), left);
    if (problems.empty()) {
        std::printf("OK: every due bill of the demo day was registered exactly once.\n");
        return 0;
    }
    for (const std::string& problem : problems) {
        std::printf("FAILED: %s\n", problem.c_str());
    }
    return 1;
}
