#include "Suite8Demo.h"

#include <chrono>
#include <cstdio>
#include <map>

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
    std::vector<ServiceFolder::Registered> records = run.Records();
    std::printf("\n== Checks registered (printer manager record) ==\n");
    for (const ServiceFolder::Registered& record : records) {
        std::printf("printer %-3s fiscal no %-6s document %-12s %12s\n", record.printer.c_str(),
                    record.fiscalNumber.c_str(), record.documentNumber.c_str(), record.total.c_str());
    }
    std::vector<std::string> registration = run.RegistrationProblems(records, run.DueRegistrations());
    problems.insert(problems.end(), registration.begin(), registration.end());

    std::printf("\n== Status rows by letter ==\n");
    std::map<int, ServiceFolder::StatusRow> rows = run.StatusRows();
    std::map<std::string, std::vector<std::string>> byLetter;
    for (const auto& [trxNo, row] : rows) {
        byLetter[row.status.empty() ? "(empty)" : row.status].push_back(std::to_string(trxNo));
    }
    for (const auto& [letter, numbers] : byLetter) {
        std::printf("%s: %zu  (%s)\n", letter.c_str(), numbers.size(), text::Join(numbers, " ").c_str());
    }
    for (int trxNo : expected) {
        if (rows.count(trxNo) == 0 || rows[trxNo].status != "Y") {
            problems.push_back(text::Format("payment %d is left unregistered", trxNo));
        }
    }
    std::printf("\n== Result ==\n");
    if (problems.empty()) {
        std::printf("OK: every due document of the Suite8 demo day was registered exactly once.\n");
        return 0;
    }
    for (const std::string& problem : problems) {
        std::printf("FAILED: %s\n", problem.c_str());
    }
    return 1;
}
