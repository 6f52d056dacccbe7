// Oracle's date and number formats of the embedded PMS stand-in: to_char and to_date masks and
// the dates and numbers that the statements and the PMS rows give them.
#include <cmath>
#include <cstring>

#include "FuzzSupport.h"
#include "storage/db/OracleFormats.h"

namespace {

// A number from the first eight bytes (any double, NaN and infinities included), or from the text.
double NumberOf(const std::string& bytes) {
    double value = 0;
    if (bytes.size() == sizeof value) {
        std::memcpy(&value, bytes.data(), sizeof value);
        return value;
    }
    return std::strtod(bytes.c_str(), nullptr);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0) {
        return 0;
    }
    const std::vector<std::string> parts = fuzz::Parts(fuzz::Text(data + 1, size - 1), 2);
    const std::string& first = parts[0];
    const std::string& mask = parts[1];
    std::string out;
    std::string error;
    double value = 0;
    db::oracle::DateParts today;
    today.year = 2024;
    today.month = 2;
    today.day = 29;
    switch (data[0] % 6) {
        case 0:
            db::oracle::FormatDate(NumberOf(first), mask, out, error);
            break;
        case 1:
            if (db::oracle::ParseDate(first, mask, today, value, error)) {
                fuzz::Require(std::isfinite(value), "a date read is a finite day number");
            }
            break;
        case 2:
            if (db::oracle::ParseDefaultDate(first, value)) {
                fuzz::Require(std::isfinite(value), "a date read is a finite day number");
            }
            break;
        case 3:
            db::oracle::TruncDate(NumberOf(first), mask, value, error);
            break;
        case 4:
            db::oracle::FormatNumber(NumberOf(first), mask, out, error);
            break;
        default:
            db::oracle::NumberText(NumberOf(first));
            if (db::oracle::IsNumberMask(mask)) {
                db::oracle::FormatNumber(NumberOf(first), mask, out, error);
            }
            break;
    }
    return 0;
}
