#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace db {

// One cell of a result as the driver delivered it.
struct Value {
    enum class Type { Null, Integer, Real, Text };
    Type type = Type::Null;
    int64_t integer = 0;
    double real = 0;
    std::string text;

    static Value Null() { return Value(); }
    static Value Of(int64_t v);
    static Value Of(double v);
    static Value Of(std::string v);
};

// What reading a column gave: a value, no value (NULL), or a value that cannot be read as the
// type asked for (a text that is no number, a column past the end of the row).
enum class FieldStatus { Ok, Null, CantConvert, Truncated };

// The rows of one query, read completely when the query runs (like a static cursor): the rows do
// not change while the caller walks them, whatever it writes meanwhile. Columns count from 0.
class Recordset {
public:
    void Reset(std::vector<std::string> columnNames);
    void AddRow(std::vector<Value> row) { rows.push_back(std::move(row)); }

    bool IsEOF() const { return position >= rows.size(); }
    void MoveNext() {
        if (position < rows.size()) {
            ++position;
        }
    }
    void MoveFirst() { position = 0; }
    size_t RowCount() const { return rows.size(); }
    size_t ColumnCount() const { return columns.size(); }
    const std::string& ColumnName(size_t column) const { return columns.at(column); }
    void Close();

    // The current row's column as the driver gave it; a Null value past the end.
    const Value& Get(size_t column) const;
    FieldStatus GetText(size_t column, std::string& value) const;
    FieldStatus GetInteger(size_t column, int64_t& value) const;
    FieldStatus GetDouble(size_t column, double& value) const;

    // Text form of a number: integers without decimals, other values in their shortest exact
    // form; always with "." whatever the locale.
    static std::string NumberText(double value);
    // Reads a whole text as a number ("." as decimal point, blanks around allowed).
    static bool ParseDouble(const std::string& text, double& value);
    static bool ParseInteger(const std::string& text, int64_t& value);

private:
    // The current row's value of a column; false with the status that stands for a missing one.
    bool Current(size_t column, const Value*& value, FieldStatus& status) const;

    std::vector<std::string> columns;
    std::vector<std::vector<Value>> rows;
    size_t position = 0;
};

}  // namespace db
