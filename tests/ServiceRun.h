#pragma once

#include <map>
#include <string>
#include <vector>

#include "Reconciliation.h"
#include "ServiceFolder.h"
#include "platform/TempFolder.h"

// The folder of a run is a fresh temporary one; it exists before the service folder in it.
struct ServiceRunTempFolder {
    platform::TempFolder temp{"fiscora-e2e"};
};

// One end-to-end run of the FiscoraService of the build in a fresh temporary folder, removed with
// everything in it when the run goes (FISCORA_E2E_KEEP=<folder> keeps a copy, named after the
// test). Failures to set the run up are test failures.
class ServiceRun : private ServiceRunTempFolder, public ServiceFolder {
public:
    ServiceRun();
    // A run with another demo configuration, given relative to the source tree.
    explicit ServiceRun(const std::string& demoConfiguration);
    // A run of another build of the program (FiscoraService.exe runs under wine).
    ServiceRun(const std::string& demoConfiguration, const std::string& program);
    ~ServiceRun() override;

    bool MakePms(pmsgen::OpenDay day, bool testBills = false, pmsgen::PmsKind pms = pmsgen::PmsKind::Opera);
    bool MakePms(const pmsgen::Options& options);
    bool StartSimulators(const std::vector<std::string>& printerIdPrefixes = {"SIM"});
    // The usual start: the PMS, one simulator for both printers, the configuration, the service.
    bool Start(pmsgen::OpenDay day, bool testBills = false, const Changes& changes = {});
    // The same start with the simulator misbehaving from the first message on (see FaultSetting).
    bool StartWithFault(pmsgen::OpenDay day, const std::string& fault);
    bool Start(const pmsgen::Options& options, const Changes& changes = {});
    // Stops the service and starts it again with the demo configuration and other changes.
    bool Restart(const Changes& changes);
    // The program's output and the end of its log, for failure messages.
    std::string Diagnostics() const;
    // From now on the database refuses to make a status row Y, until AllowStatusY.
    bool RefuseStatusY();
    bool AllowStatusY();
};

// The source tree (FISCORA_SOURCE_DIR, or where this file is) and the FiscoraService of the build
// (FISCORA_BINARY_DIR), each with a trailing "/" for the folder.
std::string SourceDir();
std::string ServiceBinary();

// The status rows of the run against everything its simulators registered (Reconciliation):
// every document named by rows of its amount, every Y or D row registered or listed in
// expected.closed, every expected.due payment registered once. Every end-to-end test ends with it,
// so that a test of letters and log lines cannot pass over a registration that is missing or
// made twice. On a mismatch the report goes with the failure.
void ExpectReconciled(ServiceRun& run, const Reconciliation::Expected& expected = {});

// Each due payment is "Y" with the fiscal number, journal file and printer of exactly one record
// of the simulators, for the amount of the payment, each deposit "D" with the fiscal number of
// another record for its amount, and nothing else was registered; then the reconciliation, with
// the rows closed without a registration (and why).
void ExpectRegisteredOnce(ServiceRun& run, const std::vector<int>& due, const std::vector<int>& deposits = {},
                          const std::map<int, std::string>& closed = {});

// The ignored payments of the open day (the house account's room, with test bills the
// supervisor's): closed without registration by the ignore list.
std::map<int, std::string> IgnoredPayments(const ServiceRun& run);

// The outcome journal holds nothing (every exchange settled under the key it began with) and no
// start of the service logged checks in doubt.
void ExpectNothingPending(ServiceRun& run);

// The document registered for the payment, by the printer and fiscal number of its status row (a
// test failure when there is none).
ServiceRun::Registered DocumentOf(ServiceRun& run, int payment);

// The amounts of a document's items added up.
double SumOfAmounts(const std::vector<ServiceRun::Item>& items);

// Starts the stopped service again over the same PMS (startWaitMs for its start) and lets it poll
// for 2 s: nothing more is registered (records in all, as before) and no status row changes.
void ExpectASecondStartRegistersNothing(ServiceRun& run, size_t records, int startWaitMs);

// What "FiscoraService status" of the program in a folder says, run in that folder.
struct StatusOutput {
    int exitCode = -1;
    std::string text;
};
StatusOutput RunStatus(const std::string& folder, const std::string& option = "");
