#include "CyclePlans.h"

#include <algorithm>
#include <ctime>
#include <map>
#include <regex>
#include <set>

#include "RecordingConnection.h"
#include "config/CFiscalINI.h"
#include "log/CLogFile.h"
#include "platform/Text.h"
#include "storage/CDovozEderarezev.h"
#include "storage/CF8Monitoring.h"
#include "storage/db/SqliteConnection.h"

namespace cycleplans {

namespace {

std::string Errors(const db::Connection& c) {
    std::string out;
    for (const db::ProviderError& e : c.Errors()) {
        out += (out.empty() ? "" : " ") + e.description;
    }
    return out;
}

// The names a guarded table goes by in the statement: its own and its aliases.
std::map<std::string, std::string> GuardedNames(const std::string& sqlite) {
    static const std::set<std::string> kNotAliases = {
        "where", "on", "left",  "inner", "join",   "cross", "order",   "group",   "set",
        "and",   "or", "limit", "union", "except", "using", "natural", "indexed", "not"};
    std::string statement = text::ToLower(sqlite);
    std::map<std::string, std::string> names;
    for (const std::string& table : GuardedTables()) {
        names[table] = table;
        std::regex reference("(^|[^a-z0-9_$.])([a-z0-9_$]+\\.)?" + table +
                             "(?![a-z0-9_$])(\\s+as)?\\s+([a-z_][a-z0-9_$]*)");
        for (std::sregex_iterator it(statement.begin(), statement.end(), reference), end; it != end; ++it) {
            std::string alias = (*it)[4];
            if (!kNotAliases.count(alias)) {
                names[alias] = table;
            }
        }
    }
    return names;
}

// The process's processor time in milliseconds (it runs one thread): on a shared machine the time
// a query takes, not the time others take meanwhile.
double ProcessorMs() {
    return 1000.0 * static_cast<double>(std::clock()) / CLOCKS_PER_SEC;
}

// The median processor time of a query over some runs; 0 for a statement that is no query.
double QueryTime(db::SqliteConnection& pms, const std::string& statement) {
    if (!text::StartsWith(text::ToLower(text::Trim(statement)), "select")) {
        return 0;
    }
    std::vector<double> times;
    for (int run = 0; run < 11; ++run) {
        db::Recordset rows;
        double start = ProcessorMs();
        pms.OpenRecordset(statement, rows);
        times.push_back(ProcessorMs() - start);
    }
    std::sort(times.begin(), times.end());
    return times[times.size() / 2];
}

void Cycle(COperaBase& storage, std::vector<CFiscalCheck>& checks) {
    // What the worker runs in every cycle: the lease, the business date, the checks due.
    CFiscalStorage::LeaseRow row;
    storage.HoldLease("cycle_plans", 60, nullptr, row);
    storage.CheckBusinessDate();
    storage.GetChecks(checks);
}

template <class BackEnd>
bool IdleStatements(const benchhotel::Hotel& hotel, const std::string& folder, const std::string& file,
                    const Variant& variant, std::vector<std::string>& statements, std::string& error) {
    CLogFile log;
    log.SetEcho(false);
    log.Open(folder + "qelfiscal.log", true);
    CFiscalINI configuration;
    Recorded<BackEnd> storage;
    if (!benchhotel::Open(hotel, folder, file, variant.changes, log, configuration, storage, error)) {
        error = variant.name + ": " + error;
        return false;
    }
    if (!storage.StartRecording()) {
        error = variant.name + ": cannot connect: " + storage.GetLastError();
        return false;
    }
    // The first cycle pairs a transfer of the open date with its deposit; the second has nothing to
    // do.
    for (int cycle = 0; cycle < 2; ++cycle) {
        std::vector<CFiscalCheck> checks;
        Cycle(storage, checks);
        if (!storage.TakeStatements(statements)) {
            error = variant.name + ": a statement failed: " + storage.GetLastError();
            return false;
        }
        if (!checks.empty()) {
            error = text::Format("%s: %d checks due in cycle %d", variant.name.c_str(),
                                 static_cast<int>(checks.size()), cycle + 1);
            return false;
        }
    }
    return true;
}

}  // namespace

const std::vector<std::string>& GuardedTables() {
    static const std::vector<std::string> kTables = {"qel_financial_transactions",
                                                     "financial_transactions",
                                                     "financial_transactions_jrnl",
                                                     "zpos",
                                                     "zinv",
                                                     "zpil"};
    return kTables;
}

// The rows an index lookup with equalities on its first columns meets, as the planner estimates
// them from sqlite_stat1 ("rows avg1 avg2 ..."), and the table's rows; false without statistics.
bool EstimatedRows(db::SqliteConnection& pms, const std::string& index, size_t equalities, double& rows,
                   double& tableRows) {
    db::Recordset stat;
    std::string text;
    if (!pms.OpenRecordset("select stat from sqlite_stat1 where idx='" + index + "'", stat) || stat.IsEOF() ||
        stat.GetText(0, text) != db::FieldStatus::Ok) {
        return false;
    }
    std::vector<std::string> numbers = text::Split(text, ' ');
    if (equalities == 0 || equalities >= numbers.size()) {
        return false;
    }
    tableRows = text::ToInt64(numbers[0]);
    rows = text::ToInt64(numbers[equalities]);
    return true;
}

// A SEARCH through an index whose equalities leave nearly all of the table ("(resort=?)" of a
// one-hotel PMS) is a scan under another name: a fault when, by the planner's own estimate, it
// meets more than 1,000 rows and nine tenths of the table. (The estimate is an average: a lookup
// of the rare status S is estimated at a quarter of the table, and is not held against it.)
void CheckSearch(db::SqliteConnection& pms, const std::string& detail, const std::string& table, Plan& plan) {
    static const std::regex kIndexed("USING (?:COVERING )?INDEX (\\S+) \\(([^)]*)\\)");
    std::smatch match;
    if (!std::regex_search(detail, match, kIndexed)) {
        return;
    }
    size_t equalities = 0;
    for (const std::string& term : text::Split(match[2].str(), ' ')) {
        if (text::EndsWith(term, "=?")) {
            ++equalities;
        } else if (term != "AND") {
            break;
        }
    }
    double rows = 0;
    double tableRows = 0;
    if (EstimatedRows(pms, match[1].str(), equalities, rows, tableRows) && rows > 1000 &&
        rows > 0.9 * tableRows) {
        plan.faults.push_back(text::Format("reads about %.0f of the %.0f rows of %s: %s", rows, tableRows,
                                           table.c_str(), detail.c_str()));
    }
}

Plan Explain(db::SqliteConnection& pms, const std::string& statement) {
    Plan plan;
    plan.statement = statement;
    std::string sqlite;
    if (!pms.Translate(statement, sqlite) || !pms.ExplainQueryPlan(statement, plan.steps)) {
        plan.faults.push_back("not explained: " + Errors(pms));
        return plan;
    }
    plan.milliseconds = QueryTime(pms, statement);
    std::map<std::string, std::string> names = GuardedNames(sqlite);
    for (const std::string& step : plan.steps) {
        std::string detail = text::Trim(step);
        if (detail.find("AUTOMATIC") != std::string::npos) {
            plan.faults.push_back("automatic index: " + detail);
        }
        bool scan = text::StartsWith(detail, "SCAN ");
        if (scan || text::StartsWith(detail, "SEARCH ")) {
            std::string name = text::ToLower(text::Split(detail.substr(scan ? 5 : 7), ' ')[0]);
            auto guarded = names.find(name);
            if (guarded != names.end() && scan) {
                plan.faults.push_back("full scan of " + guarded->second +
                                      (name == guarded->second ? "" : " (as " + name + ")"));
            } else if (guarded != names.end()) {
                CheckSearch(pms, detail, guarded->second, plan);
            }
        }
    }
    return plan;
}

std::vector<Variant> Variants(const benchhotel::Hotel& hotel) {
    using benchhotel::Changes;
    using benchhotel::FullChecks;
    const Changes czech = {{"<printer>PM</printer>", "<printer>CZECH</printer>"}};
    // Prepayments whose room nights pay the bills of other folio windows (the code-map list).
    const Changes prepayment = {
        {"<ignore>",
         "<prepayment><view>3</view><payment code=\"1000\"><posting>*1000*</posting></payment>"
         "</prepayment><ignore>"}};
    const Changes proForma = {{"<proforma_folio_deposit>0<", "<proforma_folio_deposit>1<"}};
    auto join = [](Changes a, const Changes& b) {
        a.insert(a.end(), b.begin(), b.end());
        return a;
    };
    if (hotel.kind == pmsgen::PmsKind::Opera) {
        return {{"payments only, pay master, deposits and transfers, AR payments", {}},
                {"full checks, pro-forma deposits, second list, pay master's room, folio windows",
                 join(join(FullChecks(), proForma), prepayment)},
                {"full checks on a Czech printer", join(FullChecks(), czech)}};
    }
    return {{"full checks, day deposits, AR payments", {}},
            {"payments only, folio windows", join(benchhotel::PaymentsOnly(), prepayment)},
            {"full checks, open deposits (Armenian printer)",
             {{"<printer>PM</printer>", "<printer>ARMENIA</printer>"}}},
            {"full checks on a Czech printer", czech}};
}

bool IdleCyclePlans(const benchhotel::Hotel& hotel, const std::string& folder, int transactions,
                    int registeredBills, std::vector<Plan>& plans, pmsgen::Summary& summary,
                    std::string& error) {
    plans.clear();
    std::string file = folder + "pms.db";
    pmsgen::Options options = benchhotel::PmsOptions(hotel, file, transactions, true);
    options.registeredBills = registeredBills;
    if (!pmsgen::Generate(options, summary, error)) {
        return false;
    }
    db::SqliteConnection pms;
    pms.SetPmsSchema(hotel.schema);
    if (!pms.Open("sqlite:" + file) || !pms.ExecuteScript(benchhotel::RegisterEverything(hotel, summary))) {
        error = "cannot register the open date: " + Errors(pms);
        return false;
    }
    std::set<std::string> seen;
    for (const Variant& variant : Variants(hotel)) {
        std::vector<std::string> statements;
        bool ran = hotel.kind == pmsgen::PmsKind::Opera
                       ? IdleStatements<CDovozEderarezev>(hotel, folder, file, variant, statements, error)
                       : IdleStatements<CF8Monitoring>(hotel, folder, file, variant, statements, error);
        if (!ran) {
            return false;
        }
        for (const std::string& statement : statements) {
            if (seen.insert(statement).second) {
                plans.push_back(Explain(pms, statement));
                plans.back().variant = variant.name;
            }
        }
    }
    if (hotel.kind == pmsgen::PmsKind::Opera) {
        // The plans are those of a cycle that had a transfer of the open date to pair.
        db::Recordset rows;
        std::string status;
        if (!pms.OpenRecordset(
                text::Format("select qel_fisc_status from qel_financial_transactions where trx_no=%d",
                             summary.depositTransfer),
                rows) ||
            rows.IsEOF() || rows.GetText(0, status) != db::FieldStatus::Ok || status != "D") {
            error = "the open date's deposit transfer was not paired with its deposit";
            return false;
        }
    }
    return true;
}

std::vector<std::string> Describe(const Plan& plan) {
    std::vector<std::string> lines = {
        (plan.faults.empty() ? "ok     " : "FAULT  ") + plan.statement,
        text::Format("       (%s; %.3f ms of processor time)", plan.variant.c_str(), plan.milliseconds)};
    for (const std::string& step : plan.steps) {
        lines.push_back("         " + step);
    }
    for (const std::string& fault : plan.faults) {
        lines.push_back("       ! " + fault);
    }
    return lines;
}

}  // namespace cycleplans
