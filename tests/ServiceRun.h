#pragma once

#include <functional>
#include <map>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "PmsGenerator.h"
#include "PrinterManagerSim.h"
#include "platform/ChildProcess.h"
#include "platform/TempFolder.h"

// One end-to-end run of the real FiscoraService: a fresh folder with a generated PMS, the demo
// configuration pointed at printer-manager simulators (in this process, each on a free port of
// 127.0.0.1) with short pauses, and a copy of the program, so that its log and check journal land
// in that folder too. Everything is stopped and removed when the run goes.
class ServiceRun {
public:
    // One status row of qel_financial_transactions.
    struct StatusRow {
        std::string status, printerId, shift, checkNumber, title, attempt, billNo;
        double amount = 0;
    };
    // One document a simulator registered (from its record).
    struct Registered {
        std::string printer, command, file, documentNumber, fiscalNumber, total;
    };
    using Changes = std::vector<std::pair<std::string, std::string>>;

    ServiceRun();
    ~ServiceRun();
    ServiceRun(const ServiceRun&) = delete;
    ServiceRun& operator=(const ServiceRun&) = delete;

    // The PMS database demo_pms.db of the run.
    bool MakePms(pmsgen::OpenDay day, bool testBills = false);
    const pmsgen::Summary& Pms() const { return summary; }

    // Printer-manager simulators; printer 1 of the configuration talks to the first, printer 2 to
    // the second when there are two, else to the first as well.
    bool StartSimulators(const std::vector<std::string>& printerIdPrefixes = {"SIM"});
    PrinterManagerSim& Simulator(size_t index = 0) { return *simulators.at(index); }
    void SetFault(const std::string& line, size_t simulator = 0);

    // Writes VuvovaZododAVU.xml: the demo configuration with the simulators' ports, short pauses
    // (1 ms after a check, 100 ms between cycles, answers awaited 3 s), then every change (each
    // occurrence of the text replaced). Needs the simulators started.
    bool Configure(const Changes& changes = {});

    bool StartService();
    bool ServiceRunning() { return service && service->Running(); }
    // SIGTERM and wait; the exit code, or -1 when the program did not end within the time.
    int StopService(int timeoutMs = 10000);

    // Polls every 100 ms until the condition holds; false when the time ran out first.
    static bool WaitUntil(const std::function<bool()>& condition, int timeoutMs);
    // Until every one of the payments has one of the letters.
    bool WaitForStatus(const std::vector<int>& payments, const std::string& letters, int timeoutMs);

    // The status table by trx_no, and one value of a query (empty when there is none).
    std::map<int, StatusRow> StatusRows();
    std::string Query(const std::string& sql);
    std::vector<Registered> Records(size_t simulator = 0) const;
    std::vector<Registered> AllRecords() const;

    std::string Log() const;
    size_t LogCount(const std::string& text) const;
    // The program's output and the end of its log, for failure messages.
    std::string Diagnostics() const;
    std::string Path(const std::string& name = "") const { return folder.Path(name); }

    // The payments of the open date that the demo configuration registers, by trx_no.
    std::vector<int> DuePayments() const;

private:
    platform::TempFolder folder{"fiscora-e2e"};
    pmsgen::Summary summary;
    std::vector<std::unique_ptr<PrinterManagerSim>> simulators;
    std::unique_ptr<platform::ChildProcess> service;
    bool programCopied = false;
};

// Each due payment is "Y" with the fiscal number, journal file and printer of exactly one record
// of the simulators, for the amount of the payment, and nothing else was registered.
void ExpectRegisteredOnce(ServiceRun& run, const std::vector<int>& due);
