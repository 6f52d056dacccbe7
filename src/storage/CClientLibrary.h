#pragma once

#include <string>
#include <vector>

#include "check/struct_posting.h"
#include "platform/DynamicLibrary.h"
#include "shared/GetCheckResult.h"

class CLogFile;
class DTL;

// The check-database client library as the PMS back-ends use it: bound once at start-up, then
// asked for one POS check at a time, whose detail lines become posting lines.
//
// Worker thread only: the library serves one caller, one call at a time. Nothing thrown by the
// library leaves FetchPosCheck.
class CClientLibrary {
public:
    static constexpr const char* kName = "LGXClient";
    static constexpr const char* kExport = "GetCheck";
    // A line amount beyond this is no restaurant's: the check is refused rather than printed.
    static constexpr double kAmountLimit = 1e9;
    static constexpr double kQuantityLimit = 1e6;

    CClientLibrary();
    CClientLibrary(const CClientLibrary&) = delete;
    CClientLibrary& operator=(const CClientLibrary&) = delete;

    void SetLog(CLogFile* logFile) { log = logFile; }
    // Where the library is looked for first (the program folder unless set; with a "/" at the end).
    void SetFolder(const std::string& libraryFolder) { folder = libraryFolder; }
    // Binds a GetCheck of the caller's instead of the library's (tests).
    void Bind(GetCheckFunction function) { getCheck = function; }

    // Loads the library (next to the program, else from the loader's search path) and binds
    // GetCheck, once; the library stays loaded until the process ends. False with
    // "Can't load libLGXClient.so" or "Error load GetCheck" as the last error.
    bool Load();
    bool IsBound() const { return getCheck != nullptr; }
    const std::string& GetLastError() const { return lastError; }

    // Asks for the POS check of the revenue centre and check number (decimal texts) opened at
    // openTime ("MM/DD/YY HH:MM:SS") and appends its item, discount and service-charge lines;
    // tenders are not taken. False, with nothing appended and the reason in the log, when the
    // server has no usable check.
    bool FetchPosCheck(const std::string& cknum, const std::string& openTime, const std::string& rvc,
                       std::vector<struct_posting>& lines);

    // "MM/DD/YY HH:MM:SS" of a "YYYYMMDDhhmmss" text.
    static std::string OpeningTime(const std::string& stamp);
    // The posting line of a detail line; false when its amount or quantity cannot be printed.
    static bool MakeLine(const DTL& detail, struct_posting& line);
    // The quantity of a detail line, never negative.
    static double Quantity(const DTL& detail);
    // A detail line's name as a device text: the device's item record is cut at "|" and line
    // feeds, so those and the other control characters become blanks.
    static std::string DeviceText(const std::string& name);

private:
    void WriteLog(const std::string& text) const;
    bool ReadResult(const GetCheckResult& result, std::vector<struct_posting>& lines);

    CLogFile* log = nullptr;
    std::string folder;
    std::string lastError;
    platform::DynamicLibrary library;
    GetCheckFunction getCheck = nullptr;
};
