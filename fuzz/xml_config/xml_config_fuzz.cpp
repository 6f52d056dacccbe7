// VuvovaZododAVU.xml as an installer may leave it: the XML reader and everything the service
// reads from it at start (storage version, rules and lists, printers and printer lines).
#include <vector>

#include "FuzzSupport.h"
#include "config/CFiscalINI.h"
#include "config/CPrintLine.h"
#include "config/CPrinterControl.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    CFiscalINI configuration;
    configuration.SetFileName("VuvovaZododAVU.xml");
    if (!configuration.LoadBuffer(fuzz::Text(data, size))) {
        fuzz::Require(!configuration.GetLastError().empty(), "a file that does not load says why");
        return 0;
    }
    configuration.ReadVersion();
    configuration.LoadRules();
    std::vector<CPrinterControl> printers;
    std::vector<CPrintLine> lines;
    int32_t listMode = 0;
    configuration.LoadPrinters(printers, lines, listMode);
    configuration.ReadWideParameter("//fidelio_ini/deposit/description");
    return 0;
}
