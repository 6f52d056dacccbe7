#pragma once

// Stand-ins for the storage's tests and tools: a configuration that answers from maps instead
// of a file, and COperaBase with the slots of a back-end left empty. Header only, so that it
// stays out of the core library.

#include <map>
#include <string>
#include <vector>

#include "config/CFiscalINI.h"
#include "storage/COperaBase.h"

namespace standins {

// A configuration that answers from maps.
class FakeConfiguration : public CFiscalINI {
public:
    std::string ReadParameter(const std::string& path) override {
        auto it = values.find(path);
        return it == values.end() ? "" : it->second;
    }
    int ReadVersion() override { return version; }
    void ReadIntMap(IntMap& map, const std::string& pattern, const std::string&) override {
        auto it = lists.find(pattern);
        map = it == lists.end() ? IntMap() : it->second;
    }
    void FillCheckTemplate(CFiscalCheck& check) override { check.appendRateCode = fullCheck; }
    int32_t ReadListMode() override { return listMode; }

    std::map<std::string, std::string> values;
    int32_t listMode = 0;
    std::map<std::string, IntMap> lists;
    int version = 0;
    bool fullCheck = true;
};

// COperaBase with the finder slots of a back-end left empty.
class Storage : public COperaBase {
public:
    void GetChecks(std::vector<CFiscalCheck>&) override {}
    bool BlockPayments(bool, const std::string&) override { return false; }
    void ExpandPosCheck(const std::string&, int, bool, CFiscalCheck&) override {}
    bool ConfirmRefund(CFiscalCheck&, int, double) override { return true; }
    bool ValidateCheck(CFiscalCheck&, const std::string&) override { return true; }
    bool IsPosRevenueCenter(int) override { return false; }
};

}  // namespace standins
