#pragma once

#include <string>

class CFiscalCheck;
class CLogFile;
class CPrinterControl;

// The check journal on disk: one folder per printer station, one line per registered check.
class CCheckLogger {
public:
    void SetBaseFolder(const std::string& folder) { baseFolder = folder; }
    const std::string& GetBaseFolder() const { return baseFolder; }
    void SetLog(CLogFile* logFile) { log = logFile; }
    bool JournalCheck(const CPrinterControl& printer, CFiscalCheck& check);
    // Keeps the check's description as a text file so that an operator can close it by hand.
    bool SaveDescription(const CPrinterControl& printer, CFiscalCheck& check);
    // Keeps a check file of the printer-manager interface (name + ".ck6") in the station folder.
    bool SaveCheckFile(const std::string& name, const std::string& content, const CPrinterControl& printer,
                       CFiscalCheck& check);

private:
    std::string baseFolder;
    CLogFile* log = nullptr;
};
