#pragma once

#include <cstdint>
#include <string>

#include "shared/JsonHelper.h"

// One tax line of a POS check. Part of the record shared with the service; the field order is
// fixed.
class TAX : public JsonHelper {
public:
    char type = 0;  // 'A' or 'I' are the kinds the check dump writes
    int32_t taxnum = 0;
    std::string name;
    double rate = 0;
    std::string ttl;   // tax amount as text
    std::string txbl;  // taxable amount as text

    TAX() = default;
    explicit TAX(const std::string& json) { FromJson(json); }

    void FromJson(const std::string& json);
    char* ToJson(char* buffer, size_t size) override;
};
