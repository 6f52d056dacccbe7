#pragma once

#include <string>
#include <utility>
#include <vector>

#include "PmsGenerator.h"

class CFiscalINI;
class CLogFile;
class COperaBase;

// The demo hotels as the polling-cycle benchmarks and the plan check use them: a generated PMS at
// some scale whose open date is registered (nothing due), and a back-end opened on it with the
// demo configuration and changes of it.
namespace benchhotel {

// Changes of the demo configuration: every "from" replaced by its "to".
using Changes = std::vector<std::pair<std::string, std::string>>;

struct Hotel {
    pmsgen::PmsKind kind = pmsgen::PmsKind::Opera;
    // The demo configuration, relative to the source tree.
    std::string configuration;
    std::string schema;     // of the PMS tables, as the configuration names it
    std::string label;      // "Opera", "Suite8"
    std::string documents;  // "bills", "invoices"
};
Hotel Opera();
Hotel Suite8();

// A PMS with its history, with deposits in it and the open date's deposit stories (a '9901I'
// transfer of a deposit) when deposits is set.
pmsgen::Options PmsOptions(const Hotel& hotel, const std::string& file, int transactions, bool deposits);

// Registers everything of the open date (its bills whole) and every payment of the history that is
// not yet: status Y, the open date's deposits D (but those the PMS keeps for a pro-forma folio). A
// '9901I' transfer of the open date is left to the first cycle, which pairs it with its deposit and
// gives it its row. Statements of the stand-in's own dialect.
std::string RegisterEverything(const Hotel& hotel, const pmsgen::Summary& summary);

// Makes the registered documents of the open date due again: the eleven newest bills (Opera), or
// every invoice but the ignored house account's (Suite8: eleven).
std::string MakeElevenDue(const Hotel& hotel, const pmsgen::Summary& summary);

// Writes the demo configuration with the changes into the folder (with a trailing "/"), pointed at
// the PMS file, and opens the back-end with it. False with the reason.
bool Open(const Hotel& hotel, const std::string& folder, const std::string& pmsFile, const Changes& changes,
          CLogFile& log, CFiscalINI& configuration, COperaBase& storage, std::string& error);

// Full checks instead of payments only, and back.
Changes FullChecks();
Changes PaymentsOnly();

}  // namespace benchhotel
