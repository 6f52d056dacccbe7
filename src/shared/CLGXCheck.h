#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "shared/DTL.h"
#include "shared/TAX.h"

// One POS check from the check-database server. It travels back to the service inside the
// client library's result record and the service reads dtl in place, so the field order and the
// text and array types are one definition for both.
class CLGXCheck : public JsonHelper {
public:
    int32_t uws = 0;
    int32_t rvc = 0;
    int32_t cknum = 0;
    std::string open_time;
    std::string close_time;
    std::string total;       // as sent
    double totalValue = 0;   // the same total as a number
    int32_t tremp = 0;
    std::string tremp_lname;
    std::string tremp_fname;
    int32_t cashier = 0;
    std::string waiter;
    int32_t tbl = 0;
    int32_t grp = 0;
    int32_t gst = 0;
    bool trans_void = false;
    bool adj_check = false;
    std::vector<DTL> dtl;  // in the order received
    std::vector<TAX> tax;

    static constexpr size_t kMaxDtl = 1000;
    static constexpr size_t kMaxTax = 20;

    CLGXCheck() = default;
    explicit CLGXCheck(const std::string& json) { FromJson(json); }

    // Reads an object into this record, adding to what it holds (the arrays grow), so a caller
    // that wants a fresh check clears it first.
    void FromJson(const std::string& json);
    void Clear();
    char* ToJson(char* buffer, size_t size) override;
};
