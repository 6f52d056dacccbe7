#include "MongolianDemo.h"

#include <chrono>
#include <cmath>
#include <cstdio>
#include <map>
#include <set>

#include "DemoReport.h"
#include "platform/Text.h"

namespace {

// A refund bill the demo adds to the PMS once its sale is registered.
struct Refund {
    size_t sale = 0;  // index of the bill in the PMS summary
    double amount = 0;
    int bill = 0, payment = 0;
    std::string saleFiscalNumber;
    // A part of its sale: the return command voids whole sales, so the service refuses it and
    // closes it for the operator.
    bool part = false;
};

// Polls until every payment is Y, the service ended or the time is over.
bool WaitForY(ServiceFolder& run, const std::vector<int>& payments, int timeLimitSeconds) {
    auto start = std::chrono::steady_clock::now();
    while (run.ServiceRunning() && std::chrono::steady_clock::now() - start < std::chrono::seconds(timeLimitSeconds)) {
        if (run.WaitForStatus(payments, "Y", 1000)) {
            return true;
        }
    }
    return false;
}

// What the status rows and the tax service's records say against each other.
std::vector<std::string> Problems(ServiceFolder& run, const std::vector<Refund>& refunds) {
    std::vector<std::string> problems;
    std::map<int, ServiceFolder::StatusRow> rows = run.StatusRows();
    std::vector<ServiceFolder::TaxRecord> records = run.TaxRecords();
    std::map<std::string, const ServiceFolder::TaxRecord*> byNumber;
    std::set<std::string> billNumbers;
    size_t sales = 0;
    for (const ServiceFolder::TaxRecord& r : records) {
        if (!byNumber.emplace(r.fiscalNumber, &r).second) {
            problems.push_back("fiscal number " + r.fiscalNumber + " handed out twice");
        }
        if (r.kind == "Sale") {
            ++sales;
            if (!billNumbers.insert(r.printer + "/" + r.sequence).second) {
                problems.push_back("bill number " + r.sequence + " of register " + r.printer + " used twice");
            }
        }
    }
    size_t closed = 0;
    for (const pmsgen::Bill& bill : run.Pms().bills) {
        const ServiceFolder::StatusRow& first = rows[bill.payments.front()];
        if (first.status == "Y" && first.checkNumber.empty()) {
            // Closed without a registration (an ignored room or cashier).
            ++closed;
            continue;
        }
        for (int trxNo : bill.payments) {
            if (rows[trxNo].status != "Y" || rows[trxNo].checkNumber != first.checkNumber) {
                problems.push_back(text::Format("payment %d of bill %d is not Y with its bill's sale", trxNo,
                                                bill.number));
            }
        }
        auto sale = byNumber.find(first.checkNumber);
        if (sale == byNumber.end() || sale->second->kind != "Sale" || sale->second->title != first.title) {
            problems.push_back(text::Format("bill %d names no sale of the tax service", bill.number));
        } else if (sale->second->total != text::Format("%.2f", bill.total)) {
            problems.push_back(text::Format("bill %d of %.2f was sold for %s", bill.number, bill.total,
                                            sale->second->total.c_str()));
        }
    }
    // The bills left N and S on the two days before are sold too, after the day's, each once.
    std::set<std::string> earlierSales;
    for (int trxNo : run.EarlierPayments()) {
        if (rows[trxNo].status != "Y" || byNumber.count(rows[trxNo].checkNumber) == 0) {
            problems.push_back(text::Format("payment %d of an earlier business date was not sold", trxNo));
        } else {
            earlierSales.insert(rows[trxNo].checkNumber);
        }
    }
    if (sales != run.Pms().bills.size() - closed + earlierSales.size()) {
        problems.push_back(text::Format("%zu sales for %zu bills of the day (%zu of them closed without one) and %zu "
                                        "of earlier days",
                                        sales, run.Pms().bills.size(), closed, earlierSales.size()));
    }
    size_t returns = 0;
    for (const ServiceFolder::TaxRecord& r : records) {
        returns += r.kind == "Return" ? 1 : 0;
    }
    size_t whole = 0;
    for (const Refund& refund : refunds) {
        whole += refund.part ? 0 : 1;
    }
    if (returns != whole) {
        problems.push_back(text::Format("%zu returns for %zu refunds of whole sales", returns, whole));
    }
    for (const Refund& refund : refunds) {
        const ServiceFolder::StatusRow& row = rows[refund.payment];
        if (refund.part) {
            if (row.status != "Y" || !row.checkNumber.empty()) {
                problems.push_back(text::Format("refund %d of a part of sale %s should be refused and closed",
                                                refund.payment, refund.saleFiscalNumber.c_str()));
            }
            continue;
        }
        auto registered = byNumber.find(row.checkNumber);
        if (row.status != "Y" || registered == byNumber.end() || registered->second->kind != "Return" ||
            registered->second->saleFiscalNumber != refund.saleFiscalNumber) {
            problems.push_back(text::Format("refund %d is not Y as a return of sale %s", refund.payment,
                                            refund.saleFiscalNumber.c_str()));
        }
    }
    return problems;
}

}  // namespace

