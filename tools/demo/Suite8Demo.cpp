#include "Suite8Demo.h"

#include <chrono>
#include <cstdio>
#include <map>

#include "DemoReport.h"
#include "platform/Text.h"

int RunSuite8Demo(ServiceFolder& run, int timeLimitSeconds) {
    const pmsgen::Summary& pms = run.Pms();
    std::vector<int> expected = run.DuePayments();
    expected.insert(expected.end(), pms.ignoredPayments.begin(), pms.ignoredPayments.end());
    std::vector<int> deposits = run.DueDeposits();
    std::printf("Suite8 demo hotel: %sdemo_pms.db, open business date %s: %zu invoices, %zu payments, %zu deposits\n",
                run.Path().c_str(), pms.businessDate.c_str(), pms.bills.size(), pms.paymentsOfTheDay.size(),
                deposits.size());
    std::printf("Printer manager simulator: 127.0.0.1:%u, records in %schecks0.jsonl\n", run.Simulator().Port(),
                run.Path().c_str());
    if (!run.Configure({}, 500) || !run.StartService()) {
        std::fprintf(stderr, "fiscora_demo: cannot start the service in %s\n", run.Path().c_str());
        return 1;
    }
    std::printf("FiscoraService runs in %s (log qelfiscal.log). Time limit: %d s.\n", run.Path().c_str(),
                timeLimitSeconds);
    std::fflush(stdout);
    auto start = std::chrono::steady_clock::now();
    bool done = false;
    while (!done && run.ServiceRunning() &&
           std::chrono::steady_clock::now() - start < std::chrono::seconds(timeLimitSeconds)) {
        done = run.WaitForStatus(expected, "Y", 1000) && run.WaitForStatus(deposits, "D", 0);
    }
    int exitCode = run.StopService(15000);
    std::printf("FiscoraService stopped with SIGTERM, exit code %d\n", exitCode);

    std::vector<std::string> problems;
    if (!done) {
        problems.push_back("not everything was done within the time limit (see qelfiscal.log)");
    }
    if (exitCode != 0) {
        problems.push_back("FiscoraService did not stop cleanly on SIGTERM");
    }
    std::map<int, Row> rows = ReadRows(run);
    std::vector<ServiceFolder::Registered> records = run.Records();
    ShowRegistered(records, rows);
    std::vector<std::string> registration = run.RegistrationProblems(records, run.DueRegistrations());
    problems.insert(problems.end(), registration.begin(), registration.end());
    ShowStatusLetters(rows);

    std::vector<std::string> log = text::Split(run.Log(), '\n');
    Heading("Closed without registration");
    size_t closed = 0;
    for (const auto& [trxNo, row] : rows) {
        if (row.status == "Y" && row.fiscalNumber.empty()) {
            ++closed;
            std::vector<std::string> why = Reasons(log, trxNo);
            std::printf("%d  %s %s  invoice %s: %s\n", trxNo, row.code.c_str(), row.amount.c_str(), row.bill.c_str(),
                        why.empty() ? "(no reason in the log)" : why[0].c_str());
        }
    }
    if (closed == 0) {
        std::printf("nothing\n");
    }
    ShowJournal(run.Path());

    Heading("Left unregistered");
    std::vector<int> all = expected;
    all.insert(all.end(), deposits.begin(), deposits.end());
    size_t left = 0;
    for (int trxNo : all) {
        auto row = rows.find(trxNo);
        if (row != rows.end() && (row->second.status == "Y" || row->second.status == "D")) {
            continue;
        }
        ++left;
        std::printf("%d  %s\n", trxNo, row == rows.end() ? "no status row: never taken up" : ("status " + row->second.status).c_str());
        for (const std::string& reason : Reasons(log, trxNo)) {
            std::printf("    %s\n", reason.c_str());
        }
        problems.push_back(text::Format("payment %d of the open date is left unregistered", trxNo));
    }
    if (left == 0) {
        std::printf("nothing\n");
    }
    for (int trxNo : pms.ignoredPayments) {
        auto row = rows.find(trxNo);
        if (row != rows.end() && !row->second.fiscalNumber.empty()) {
            problems.push_back(text::Format("payment %d should have been closed without registration", trxNo));
        }
    }

    Reconciliation::Expected reconciled;
    reconciled.due = run.DuePayments();
    reconciled.due.insert(reconciled.due.end(), deposits.begin(), deposits.end());
    for (int trxNo : pms.ignoredPayments) {
        reconciled.closed[trxNo] = "on an ignored room or cashier (Payment included in ignore list.)";
    }
    ShowReconciliation(run, reconciled, problems);

    Heading("Result");
    // The counts are those of the sections above.
    std::printf("%s registered (%zu expected: the invoices, deposits and settlements due); %s closed without "
                "registration; %zu left unregistered; %s\n",
                Counted(records.size(), "check").c_str(), run.DueRegistrations(), Counted(closed, "payment").c_str(),
                left, Counted(log.size(), "log line").c_str());
    if (problems.empty()) {
        std::printf("OK: every due invoice, deposit and settlement of the Suite8 demo day was registered exactly "
                    "once.\n");
        return 0;
    }
    for (const std::string& problem : problems) {
        std::printf("FAILED: %s\n", problem.c_str());
    }
    return 1;
}
