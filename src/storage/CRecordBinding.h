#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "storage/db/Recordset.h"

// A row reader bound to fixed columns of a query: each class derived from it names its columns
// (type, text size) and carries the statement templates whose answers have those columns.
//
// A text longer than its column's size is cut to that many bytes (never inside a UTF-8
// character) and reads with status Truncated, which counts as a value: the caller gets the
// first part rather than nothing, and AnyTruncated tells it that something was cut.
class CRecordBinding {
public:
    enum class ColumnType { Integer, Double, Text };
    struct Column {
        int ordinal = 0;  // position in the answer, from 1
        ColumnType type = ColumnType::Integer;
        int precision = 0;
        int scale = 0;
        size_t size = 0;  // texts: the most bytes kept
    };
    using BindingTable = std::vector<Column>;

    virtual ~CRecordBinding() = default;
    // The bound columns in order.
    virtual const BindingTable& GetBindingTable() const = 0;

    // Reads the record set's current row into the bound columns. Columns past the end of the
    // answer read as CantConvert; columns the binding does not name are ignored.
    void Read(const db::Recordset& recordset);

    // Bound columns count from 1, like the ordinals.
    db::FieldStatus Status(size_t column) const;
    // A value is there (OK, or cut to its size).
    bool IsPresent(size_t column) const;
    int32_t Integer(size_t column) const;
    double Double(size_t column) const;
    const std::string& Text(size_t column) const;
    bool AnyTruncated() const;

    // The statement templates of the class, resolved once at start (placeholders zzzz, ssss,
    // xxxx) and then formatted per query.
    std::vector<std::string> templates;

protected:
    static Column IntegerColumn() { return Column{0, ColumnType::Integer, 10, 0, 0}; }
    static Column DoubleColumn(int precision, int scale) {
        return Column{0, ColumnType::Double, precision, scale, 0};
    }
    static Column TextColumn(size_t size) { return Column{0, ColumnType::Text, 0, 0, size}; }
    // Numbers the columns 1, 2, 3, ... in the order given.
    static BindingTable Numbered(std::vector<Column> columns);

private:
    struct Cell {
        db::FieldStatus status = db::FieldStatus::Null;
        int32_t integer = 0;
        double real = 0;
        std::string text;
    };
    const Cell* At(size_t column) const;

    std::vector<Cell> cells;
};
