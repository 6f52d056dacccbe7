#pragma once

#include <string>
#include <vector>

namespace db {

// The attributes of a database connection string as the drivers read them: "key=value" pairs
// separated by ";", a value in braces ("{se;cret}", "}}" inside for a "}") or in quotes
// ("'se;cret'", the quote doubled inside) may hold ";", keys are compared without case and
// blanks. What the log and the error texts may show of it.
class ConnectionString {
public:
    static constexpr const char* kHidden = "*****";

    // The string with the whole value of every password attribute (PWD, Password) replaced by
    // kHidden, braces and quotes included, and the password part of a user given as
    // "user/password@database".
    static std::string WithoutPasswords(const std::string& connectionString);
    // The passwords the string holds, each as written and without its braces or quotes.
    static std::vector<std::string> Passwords(const std::string& connectionString);
    // The text with every password of the connection string replaced by kHidden (a driver may
    // repeat the string in its messages).
    static std::string HidePasswords(const std::string& text, const std::string& connectionString);
};

}  // namespace db
