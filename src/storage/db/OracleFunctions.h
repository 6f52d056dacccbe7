#pragma once

struct sqlite3;

namespace db {

// Registers the Oracle functions the service's statements call on an SQLite connection: nvl,
// nvl2, decode, to_char, to_date, to_number, trunc, least, greatest, sign, sysdate, systimestamp
// and the NULL-skipping concatenation the rewriter puts in place of "||". Dates are day numbers
// (OracleFormats.h); SYSDATE comes from platform::Clock, so tests can set the database's "now".
// As in Oracle, an empty text counts as NULL.
bool RegisterOracleFunctions(sqlite3* db);

}  // namespace db