int RunMongolianDemo(ServiceFolder& run, int timeLimitSeconds) {
    std::string error;
    if (!run.StartTaxService(error)) {
        std::fprintf(stderr, "fiscora_demo: %s\n", error.c_str());
        return 1;
    }
    std::printf("Tax-service simulator: 127.0.0.1:%u, records in %sbills.jsonl\n", run.TaxService().Port(),
                run.Path().c_str());
    // The first sale is registered but its answer cannot be read: it stays in doubt and goes
    // again with the same bill number, which the service knows.
    run.SetFault("garbage bytes=20 kind=Sale count=1");
    if (!run.Configure({}, 500) || !run.StartService()) {
        std::fprintf(stderr, "fiscora_demo: cannot start the service in %s\n", run.Path().c_str());
        return 1;
    }
    std::printf("FiscoraService runs in %s with printer type 9 (MONGOL); each bill is one sale, a refund a\n"
                "return of its sale. Time limit: %d s for the sales, as much for the refunds.\n",
                run.Path().c_str(), timeLimitSeconds);
    std::fflush(stdout);

    std::vector<std::string> problems;
    std::vector<int> payments = run.EarlierPayments();
    for (const pmsgen::Bill& bill : run.Pms().bills) {
        payments.insert(payments.end(), bill.payments.begin(), bill.payments.end());
    }
    std::vector<Refund> refunds;
    if (!WaitForY(run, payments, timeLimitSeconds)) {
        problems.push_back("not every bill was sold within the time limit (see qelfiscal.log)");
    } else if (run.Pms().bills.size() >= 2) {
        std::map<int, ServiceFolder::StatusRow> rows = run.StatusRows();
        const std::vector<pmsgen::Bill>& bills = run.Pms().bills;
        refunds = {{0, std::round(bills[0].total * 50) / 100, 0, 0, "", true}, {1, bills[1].total, 0, 0, "", false}};
        std::vector<int> refundPayments;
        for (Refund& refund : refunds) {
            const pmsgen::Bill& sale = bills[refund.sale];
            refund.saleFiscalNumber = rows[sale.payments.front()].checkNumber;
            if (!run.AddRefundBill(sale.number, refund.amount, refund.saleFiscalNumber, refund.bill, refund.payment,
                                   error)) {
                std::fprintf(stderr, "fiscora_demo: cannot add a refund: %s\n", error.c_str());
                run.StopService();
                return 1;
            }
            std::printf("PMS: refund bill %d of %.2f for bill %d of %.2f (sale %s)%s\n", refund.bill, -refund.amount,
                        sale.number, sale.total, refund.saleFiscalNumber.c_str(),
                        refund.part ? ": a part, which the tax service cannot return" : "");
            refundPayments.push_back(refund.payment);
        }
        std::fflush(stdout);
        if (!WaitForY(run, refundPayments, timeLimitSeconds)) {
            problems.push_back("not every refund was registered within the time limit (see qelfiscal.log)");
        }
    }
    int exitCode = run.StopService(15000);
    std::printf("FiscoraService stopped with SIGTERM, exit code %d\n", exitCode);

    std::map<int, ServiceFolder::StatusRow> rows = run.StatusRows();
    Heading("Registered by the tax service (record / status table)");
    std::printf("%-6s %-10s %-8s %-7s %10s %-26s %-10s %s\n", "kind", "fiscal no", "register", "bill no", "total",
                "printed file name", "sale", "status rows (trx_no)");
    for (const ServiceFolder::TaxRecord& r : run.TaxRecords()) {
        std::vector<std::string> named;
        for (const auto& [trxNo, row] : rows) {
            if (row.checkNumber == r.fiscalNumber) {
                named.push_back(row.status + std::to_string(trxNo));
            }
        }
        std::printf("%-6s %-10s %-8s %-7s %10s %-26s %-10s %s\n", r.kind.c_str(), r.fiscalNumber.c_str(),
                    r.printer.c_str(), r.sequence.c_str(), r.total.c_str(), r.title.c_str(),
                    r.saleFiscalNumber.c_str(), text::Join(named, " ").c_str());
    }
    std::printf("commands received: %zu, of them repeats answered with the registration they had: %zu\n",
                run.TaxService().Commands().size(), run.TaxService().Repeats());

    ShowStatusLetters(ReadRows(run));

    std::vector<std::string> found = Problems(run, refunds);
    problems.insert(problems.end(), found.begin(), found.end());
    Reconciliation::Expected reconciled;
    std::set<int> ignored(run.Pms().ignoredPayments.begin(), run.Pms().ignoredPayments.end());
    for (const pmsgen::Bill& bill : run.Pms().bills) {
        for (int trxNo : bill.payments) {
            if (ignored.count(trxNo)) {
                reconciled.closed[trxNo] = "on an ignored room or cashier (Payment included in ignore list.)";
            } else if (bill.number == run.Pms().reinstatedBill) {
                // With returns of the tax service on, a bill left with its payments alone is no
                // payment check of each: a null check, closed by hand for the operator.
                reconciled.closed[trxNo] = "a reinstated bill of payments alone: closed by hand (Null check. Skipping.)";
            } else {
                reconciled.due.push_back(trxNo);
            }
        }
    }
    for (const Refund& refund : refunds) {
        if (refund.part) {
            reconciled.closed[refund.payment] = "a refund of a part of its sale: refused, to be registered by hand";
        } else {
            reconciled.due.push_back(refund.payment);
        }
    }
    ShowReconciliation(run, reconciled, problems);
    Heading("Result");
    size_t sales = 0;
    for (const ServiceFolder::TaxRecord& r : run.TaxRecords()) {
        sales += r.kind == "Sale";
    }
    size_t closed = 0;
    for (const pmsgen::Bill& bill : run.Pms().bills) {
        const ServiceFolder::StatusRow& first = rows[bill.payments.front()];
        closed += first.status == "Y" && first.checkNumber.empty();
    }
    std::set<std::string> earlierSales;
    for (int trxNo : run.EarlierPayments()) {
        if (!rows[trxNo].checkNumber.empty()) {
            earlierSales.insert(rows[trxNo].checkNumber);
        }
    }
    std::printf("%s: %zu for the %s of the day (%zu of them closed without a sale) and %zu for the bills left on "
                "earlier business dates; %s for %s\n",
                Counted(sales, "sale").c_str(), sales - earlierSales.size(),
                Counted(run.Pms().bills.size(), "bill").c_str(), closed, earlierSales.size(),
                Counted(run.TaxRecords().size() - sales, "return").c_str(), Counted(refunds.size(), "refund").c_str());
    if (problems.empty()) {
        std::printf("OK: every due bill was sold exactly once, every refund of a whole sale returned it once and "
                    "the refund of a part was refused.\n");
        return 0;
    }
    for (const std::string& problem : problems) {
        std::printf("FAILED: %s\n", problem.c_str());
    }
    return 1;
}
