#pragma once

#include <string>
#include <vector>

#include "check/CFiscalCheck.h"

// A POS (restaurant) check built from the POS postings of a hotel check.
class CMicrosCheck : public CFiscalCheck {
public:
    CMicrosCheck() = default;
    explicit CMicrosCheck(const CFiscalCheck& source) : CFiscalCheck(source) {}

    bool PrepareCheck();
    std::vector<std::string> DumpText(const std::string& title);
};
