#include "storage/db/Connection.h"

#include "platform/Text.h"

namespace db {

bool Connection::IsSqlite(const std::string& connectionString) {
    return text::StartsWith(text::ToLower(text::Trim(connectionString)), "sqlite:");
}

bool Connection::RefusedAsReadOnly() {
    if (readOnly) {
        AddError(-1, "the connection is read-only: statement not run");
    }
    return readOnly;
}

}  // namespace db
