#include "log/CCheckLogger.h"

#include "check/CFiscalCheck.h"
#include "devices/CPrinterControl.h"

// The journal files arrive with the configuration work; until then a journal entry is a no-op.
bool CCheckLogger::JournalCheck(const CPrinterControl& printer, CFiscalCheck& check) {
    (void)printer;
    (void)check;
    return true;
}

bool CCheckLogger::SaveDescription(const CPrinterControl& printer, CFiscalCheck& check) {
    (void)printer;
    (void)check;
    return true;
}

bool CCheckLogger::SaveCheckFile(const std::string& name, const std::string& content, const CPrinterControl& printer,
                                 CFiscalCheck& check) {
    (void)name;
    (void)content;
    (void)printer;
    (void)check;
    return true;
}
