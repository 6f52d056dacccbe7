#include "service/CWorkerParts.h"

#include "config/CFiscalINI.h"
#include "config/CFiscalPrinter.h"
#include "devices/CCzechInterface.h"
#include "devices/CMAPIInterface.h"
#include "devices/CNewInterface.h"
#include "devices/CPrintInterface.h"
#include "platform/Text.h"
#include "storage/CDovozEderarezev.h"
#include "storage/CF8Monitoring.h"
#include "storage/CFiscalStorage.h"
#include "storage/COperaBase.h"
#include "storage/CStatusTableReader.h"

std::unique_ptr<CFiscalINI> CWorkerParts::CreateConfiguration() {
    return std::make_unique<CFiscalINI>();
}

std::unique_ptr<CFiscalPrinter> CWorkerParts::CreatePrinterRegistry() {
    return std::make_unique<CFiscalPrinter>();
}

std::unique_ptr<CFiscalStorage> CWorkerParts::CreateStorage(int kind, std::string& reason) {
    switch (kind) {
        case 0:
        case 1:
            return std::make_unique<CDovozEderarezev>();
        case 2:
            return std::make_unique<CF8Monitoring>();
        default:
            reason = text::Format(
                "Unknown storage version %d: //fidelio_ini/version must be OPERA, OPERA4, OPERA5 or FIDELIO8",
                kind);
            return nullptr;
    }
}

std::unique_ptr<CPrintInterface> CWorkerParts::CreateInterface(int printerType, std::string& reason) {
    switch (printerType) {
        case 9:
            return std::make_unique<CMAPIInterface>();
        case 10: {
            if (!czechUnanswered) {
                czechUnanswered = std::make_shared<CUnansweredSales>();
            }
            auto czech = std::make_unique<CCzechInterface>();
            czech->ShareUnanswered(czechUnanswered);
            return czech;
        }
        default:
            return std::make_unique<CNewInterface>();
    }
}

std::unique_ptr<CStatusTableReader> CWorkerParts::CreateStatusReader(CFiscalStorage& storage) {
    // Every back-end made here is of the Opera family, Suite8 included; a stand-in of a test may not be.
    if (auto* opera = dynamic_cast<COperaBase*>(&storage)) {
        return std::make_unique<CStatusTableReader>(*opera);
    }
    return nullptr;
}
