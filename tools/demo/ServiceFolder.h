#pragma once

#include <functional>
#include <map>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "CheckDbSimulator.h"
#include "CzechRegistrationSim.h"
#include "MapiSim.h"
#include "PmsGenerator.h"
#include "PrinterManagerSim.h"
#include "WineService.h"
#include "platform/ChildProcess.h"

// FiscoraService run for real in a folder of its own: the folder gets a generated PMS
// (demo_pms.db), the demo configuration pointed at printer-manager simulators that run in this
// process on free ports of 127.0.0.1, with short pauses, and a copy of the program, so that its
// log and check journal land in the folder too. The demo driver and the end-to-end tests run the
// service this way.
class ServiceFolder {
public:
    // One status row of qel_financial_transactions.
    struct StatusRow {
        std::string status, printerId, shift, checkNumber, title, attempt, billNo;
        double amount = 0;
    };
    // One item line of a registered document.
    struct Item {
        std::string kind, code, description, quantity, amount, subCode;
    };
    // One document a simulator registered (a line of its record file).
    struct Registered {
        std::string printer, command, file, documentNumber, fiscalNumber, total, operatorId, operatorName;
        std::vector<Item> items;
        std::string json;  // the whole record line
    };
    // One bill the tax-service simulator registered (a line of bills.jsonl).
    struct TaxRecord {
        std::string kind, fiscalNumber, title, printer, sequence, total, saleFiscalNumber;
    };
    using Changes = std::vector<std::pair<std::string, std::string>>;

    // folder: an existing folder, with a trailing "/"; program: the FiscoraService to copy (a
    // FiscoraService.exe runs as a service under wine, see WineService);
    // demoConfiguration: demo/VuvovaZododAVU.xml of the source tree.
    ServiceFolder(std::string folder, std::string program, std::string demoConfiguration);
    virtual ~ServiceFolder();
    ServiceFolder(const ServiceFolder&) = delete;
    ServiceFolder& operator=(const ServiceFolder&) = delete;

    // The PMS database demo_pms.db of the folder (the options' file is set to it), and the POS
    // checks of its POS postings in pos_checks.json.
    bool MakePms(pmsgen::Options options, std::string& error);
    const pmsgen::Summary& Pms() const { return summary; }
    // The status rows the generated PMS held before any run (history, rows of earlier days).
    const std::map<int, StatusRow>& GeneratedRows() const { return generatedRows; }

    // Printer-manager simulators, each recording into checks<n>.jsonl; printer 1 of the
    // configuration talks to the first, printer 2 to the second when there are two, else to the
    // first as well.
    // base: the options every simulator starts from (its prefix and records file are set here).
    bool StartSimulators(const std::vector<std::string>& printerIdPrefixes, std::string& error,
                         const PrinterManagerSim::Options& base = {});
    PrinterManagerSim& Simulator(size_t index = 0) { return *simulators.at(index); }
    size_t SimulatorCount() const { return simulators.size(); }
    // The fault of a printer-manager simulator, or of the tax service when it runs alone.
    void SetFault(const std::string& line, size_t simulator = 0);
    // The check-database server stand-in on 127.0.0.1:5196 (the client library's fixed port, so
    // one per network namespace), serving the folder's pos_checks.json.
    bool StartCheckDatabase(std::string& error);
    CheckDbSimulator& CheckDatabase() { return *checkDatabase; }
    void StopCheckDatabase();
    // The Mongolian tax-service simulator in place of the printer managers, recording into
    // bills.jsonl; both printers of the configuration talk to it.
    // observer: as the simulator's (crash tests).
    bool StartTaxService(std::string& error, std::function<void(const std::string&)> observer = {});
    MapiSim& TaxService() { return *taxService; }
    std::vector<TaxRecord> TaxRecords() const;
    // A refund the PMS makes after the bill was registered: a new bill of the same stay with
    // the bill's first posting and first payment, both of minus the amount, the payment naming
    // the reference, in the hotel's currency. Its numbers are the next free ones.
    bool AddRefundBill(int bill, double amount, const std::string& reference, int& refundBill,
                       int& refundPayment, std::string& error);

    // The Czech sales-registration simulator, recording into czech.jsonl. Started, it is the
    // peer of every printer of the configuration (a Czech one, demo/czech/VuvovaZododAVU.xml).
    bool StartCzechSimulator(std::string& error, const std::string& faultLine = "",
                             std::function<void(const std::string&)> observer = {});
    CzechRegistrationSim& CzechSimulator() { return *czech; }

