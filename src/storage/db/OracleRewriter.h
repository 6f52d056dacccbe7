#pragma once

#include <functional>
#include <string>
#include <vector>

#include "storage/db/SqlTokens.h"

namespace db {

// Turns a statement in the Oracle dialect of the service's templates into one that SQLite runs
// with the same result:
// - "(+)" outer joins become LEFT JOINs: every condition that marks a table with (+) (joins to
//   other tables and conditions on literals alike) goes into that table's ON clause, tables are
//   joined in an order where each ON clause only names tables before it; in every SELECT,
//   sub-selects and scalar sub-selects included;
// - "rownum" conditions become LIMIT; with an ORDER BY the rows are limited first and sorted
//   afterwards, as Oracle does;
// - ORDER BY sorts NULLs as Oracle does (last when ascending, first when descending);
// - MINUS becomes EXCEPT, SYSDATE and SYSTIMESTAMP function calls, '' the NULL it is in Oracle,
//   "a || b" a concatenation that skips NULLs, "^=" becomes "!=";
// - "IN ()" is refused like Oracle refuses it;
// - qualifiers naming a schema that lives in the main database are dropped.
class OracleRewriter {
public:
    // Column names (lower case) of a table; false when the table is unknown.
    using ColumnLookup = std::function<bool(const std::string& schema, const std::string& table,
                                            std::vector<std::string>& columns)>;

    void SetColumnLookup(ColumnLookup lookup) { columnLookup = std::move(lookup); }
    // Schema names whose tables are in the main database (compared without case).
    void SetLocalSchemas(std::vector<std::string> schemas);

    bool Rewrite(const std::string& oracle, std::string& sqlite, std::string& error);

private:
    bool RewriteTokens(sql::NodeList& nodes, std::string& error);
    bool RewriteList(sql::NodeList& nodes, std::string& error);
    bool RewriteQuery(sql::NodeList& nodes, std::string& error);
    bool RewriteBlock(sql::NodeList& block, std::string& error);
    void RewriteConcatenation(sql::NodeList& nodes);

    ColumnLookup columnLookup;
    std::vector<std::string> localSchemas;
};

}  // namespace db
