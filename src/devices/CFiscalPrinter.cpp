#include "devices/CFiscalPrinter.h"

#include "check/CFiscalCheck.h"
#include "config/CFiscalINI.h"

// Printer lines arrive with the device work; until then the registry serves the configured
// printers in order, the first one as the printer of every check and the next as its reserve.
bool CFiscalPrinter::Load(CFiscalINI& configuration) {
    std::vector<CPrintLine> lines;
    int32_t listMode = 0;
    if (!configuration.LoadPrinters(printers, lines, listMode)) {
        lastError = configuration.GetLastError();
        return false;
    }
    if (printers.empty()) {
        lastError = "Empty printer list!";
        return false;
    }
    return true;
}

bool CFiscalPrinter::ChoosePrinter(CFiscalCheck& check, CPrinterControl& printer) {
    (void)check;
    size_t next = printer.name.empty() ? 0 : static_cast<size_t>(printer.lineIndex + 1);
    if (next >= printers.size()) {
        return false;
    }
    printer = printers[next];
    printer.lineIndex = static_cast<int32_t>(next);
    return true;
}
