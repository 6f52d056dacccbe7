#pragma once

#include <memory>
#include <string>

class CFiscalINI;
class CUnansweredSales;
class CFiscalPrinter;
class CFiscalStorage;
class CPrintInterface;
class CStatusTableReader;

// Makes the worker's collaborators: the configuration, the printer registry, the storage
// back-end for a storage kind and the device interface for a printer type. The service uses the
// real ones; tests hand the worker their own.
class CWorkerParts {
public:
    virtual ~CWorkerParts() = default;

    virtual std::unique_ptr<CFiscalINI> CreateConfiguration();
    virtual std::unique_ptr<CFiscalPrinter> CreatePrinterRegistry();
    // nullptr when this build has no back-end for the kind; reason then says why.
    virtual std::unique_ptr<CFiscalStorage> CreateStorage(int kind, std::string& reason);
    // nullptr when this build has no interface for the printer type; reason then says why.
    virtual std::unique_ptr<CPrintInterface> CreateInterface(int printerType, std::string& reason);
    // What the status command reads of the storage's status table; nullptr for a back-end that
    // has none it can read.
    virtual std::unique_ptr<CStatusTableReader> CreateStatusReader(CFiscalStorage& storage);

private:
    // What the Czech interfaces made here share (see CUnansweredSales).
    std::shared_ptr<CUnansweredSales> czechUnanswered;
};