    // Writes VuvovaZododAVU.xml: the demo configuration with the simulators' ports and short
    // pauses (1 ms after a check, pollMs between cycles, answers awaited 3 s), then every change
    // (each occurrence of the text replaced). False when a text to change is not there.
    bool Configure(const Changes& changes = {}, int pollMs = 100);

    // Copies the program into the folder (with a trailing "/") as FiscoraService, runnable by its
    // owner, so that its program folder, and with it its log, is that folder, and the client
    // library of its build beside it. False when it failed.
    static bool CopyProgram(const std::string& program, const std::string& folder);
    bool StartService();
    bool ServiceRunning() { return (service && service->Running()) || (wine && wine->Running()); }
    bool SignalService(int signal) { return service && service->Signal(signal); }
    // The most memory the running service has held so far (its peak resident set, kB); 0 when
    // no service runs or the system does not tell.
    long ServicePeakMemoryKb() const;
    // The process id of the service started last, 0 when none was.
    int ServicePid() const { return service ? static_cast<int>(service->Pid()) : 0; }
    // SIGTERM and wait; the exit code, or -1 when the program did not end within the time.
    int StopService(int timeoutMs = 10000);
    // SIGKILL and wait: the service ends wherever it is, as in a crash.
    void KillService();
    // Ends the service (killed when it still runs) and the simulators.
    void Shutdown();

    // Polls every 100 ms until the condition holds; false when the time ran out first.
    static bool WaitUntil(const std::function<bool()>& condition, int timeoutMs);
    // Until every one of the payments has one of the letters.
    bool WaitForStatus(const std::vector<int>& payments, const std::string& letters, int timeoutMs);

    // The status table by trx_no; every row of a query with its columns as texts (NULL as
    // empty); the first value of a query.
    std::map<int, StatusRow> StatusRows();
    std::vector<std::vector<std::string>> Rows(const std::string& sql);
    std::string Query(const std::string& sql);
    std::vector<Registered> Records(size_t simulator = 0) const;
    std::vector<Registered> AllRecords() const;

    std::string Log() const;
    size_t LogCount(const std::string& text) const;
    std::string Path(const std::string& name = "") const { return folder + name; }
    const std::string& Program() const { return program; }
    // Runs a statement on the PMS (the service's and the Opera tables, SQLite's dialect).
    bool Execute(const std::string& sql);
    // The night audit: the open business date closes and the next one opens.
    bool NightAudit();

    // The payments of the open date that the demo configuration registers as payments (status
    // Y), by trx_no: not the deposits, the split parts of a registered payment, the ignored ones
    // or a refund larger than its sale.
    std::vector<int> DuePayments() const;
    // The deposits of the open date, registered as deposits (status D).
    std::vector<int> DueDeposits() const { return summary.depositsOfTheDay; }
    // The payments the PMS left N or S on closed business dates; the demo configuration
    // registers them after the open date's checks.
    const std::vector<int>& EarlierPayments() const { return summary.earlierPayments; }
    // How many documents the open date's due payments and deposits make.
    // (A Suite8 invoice registers its payments together: the PMS tells how many documents.)
    size_t DueRegistrations() const {
        return summary.registrations != 0 ? summary.registrations
                                          : DuePayments().size() + DueDeposits().size();
    }
    // What is wrong with the registered documents, record by record (one that no status row names
    // by its printer and fiscal number, a fiscal number given twice), then a count of documents
    // other than the count of due registrations. Empty when nothing is wrong. A deposit's row
    // does not name its printer: it is known by its fiscal number and amount. Rows seen earlier
    // count too (a deposit's row takes the fiscal number of the bill that consumes it).
    std::vector<std::string> RegistrationProblems(const std::vector<Registered>& records, size_t dueCount,
                                                  const std::map<int, StatusRow>& earlierRows = {});
    // Whether the record is the registration of the status row.
    static bool IsRegistrationOf(const Registered& record, const StatusRow& row);

private:
    std::string folder;
    std::string program;
    std::string demoConfiguration;
    pmsgen::Summary summary;
    std::map<int, StatusRow> generatedRows;
    std::vector<std::unique_ptr<PrinterManagerSim>> simulators;
    std::unique_ptr<CheckDbSimulator> checkDatabase;
    std::unique_ptr<CzechRegistrationSim> czech;
    std::unique_ptr<MapiSim> taxService;
    std::unique_ptr<platform::ChildProcess> service;
    // FiscoraService.exe under wine's service control manager (a program ending in ".exe").
    std::unique_ptr<WineService> wine;
    bool programCopied = false;
};
