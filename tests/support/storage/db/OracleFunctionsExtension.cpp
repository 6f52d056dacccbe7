// The service's Oracle functions as an SQLite extension, for the ODBC suite only: Debian's SQLite
// ODBC driver loads it (LoadExt= in the connection string), so a statement written for Oracle
// reaches the driver unchanged and still runs with Oracle's date semantics.

#include "storage/db/OracleFunctions.h"

struct sqlite3_api_routines;

extern "C" __attribute__((visibility("default"))) int sqlite3_extension_init(sqlite3* db, char** error,
                                                                            const sqlite3_api_routines*) {
    // The driver and this module share the process's one SQLite library, so the functions are
    // registered through its ordinary interface.
    return db::RegisterOracleFunctions(db) ? 0 : 1;
}
