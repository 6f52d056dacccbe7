#include "storage/db/Recordset.h"

#include <charconv>
#include <cmath>
#include <limits>

namespace db {

Value Value::Of(int64_t v) {
    Value value;
    value.type = Type::Integer;
    value.integer = v;
    return value;
}

Value Value::Of(double v) {
    Value value;
    value.type = Type::Real;
    value.real = v;
    return value;
}

Value Value::Of(std::string v) {
    Value value;
    value.type = Type::Text;
    value.text = std::move(v);
    return value;
}

void Recordset::Reset(std::vector<std::string> columnNames) {
    columns = std::move(columnNames);
    rows.clear();
    position = 0;
}

void Recordset::Close() { Reset({}); }

const Value& Recordset::Get(size_t column) const {
    static const Value none;
    if (IsEOF() || column >= rows[position].size()) {
        return none;
    }
    return rows[position][column];
}

FieldStatus Recordset::GetText(size_t column, std::string& value) const {
    if (IsEOF() || column >= columns.size()) {
        return FieldStatus::CantConvert;
    }
    const Value& v = Get(column);
    switch (v.type) {
        case Value::Type::Null:
            return FieldStatus::Null;
        case Value::Type::Integer:
            value = std::to_string(v.integer);
            return FieldStatus::Ok;
        case Value::Type::Real:
            value = NumberText(v.real);
            return FieldStatus::Ok;
        case Value::Type::Text:
            value = v.text;
            return FieldStatus::Ok;
    }
    return FieldStatus::CantConvert;
}

FieldStatus Recordset::GetInteger(size_t column, int64_t& value) const {
    if (IsEOF() || column >= columns.size()) {
        return FieldStatus::CantConvert;
    }
    const Value& v = Get(column);
    switch (v.type) {
        case Value::Type::Null:
            return FieldStatus::Null;
        case Value::Type::Integer:
            value = v.integer;
            return FieldStatus::Ok;
        case Value::Type::Real:
            // A number column read as an integer is rounded, as the database client does.
            if (!std::isfinite(v.real) || std::fabs(v.real) > 9.2e18) {
                return FieldStatus::CantConvert;
            }
            value = std::llround(v.real);
            return FieldStatus::Ok;
        case Value::Type::Text: {
            if (ParseInteger(v.text, value)) {
                return FieldStatus::Ok;
            }
            double d = 0;
            if (ParseDouble(v.text, d) && std::fabs(d) < 9.2e18) {
                value = std::llround(d);
                return FieldStatus::Ok;
            }
            return FieldStatus::CantConvert;
        }
    }
    return FieldStatus::CantConvert;
}

FieldStatus Recordset::GetDouble(size_t column, double& value) const {
    if (IsEOF() || column >= columns.size()) {
        return FieldStatus::CantConvert;
    }
    const Value& v = Get(column);
    switch (v.type) {
        case Value::Type::Null:
            return FieldStatus::Null;
        case Value::Type::Integer:
            value = static_cast<double>(v.integer);
            return FieldStatus::Ok;
        case Value::Type::Real:
            value = v.real;
            return FieldStatus::Ok;
        case Value::Type::Text:
            return ParseDouble(v.text, value) ? FieldStatus::Ok : FieldStatus::CantConvert;
    }
    return FieldStatus::CantConvert;
}

std::string Recordset::NumberText(double value) {
    if (std::isfinite(value) && value == std::trunc(value) && std::fabs(value) < 1e18) {
        return std::to_string(static_cast<long long>(value));
    }
    char buffer[64];
    auto result = std::to_chars(buffer, buffer + sizeof buffer, value);
    return std::string(buffer, result.ptr);
}

namespace {

// The part of a text between leading and trailing blanks.
std::string_view Inner(const std::string& text) {
    size_t b = 0;
    size_t e = text.size();
    while (b < e && (text[b] == ' ' || text[b] == '\t')) {
        ++b;
    }
    while (e > b && (text[e - 1] == ' ' || text[e - 1] == '\t')) {
        --e;
    }
    return std::string_view(text).substr(b, e - b);
}

}  // namespace

bool Recordset::ParseDouble(const std::string& text, double& value) {
    std::string_view s = Inner(text);
    if (!s.empty() && s.front() == '+') {
        s.remove_prefix(1);
    }
    if (s.empty()) {
        return false;
    }
    // from_chars does not take ".5", which is how Oracle writes numbers below one.
    std::string padded;
    if (s.front() == '.' || (s.size() > 1 && s[0] == '-' && s[1] == '.')) {
        padded = std::string(s);
        padded.insert(padded.front() == '-' ? 1 : 0, "0");
        s = padded;
    }
    double d = 0;
    auto result = std::from_chars(s.data(), s.data() + s.size(), d);
    if (result.ec != std::errc() || result.ptr != s.data() + s.size()) {
        return false;
    }
    value = d;
    return true;
}

bool Recordset::ParseInteger(const std::string& text, int64_t& value) {
    std::string_view s = Inner(text);
    if (!s.empty() && s.front() == '+') {
        s.remove_prefix(1);
    }
    if (s.empty()) {
        return false;
    }
    int64_t v = 0;
    auto result = std::from_chars(s.data(), s.data() + s.size(), v);
    if (result.ec != std::errc() || result.ptr != s.data() + s.size()) {
        return false;
    }
    value = v;
    return true;
}

}  // namespace db
