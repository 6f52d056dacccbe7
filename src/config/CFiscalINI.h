#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "config/CPrintLine.h"
#include "config/CXMLParser.h"
#include "devices/CPrinterControl.h"

class CFiscalCheck;
class CLogFile;

// The model of the configuration file VuvovaZododAVU.xml. The operations the worker calls are
// virtual so that a test can stand in for the file.
class CFiscalINI : public CXMLParser {
public:
    CFiscalINI() = default;
    virtual ~CFiscalINI() = default;

    virtual bool Load();
    // Text of the first element the XPath selects; empty when there is none.
    std::string ReadParameter(const std::string& path) override;
    // 0 or 1 Opera, 2 Suite8, 3 and above no storage.
    virtual int ReadVersion();
    virtual bool LoadRules();
    virtual bool ApplyRules(CFiscalCheck& check);
    virtual void ApplyPrinterRules(const std::string& printerName, CFiscalCheck& check);
    virtual bool IsInterfaceCashier(const std::string& cashier);
    // The printers and printer lines of the print lists, validated; listMode is the print-list
    // mode (0 station, 1 cashier, 3 user-defined field, 4 station with folio window, 5 POS
    // identifier or code, 6 room).
    // Fills a storage back-end's template check from the configuration.
    virtual void FillCheckTemplate(CFiscalCheck& check);
    virtual bool LoadPrinters(std::vector<CPrinterControl>& printerList, std::vector<CPrintLine>& lines,
                              int32_t& listMode);

    void SetLog(CLogFile* logFile) { log = logFile; }
    CLogFile* GetLog() const { return log; }

    // 9 Mongolian, 10 Czech, every other value the printer manager.
    int32_t printerType = 7;
    std::vector<CPrinterControl> printers;
    std::vector<CPrintLine> lines;
    int32_t listMode = 0;
    int32_t ruleVerdict = 7;
    int32_t waitAnswer = 0;
    int32_t waitNextCheck = 5000;
    int32_t baseMonitoring = 5000;
};
