#pragma once

#include <cstdio>
#include <string>

class CFiscalCheck;
class CLogFile;
class CPrinterControl;

// The check journal on disk, one station folder "ST_<printer>" per printer: the daily journal
// "fisc_today.log" with one line per registered check, text descriptions of checks that must be
// closed by hand, and the check files of the printer-manager interface. Every call opens and
// closes its file; every failure is written to the log and returns false.
class CCheckLogger {
public:
    static constexpr const char* kJournalName = "fisc_today.log";

    // The base folder starts as the program folder (the worker sets it again to the same).
    CCheckLogger();
    virtual ~CCheckLogger() = default;

    void SetBaseFolder(const std::string& folder) { baseFolder = folder; }
    const std::string& GetBaseFolder() const { return baseFolder; }
    void SetLog(CLogFile* logFile) { log = logFile; }
    const std::string& GetLastError() const { return errorText; }

    // One journal line for a registered check; the first registration of a new day renames the
    // previous day's journal after the date of its first line.
    bool JournalCheck(const CPrinterControl& printer, CFiscalCheck& check);
    // Keeps the check's description as a text file so that an operator can close it by hand.
    bool SaveDescription(const CPrinterControl& printer, CFiscalCheck& check);
    // Writes name + ".ck6" with the content into the station folder.
    bool SaveCheckFile(const std::string& name, const std::string& content, const CPrinterControl& printer,
                       CFiscalCheck& check);
    // The printer's station folder with a trailing "/", created when missing; empty on failure.
    std::string StationFolder(const CPrinterControl& printer);
    // The same folder (without the "/"), neither created nor checked.
    std::string StationPath(const CPrinterControl& printer) const;
    // The date the printer's journal was started ("%d-%m-%Y") and its last entry; false when the
    // journal holds no entry (or cannot be read).
    bool LastEntry(const CPrinterControl& printer, std::string& date, std::string& entry) const;

    // "Check <number> saved.", or "Check of transaction <trx_no> saved." for a check without a
    // number.
    static std::string SavedLine(const CFiscalCheck& check);

private:
    FILE* OpenFile(const std::string& path, const char* mode);
    // Renames the previous day's journal; false (logged) when it cannot.
    bool RenameJournal(const std::string& folder, const std::string& firstLine);
    void Write(const std::string& text);
    void Fail(const std::string& name, int error);

    std::string errorText;
    std::string baseFolder;
    CLogFile* log = nullptr;
};
