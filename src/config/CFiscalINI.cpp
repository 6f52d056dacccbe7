#include "config/CFiscalINI.h"

#include "check/CFiscalCheck.h"

// The reader of the configuration file arrives with the configuration work; until then loading
// fails with a clear reason and start-up stops there.
bool CFiscalINI::Load() {
    lastError = "VuvovaZododAVU.xml file FAILED to load\nthe configuration reader is not part of this build";
    return false;
}

std::string CFiscalINI::ReadParameter(const std::string& path) { return CXMLParser::ReadParameter(path); }

void CFiscalINI::FillCheckTemplate(CFiscalCheck& check) { (void)check; }

int CFiscalINI::ReadVersion() { return 6; }

bool CFiscalINI::LoadRules() { return true; }

bool CFiscalINI::ApplyRules(CFiscalCheck& check) {
    lastError.clear();
    ruleVerdict = 7;
    return check.Compose();
}

void CFiscalINI::ApplyPrinterRules(const std::string& printerName, CFiscalCheck& check) {
    (void)printerName;
    (void)check;
}

bool CFiscalINI::IsInterfaceCashier(const std::string& cashier) {
    (void)cashier;
    return false;
}

bool CFiscalINI::LoadPrinters(std::vector<CPrinterControl>& printerList, std::vector<CPrintLine>& printLines,
                              int32_t& mode) {
    printerList = printers;
    printLines = lines;
    mode = listMode;
    return true;
}
