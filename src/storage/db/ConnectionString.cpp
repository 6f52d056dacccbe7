#include "storage/db/ConnectionString.h"

#include <functional>

#include "platform/Text.h"

namespace db {

namespace {

bool IsPasswordKey(const std::string& key) { return key == "pwd" || key == "password"; }

bool IsUserKey(const std::string& key) { return key == "uid" || key == "user id" || key == "user"; }

// Where the value starting at start ends: at the ";" after it, reading a braced or quoted value
// as one (an unterminated one runs to the end).
size_t ValueEnd(const std::string& s, size_t start) {
    size_t i = start;
    while (i < s.size() && s[i] == ' ') {
        ++i;
    }
    if (i < s.size() && (s[i] == '{' || s[i] == '"' || s[i] == '\'')) {
        const char close = s[i] == '{' ? '}' : s[i];
        for (++i; i < s.size(); ++i) {
            if (s[i] == close) {
                if (i + 1 < s.size() && s[i + 1] == close) {
                    ++i;  // a doubled closing character stands for itself
                    continue;
                }
                break;
            }
        }
    }
    const size_t separator = s.find(';', i);
    return separator == std::string::npos ? s.size() : separator;
}

// The value without blanks around it and without its braces or quotes.
std::string Inner(const std::string& value) {
    const std::string v = text::Trim(value);
    if (v.size() >= 2 && ((v.front() == '{' && v.back() == '}') || (v.front() == '"' && v.back() == '"') ||
                          (v.front() == '\'' && v.back() == '\''))) {
        return v.substr(1, v.size() - 2);
    }
    return v;
}

// The password part of "user/password@database"; npos when there is none.
void UserPassword(const std::string& value, size_t& at, size_t& length) {
    at = value.find('/');
    if (at == std::string::npos) {
        return;
    }
    ++at;
    const size_t end = value.find('@', at);
    length = (end == std::string::npos ? value.size() : end) - at;
}

// Calls visit with each attribute's lower-case key and the bounds of its value.
void ForEachAttribute(const std::string& s, const std::function<void(const std::string&, size_t, size_t)>& visit) {
    size_t pos = 0;
    while (pos < s.size()) {
        const size_t eq = s.find('=', pos);
        const size_t semicolon = s.find(';', pos);
        if (eq == std::string::npos || (semicolon != std::string::npos && semicolon < eq)) {
            pos = semicolon == std::string::npos ? s.size() : semicolon + 1;  // no value here
            continue;
        }
        const size_t end = ValueEnd(s, eq + 1);
        visit(text::ToLower(text::Trim(s.substr(pos, eq - pos))), eq + 1, end);
        pos = end + 1;
    }
}

}  // namespace

std::string ConnectionString::WithoutPasswords(const std::string& connectionString) {
    std::string out;
    size_t copied = 0;
    ForEachAttribute(connectionString, [&](const std::string& key, size_t begin, size_t end) {
        const std::string value = connectionString.substr(begin, end - begin);
        size_t at = 0;
        size_t length = 0;
        if (IsPasswordKey(key)) {
            out += connectionString.substr(copied, begin - copied) + kHidden;
            copied = end;
        } else if (IsUserKey(key) && (UserPassword(value, at, length), at != std::string::npos)) {
            out += connectionString.substr(copied, begin + at - copied) + kHidden;
            copied = begin + at + length;
        }
    });
    return out + connectionString.substr(copied);
}

std::vector<std::string> ConnectionString::Passwords(const std::string& connectionString) {
    std::vector<std::string> passwords;
    ForEachAttribute(connectionString, [&](const std::string& key, size_t begin, size_t end) {
        const std::string value = connectionString.substr(begin, end - begin);
        size_t at = 0;
        size_t length = 0;
        if (IsPasswordKey(key)) {
            passwords.push_back(text::Trim(value));
            passwords.push_back(Inner(value));
        } else if (IsUserKey(key) && (UserPassword(value, at, length), at != std::string::npos)) {
            passwords.push_back(value.substr(at, length));
        }
    });
    return passwords;
}

std::string ConnectionString::HidePasswords(const std::string& textValue, const std::string& connectionString) {
    std::string out = textValue;
    for (const std::string& password : Passwords(connectionString)) {
        if (!password.empty()) {
            out = text::ReplaceAll(out, password, kHidden);
        }
    }
    return out;
}

}  // namespace db
