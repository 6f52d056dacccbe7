#pragma once

#include <memory>
#include <string>

#include "storage/db/Connection.h"

namespace db {

// The driver of a connection string, not yet open: "sqlite:" strings open the embedded
// stand-in, every other string goes to ODBC unchanged. The one place that names both drivers.
std::unique_ptr<Connection> CreateConnection(const std::string& connectionString);
// Which engine the connection string names, and where its data are, without passwords: empty for
// an empty string.
std::string DescribeConnection(const std::string& connectionString);

}  // namespace db
