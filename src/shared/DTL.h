#pragma once

#include <cstdint>
#include <string>

#include "shared/JsonHelper.h"

// One detail line of a POS check as the check-database server sends it. The service reads these
// lines in place from the client library's result record, so the field order is fixed.
class DTL : public JsonHelper {
public:
    char type = 0;  // 'M' menu item, 'D' discount, 'S' service charge, 'T' tender
    uint32_t objnum = 0;
    std::string name;
    std::string name2;
    int32_t qty = 0;
    double qtf = 0;
    std::string ttl;        // the line total as the server wrote it
    double ttlValue = 0;    // the same total as a number
    int32_t tax = 0;
    int32_t mgnum = 0;
    std::string mgname;
    int32_t fgnum = 0;
    std::string fgname;
    int32_t taxpm = 0;      // read only, never written
    int32_t taxps = 0;      // read only, never written
    std::string qtyname;    // read only, never written
    int32_t agenttype = 0;  // 0: no agent
    std::string supplname;
    std::string supplinn;
    std::string supplphone;
    std::string excisemark;

    DTL() = default;
    explicit DTL(const std::string& json) { FromJson(json); }

    // Fills the line from one JSON object; a zero qtf takes qty.
    void FromJson(const std::string& json);
    char* ToJson(char* buffer, size_t size) override;
};
