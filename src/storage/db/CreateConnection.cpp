#include "storage/db/CreateConnection.h"

#include "storage/db/OdbcConnection.h"
#include "storage/db/SqliteConnection.h"

namespace db {

std::unique_ptr<Connection> CreateConnection(const std::string& connectionString) {
    if (Connection::IsSqlite(connectionString)) {
        return std::make_unique<SqliteConnection>();
    }
    return std::make_unique<OdbcConnection>();
}

}  // namespace db
