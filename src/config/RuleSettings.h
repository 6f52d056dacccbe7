#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "config/CRuleLists.h"

// What the payment and posting rules read of the configuration: the rule lists, the few settings
// they decide by, and the log they write their decisions to. The configuration (CFiscalINI) is
// one; the rules know nothing else of it.
class RuleSettings {
public:
    virtual void WriteLog(const std::string& text) const = 0;

    // 3 Ukraine, 7 printer manager, 8 Armenia, 9 Mongolian, 10 Czech, 11 full checks on the
    // printer manager, 13 printer manager with GTIN codes.
    int32_t printerType = 7;
    bool refundsPrinted = true;
    bool minibarArticles = false;
    std::string paymentCurrency;
    std::string baseCurrency;
    std::vector<std::string> hotelBillCodes;
    std::vector<std::string> hotelInvoiceCodes;
    // The keyed payment and tax rule lists.
    CRuleLists rules;
    // Adjustment code (as "%d") to the transaction code it adjusts; filled by the Opera back-end.
    std::map<std::string, int32_t> adjustmentCodes;

protected:
    ~RuleSettings() = default;
};
