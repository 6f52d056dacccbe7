#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "config/CPrintLine.h"
#include "config/CPrinterControl.h"

class CXMLParser;

// The print lists of the configuration: which printers may register which checks. Reads the
// lists in their configuration forms, turns every entry into a printer line, validates lines
// and printers against each other and describes both for the log.
class CPrintLists {
public:
    // Print-list modes: the check attribute the lines are keyed by.
    enum Mode : int32_t { Station = 0, Cashier = 1, UserField = 3, StationView = 4, PosCode = 5, Room = 6 };

    // The forms are tried in order and the first one that yields entries fixes the mode (kind 0
    // lines); posting-code lines (kind 7) follow whatever the mode. Without any mode line the
    // mode is Station.
    static void Read(CXMLParser& xml, std::vector<CPrintLine>& lines, int32_t& mode);
    // A line named name from the comma-separated printer names of text. An empty text gives one
    // empty name (dropped by ValidateLines); empty pieces between commas are skipped, so a text
    // of commas only gives a line without printers.
    static CPrintLine MakeLine(const std::string& name, const std::string& text, int32_t kind);
    static bool ValidatePrinters(const std::vector<CPrinterControl>& printers, std::string& error);
    // Drops lines whose single printer name is empty; every other name must be a printer.
    static bool ValidateLines(std::vector<CPrintLine>& lines, const std::vector<CPrinterControl>& printers,
                              std::string& error);
    // The log lines of the printers and the lines.
    static std::vector<std::string> Describe(const std::vector<CPrinterControl>& printers,
                                             const std::vector<CPrintLine>& lines);
};
