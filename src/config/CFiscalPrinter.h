#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "config/CPrintLine.h"
#include "config/CPrinterControl.h"
#include "pos/ConnectionSettings.h"

class CFiscalCheck;
class CFiscalINI;
class CLogFile;

// The printer registry: the configured printers, printer lines and list mode (their one copy in
// the service), and for each check the printer that registers it (the first of its line, or on a
// retry the reserve printer).
class CFiscalPrinter {
public:
    // SelectPrintLine: no line for the key, and the default line that names no printer.
    static constexpr int kNoLine = -1;
    static constexpr int kDefaultWithoutPrinters = -2;

    CFiscalPrinter() = default;
    virtual ~CFiscalPrinter() = default;

    virtual bool Load(CFiscalINI& configuration);
    // The first line named exactly key with this kind; with allowDefault the first line whose
    // name holds "DEF" (kDefaultWithoutPrinters when it has no printer), else the first line.
    int SelectPrintLine(const std::string& key, bool allowDefault, int kind);
    // The index in lines of the check's line; kNoLine when it has none, kDefaultWithoutPrinters
    // for the default line that names no printer.
    int FindLine(CFiscalCheck& check);
    // Into an empty control the first printer of the check's line, into a filled one the next;
    // false when the line has no further printer.
    virtual bool ChoosePrinter(CFiscalCheck& check, CPrinterControl& printer);
    // The configured printer of exactly that name; null when the list has none.
    const CPrinterControl* FindPrinter(const std::string& name) const;

    void SetLog(CLogFile* logFile) { log = logFile; }
    const std::string& GetLastError() const { return lastError; }

    std::vector<CPrintLine> lines;
    std::vector<CPrinterControl> printers;
    ConnectionSettings managerSettings;
    int32_t listMode = 0;

protected:
    void Log(const std::string& text) const;
    int FindLineByPostingCodes(CFiscalCheck& check, std::string& code);
    int FindLineByPayments(const CFiscalCheck& check, const std::string& station, std::string& code);
    int FindLineByCheckKeys(const std::string& code, const std::string& station, const std::string& group,
                            const std::string& cashier);
    // Tries the keys in order (kind 0, no default); the first line found or kNoLine.
    int FirstLine(const std::vector<std::string>& keys);

    CLogFile* log = nullptr;
    std::string lastError;
};
