#pragma once

namespace pmsgen {

// sql/oracle/install_own_tables.sql: the service's own tables.
extern const char* const kOwnTablesSql;
// sql/sqlite/opera_schema.sql: the Opera tables of the stand-in.
extern const char* const kOperaSchemaSql;

}  // namespace pmsgen
