#pragma once

#include <string>
#include <vector>

#include "BenchHotel.h"

namespace db {
class SqliteConnection;
}

// What SQLite plans for the statements of a polling cycle with nothing due: each must reach the
// status table and the PMS's transaction tables through an index, so that an idle cycle costs the
// same at ten million transactions as at ten thousand.
namespace cycleplans {

// The tables no idle cycle may read whole: the status table and the PMS's transaction tables (not
// the deposits the PMS mirrors into deposit_financial_transactions: a few of its guests' current
// deposits, which SQLite reads whole while that is cheaper than its index).
const std::vector<std::string>& GuardedTables();

// One statement as the back-end ran it and SQLite's plan for it.
struct Plan {
    std::string variant;  // the configuration whose cycle ran it first
    std::string statement;
    std::vector<std::string> steps;
    // "full scan of <table>", "reads about <n> of the <m> rows of <table>" (an index lookup that
    // meets much of the table), "automatic index: <step>", or why it could not be explained.
    std::vector<std::string> faults;
    // A query's processor time on the stand-in (the median of some runs), 0 for other statements.
    double milliseconds = 0;
};

Plan Explain(db::SqliteConnection& pms, const std::string& statement);

// A configuration of a hotel whose idle cycle runs a set of finders of its own.
struct Variant {
    std::string name;
    benchhotel::Changes changes;
};
// Variants that together run every finder of the back-end in an idle cycle.
std::vector<Variant> Variants(const benchhotel::Hotel& hotel);

// Generates the hotel's PMS in the folder (with a trailing "/") at the scale, registers
// everything, runs two polling cycles (lease, business date, checks) under each variant and
// explains every statement of the second ones, each once, in the order they first ran. False with
// the reason when that could not be done (a statement failed, checks were due).
// registeredBills: bills of the open date registered already (a busy day's).
bool IdleCyclePlans(const benchhotel::Hotel& hotel, const std::string& folder, int transactions,
                    int registeredBills, std::vector<Plan>& plans, pmsgen::Summary& summary,
                    std::string& error);

// The plans as lines for a reader: the statement, its steps, its faults.
std::vector<std::string> Describe(const Plan& plan);

}  // namespace cycleplans
