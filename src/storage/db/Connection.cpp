#include "storage/db/Connection.h"

#include "platform/Text.h"
#include "storage/db/OdbcConnection.h"
#include "storage/db/SqliteConnection.h"

namespace db {

bool Connection::IsSqlite(const std::string& connectionString) {
    return text::StartsWith(text::ToLower(text::Trim(connectionString)), "sqlite:");
}

std::unique_ptr<Connection> Connection::Create(const std::string& connectionString) {
    if (IsSqlite(connectionString)) {
        return std::make_unique<SqliteConnection>();
    }
    return std::make_unique<OdbcConnection>();
}

bool Connection::RefusedAsReadOnly() {
    if (readOnly) {
        AddError(-1, "the connection is read-only: statement not run");
    }
    return readOnly;
}

}  // namespace db
