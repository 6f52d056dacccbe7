// The GTIN code file of a printer as an installer may write it.
#include "FuzzSupport.h"
#include "config/CPrinterControl.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    CPrinterControl printer;
    printer.AddGtinCodes(fuzz::Text(data, size));
    // Every code is a piece between commas, so there are never more codes than bytes.
    fuzz::Require(printer.gtinCodes.size() <= size, "one code per piece of text");
    for (size_t i = 0; i < printer.gtinCodes.size() && i < 100; ++i) {
        fuzz::Require(printer.HasGtin(printer.gtinCodes[i]), "every code read is found");
    }
    printer.GtinText();
    return 0;
}
