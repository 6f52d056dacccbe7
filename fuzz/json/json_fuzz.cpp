// The JSON reader of the client library and the check record it fills: a reply body as the
// check-database server sends it, the configuration file and the discovery status.
#include <cmath>
#include <cstring>
#include <memory>

#include "FuzzSupport.h"
#include "client_library/Config.h"
#include "client_library/NetStatus.h"
#include "shared/CLGXCheck.h"
#include "tests/support/shared/UnescapeByReplacing.h"

namespace {

void RequireFinite(double value) { fuzz::Require(std::isfinite(value), "a number read from JSON is finite"); }

// The writer stays inside a buffer of exactly size bytes (the sanitizer sees every byte past it).
void WriteInto(JsonHelper& record, size_t size) {
    std::unique_ptr<char[]> buffer(new char[size]);
    char* written = record.ToJson(buffer.get(), size);
    fuzz::Require(written == buffer.get(), "ToJson returns the buffer");
    if (size > 0) {
        fuzz::Require(std::memchr(buffer.get(), '\0', size) != nullptr, "ToJson ends its text inside the buffer");
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string input = fuzz::Text(data, size);

    CLGXCheck check(input);
    RequireFinite(check.totalValue);
    fuzz::Require(check.tax.size() <= CLGXCheck::kMaxTax * JsonHelper::kMaxMembers, "tax lines are capped");
    for (const DTL& line : check.dtl) {
        RequireFinite(line.qtf);
        RequireFinite(line.ttlValue);
    }
    for (const TAX& line : check.tax) {
        RequireFinite(line.rate);
    }
    WriteInto(check, 1024);
    WriteInto(check, size % 64);

    NetStatus status(input);
    WriteInto(status, NetStatus::kJsonSize);
    Config config(input);

    if (size <= 4096) {
        fuzz::Require(JsonHelper::JsonUnescape(input) == json_testing::UnescapeByReplacing(input),
                      "one-pass unescaping equals the replacements in order");
    }
    return 0;
}
