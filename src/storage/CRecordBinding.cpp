#include "storage/CRecordBinding.h"

#include <limits>

#include "platform/CodePage.h"

namespace {

// The length of the longest prefix of at most max bytes (max < text.size()) that does not end
// inside a UTF-8 character; texts that are not UTF-8 (single-byte code pages) are cut at max.
size_t CutPoint(const std::string& text, size_t max) {
    size_t cut = max;
    if (platform::IsUtf8(text)) {
        while (cut > 0 && (static_cast<unsigned char>(text[cut]) & 0xC0) == 0x80) {
            --cut;
        }
    }
    return cut;
}

}  // namespace

CRecordBinding::BindingTable CRecordBinding::Numbered(std::vector<Column> columns) {
    for (size_t i = 0; i < columns.size(); ++i) {
        columns[i].ordinal = static_cast<int>(i + 1);
    }
    return columns;
}

void CRecordBinding::Read(const db::Recordset& recordset) {
    const BindingTable& table = GetBindingTable();
    cells.assign(table.size(), Cell());
    for (size_t i = 0; i < table.size(); ++i) {
        const Column& column = table[i];
        Cell& cell = cells[i];
        size_t index = static_cast<size_t>(column.ordinal - 1);
        switch (column.type) {
            case ColumnType::Integer: {
                int64_t value = 0;
                cell.status = recordset.GetInteger(index, value);
                if (cell.status == db::FieldStatus::Ok) {
                    if (value < std::numeric_limits<int32_t>::min() ||
                        value > std::numeric_limits<int32_t>::max()) {
                        cell.status = db::FieldStatus::CantConvert;
                    } else {
                        cell.integer = static_cast<int32_t>(value);
                    }
                }
                break;
            }
            case ColumnType::Double:
                cell.status = recordset.GetDouble(index, cell.real);
                break;
            case ColumnType::Text:
                cell.status = recordset.GetText(index, cell.text);
                if (cell.status == db::FieldStatus::Ok && cell.text.size() > column.size) {
                    cell.text.resize(CutPoint(cell.text, column.size));
                    cell.status = db::FieldStatus::Truncated;
                }
                break;
        }
        if (cell.status != db::FieldStatus::Ok && cell.status != db::FieldStatus::Truncated) {
            cell.integer = 0;
            cell.real = 0;
            cell.text.clear();
        }
    }
}

const CRecordBinding::Cell* CRecordBinding::At(size_t column) const {
    return column >= 1 && column <= cells.size() ? &cells[column - 1] : nullptr;
}

db::FieldStatus CRecordBinding::Status(size_t column) const {
    const Cell* cell = At(column);
    return cell ? cell->status : db::FieldStatus::CantConvert;
}

bool CRecordBinding::IsPresent(size_t column) const {
    db::FieldStatus status = Status(column);
    return status == db::FieldStatus::Ok || status == db::FieldStatus::Truncated;
}

int32_t CRecordBinding::Integer(size_t column) const {
    const Cell* cell = At(column);
    return cell ? cell->integer : 0;
}

double CRecordBinding::Double(size_t column) const {
    const Cell* cell = At(column);
    return cell ? cell->real : 0;
}

const std::string& CRecordBinding::Text(size_t column) const {
    static const std::string empty;
    const Cell* cell = At(column);
    return cell ? cell->text : empty;
}

bool CRecordBinding::AnyTruncated() const {
    for (const Cell& cell : cells) {
        if (cell.status == db::FieldStatus::Truncated) {
            return true;
        }
    }
    return false;
}
