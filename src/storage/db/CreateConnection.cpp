#include "storage/db/CreateConnection.h"

#include "platform/FileSystem.h"
#include "storage/db/ConnectionString.h"
#include "storage/db/OdbcConnection.h"
#include "storage/db/SqliteConnection.h"

namespace db {

std::unique_ptr<Connection> CreateConnection(const std::string& connectionString) {
    if (Connection::IsSqlite(connectionString)) {
        return std::make_unique<SqliteConnection>();
    }
    return std::make_unique<OdbcConnection>();
}

std::string DescribeConnection(const std::string& connectionString) {
    if (connectionString.empty()) {
        return "";
    }
    if (!Connection::IsSqlite(connectionString)) {
        return "Oracle through ODBC: " + ConnectionString::WithoutPasswords(connectionString);
    }
    SqliteConnection::Settings settings;
    std::string error;
    if (!SqliteConnection::ParseConnectionString(connectionString, settings, error)) {
        return "SQLite stand-in: " + error;
    }
    auto absolute = [](const std::string& file) {
        return file.empty() || file[0] == '/' ? file : platform::CurrentFolder() + file;
    };
    std::string description = "SQLite stand-in: " + absolute(settings.file);
    for (const auto& [schema, file] : settings.attached) {
        description += ", " + schema + " " + absolute(file);
    }
    return description;
}

}  // namespace db
