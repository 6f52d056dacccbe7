#include "storage/db/Recordset.h"

#include <charconv>
#include <cmath>
#include <limits>

#include "platform/Text.h"

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

void Recordset::Close() {
    Reset({});
}

const Value& Recordset::Get(size_t column) const {
    static const Value none;
    if (IsEOF() || column >= rows[position].size()) {
        return none;
    }
    return rows[position][column];
}

bool Recordset::Current(size_t column, const Value*& value, FieldStatus& status) const {
    if (IsEOF() || column >= columns.size()) {
        status = FieldStatus::CantConvert;
        return false;
    }
    value = &Get(column);
    if (value->type == Value::Type::Null) {
        status = FieldStatus::Null;
        return false;
    }
    return true;
}

FieldStatus Recordset::GetText(size_t column, std::string& out) const {
    const Value* v = nullptr;
    FieldStatus status = FieldStatus::Ok;
    if (!Current(column, v, status)) {
        return status;
    }
    out = v->type == Value::Type::Integer ? std::to_string(v->integer)
          : v->type == Value::Type::Real  ? NumberText(v->real)
                                          : v->text;
    return FieldStatus::Ok;
}

FieldStatus Recordset::GetInteger(size_t column, int64_t& out) const {
    const Value* v = nullptr;
    FieldStatus status = FieldStatus::Ok;
    if (!Current(column, v, status)) {
        return status;
    }
    double d = v->real;
    switch (v->type) {
        case Value::Type::Integer:
            out = v->integer;
            return FieldStatus::Ok;
        case Value::Type::Text:
            if (ParseInteger(v->text, out)) {
                return FieldStatus::Ok;
            }
            if (!ParseDouble(v->text, d)) {
                return FieldStatus::CantConvert;
            }
            break;
        default:
            break;
    }
    // A number with decimals read as an integer is rounded, as the database client does.
    if (!std::isfinite(d) || std::fabs(d) > 9.2e18) {
        return FieldStatus::CantConvert;
    }
    out = std::llround(d);
    return FieldStatus::Ok;
}

FieldStatus Recordset::GetDouble(size_t column, double& out) const {
    const Value* v = nullptr;
    FieldStatus status = FieldStatus::Ok;
    if (!Current(column, v, status)) {
        return status;
    }
    switch (v->type) {
        case Value::Type::Integer:
            out = static_cast<double>(v->integer);
            return FieldStatus::Ok;
        case Value::Type::Real:
            // An infinite value (SQLite keeps one) is no amount.
            if (!std::isfinite(v->real)) {
                return FieldStatus::CantConvert;
            }
            out = v->real;
            return FieldStatus::Ok;
        default:
            return ParseDouble(v->text, out) ? FieldStatus::Ok : FieldStatus::CantConvert;
    }
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
    // Plain decimals only: from_chars would also take "nan", "inf" and "infinity".
    if (s.empty() || text::DecimalPrefix(std::string(s)) != s.size()) {
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
    if (result.ec != std::errc() || result.ptr != s.data() + s.size() || !std::isfinite(d)) {
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
