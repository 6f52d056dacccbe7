#pragma once

namespace pmsgen {

// sql/oracle/install_own_tables.sql: the service's own tables.
extern const char* const kOwnTablesSql;
// sql/sqlite/opera_schema.sql: the Opera tables of the stand-in.
extern const char* const kOperaSchemaSql;
// sql/sqlite/suite8_schema.sql: the Suite8 tables of the stand-in.
extern const char* const kSuite8SchemaSql;

}  // namespace pmsgen
