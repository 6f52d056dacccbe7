#pragma once

#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "service/CWorkerParts.h"
#include "service/ServicePaths.h"
#include "service/WorkerHealth.h"

class CFiscalCheck;
class CFiscalINI;
class CFiscalPrinter;
class CFiscalStorage;
class CStatusTableReader;

// "FiscoraService status": what an operator or a monitoring system needs to know, read from the
// configuration, the status table (through a connection that cannot write), the check journal
// and the running service's health file. Nothing is changed anywhere.
class StatusReport {
public:
    // The exit codes, as monitoring systems read them.
    enum Verdict { Healthy = 0, Degraded = 1, Down = 2, Unknown = 3 };

    // One check the status table holds without a final letter (its rows grouped by bill in
    // full-check mode, one row a check in payments-only mode).
    struct OpenCheck {
        std::string bill;
        std::string status;  // N, S or F
        std::string line;    // its printer line
        std::string printer;
        std::string fiscalNumber;
        std::string businessDate;
        double amount = 0;
        std::vector<int> transactions;
        // A registration was attempted and failed (N with the printer of the attempt, or F).
        bool failed = false;
        // Sent, the answer never came whole (the outcome journal): it may be registered.
        bool inDoubt = false;
        // Registered, the status not in the table yet (the outcome journal, or an N row that
        // holds a fiscal number).
        bool waiting = false;
        // Of a closed business date: what becomes of it (empty for the open date's checks).
        std::string closedDate;
        // Of a closed business date that no polling cycle takes up.
        bool needsOperator = false;
    };
    // A check of the service's outcome journal: in doubt on its printer, or registered and
    // waiting for the database.
    struct Outcome {
        std::string key;
        std::string printer;
        std::string time;
        std::string answer;
        int firstTransaction = 0;
        bool registered = false;
        // In doubt in the journal, but its status row is final (Y, or gone): no true doubt; the
        // service settles it at its next start.
        bool settled = false;
    };
    // A row of the latest business day closed Y without a registration.
    struct ClosedRow {
        int transaction = 0;
        std::string bill;
        std::string businessDate;
        double amount = 0;
    };
    struct LineState {
        std::string name;
        std::vector<std::string> printers;
        int due = 0;
        int pending = 0;
    };
    struct PrinterState {
        std::string name;
        std::string address;
        std::string journalDate;  // "%d-%m-%Y" of the journal of its last registration
        std::string lastEntry;    // that journal line
        bool unreachable = false;
    };
    struct Facts {
        std::string serviceName;
        std::string configurationFile;
        std::string configurationError;
        // Unknown elements and printer attributes: the service warns of them at start-up.
        std::vector<std::string> configurationWarnings;
        bool serviceRunning = false;
        int pid = 0;
        std::string healthUpdated;
        WorkerHealth health;
        // A copy that runs and waits for the property while another service holds it.
        int waitingPid = 0;
        std::string waiting;
        // The health files could not be read (not "not there"): whether the service runs is unknown.
        std::string healthError;
        // The service's working folder, where the report reads relative paths from, as the
        // service does; why it could not be entered.
        std::string workingFolder;
        std::string workingFolderError;
        // The database the configuration names: the engine and where it is.
        std::string database;
        bool databaseReachable = false;
        std::string databaseError;
        bool paymentBlocking = true;
        bool paymentsKnown = false;
        bool paymentsBlocked = false;
        std::vector<std::string> blockedCodes;
        std::vector<LineState> lines;
        std::vector<PrinterState> printers;
        std::vector<OpenCheck> open;
        std::vector<ClosedRow> closed;
        std::vector<Outcome> outcomes;
        std::string outcomesError;
        int due = 0;
        // The PMS's open business date and what becomes of checks left on closed ones.
        std::string openBusinessDate;
        std::string earlierDates;
        Verdict verdict = Unknown;
        std::vector<std::string> reasons;
    };

    StatusReport(const ServicePaths& paths, std::unique_ptr<CWorkerParts> parts = nullptr,
                 const std::string& serviceName = "QEL Fiscal Service");
    ~StatusReport();

    // Collects, prints (JSON or text) and returns the verdict as the exit code.
    int Run(bool json, FILE* out);
    const Facts& Collect();
    std::string Text() const;
    std::string Json() const;

private:
    bool LoadConfiguration();
    void ReadHealth();
    // Works from the service's working folder (the one its health file names, else its unit's),
    // so that a relative database file or configuration is the service's.
    void EnterServiceFolder();
    void ReadOpenRows(CStatusTableReader& table);
    // The open business date, and for every open check of a closed one what becomes of it.
    void ReadClosedDates(CStatusTableReader& table);
    // The day's Y rows that name no registration.
    void ReadClosedRows(CStatusTableReader& table);
    void ReadOutcomes();
    void ReadDueChecks();
    void ReadPaymentEntry(CStatusTableReader& table);
    void ReadPrinters();
    int LineOf(CFiscalCheck& check);
    void Judge();

    ServicePaths paths;
    std::unique_ptr<CWorkerParts> parts;
    std::unique_ptr<CFiscalINI> configuration;
    std::unique_ptr<CFiscalPrinter> registry;
    std::unique_ptr<CFiscalStorage> storage;
    Facts facts;
};
