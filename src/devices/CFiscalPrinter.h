#pragma once

#include <string>
#include <vector>

#include "devices/CPrinterControl.h"

class CFiscalCheck;
class CFiscalINI;
class CLogFile;

// The printer registry: the configured printers and printer lines, and for each check the
// printer that registers it (the first of its line, or on a retry the reserve printer).
class CFiscalPrinter {
public:
    CFiscalPrinter() = default;
    virtual ~CFiscalPrinter() = default;

    virtual bool Load(CFiscalINI& configuration);
    // Into an empty control the first printer of the check's line, into a filled one the next.
    virtual bool ChoosePrinter(CFiscalCheck& check, CPrinterControl& printer);

    void SetLog(CLogFile* logFile) { log = logFile; }
    const std::string& GetLastError() const { return lastError; }

    std::vector<CPrinterControl> printers;

protected:
    CLogFile* log = nullptr;
    std::string lastError;
};
