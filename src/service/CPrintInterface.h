#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "check/CFiscalCheck.h"
#include "devices/CPrinterControl.h"
#include "log/CCheckLogger.h"
#include "pos/CSockets.h"

class CFiscalINI;
class CLogFile;

// A fiscal device interface: registers a check on the device of one printer. The state and
// behaviour below are shared by every kind of device.
class CPrintInterface {
public:
    virtual ~CPrintInterface() = default;

    // false: register the check; true: only save its description for a manual close.
    virtual bool PrintCheck(CFiscalCheck& check, bool saveDescriptionOnly) = 0;
    virtual bool PrintSlip(CPrinterControl& printer) = 0;
    virtual bool ShowMessage(CPrinterControl& printer, const std::string& message) = 0;

    // Shared settings, the log, and the device connection. Virtual so that each kind of device
    // (and a test double) can add to them.
    virtual bool Configure(CFiscalINI& configuration);
    virtual void SetLog(CLogFile* logFile);
    virtual bool Connect(const CPrinterControl& printer);
    virtual void Disconnect();
    virtual bool EnsureConnection();

    void Log(const std::string& text) const;
    void LogRaw(const std::string& bytes, int length, int direction) const;
    void LogList(const std::vector<std::string>& lines) const;
    const std::string& GetLastError() const { return lastError; }

    CPrinterControl control;
    CSockets channel;
    CFiscalCheck check;
    std::string printerId;
    std::string shiftNumber;
    int32_t printerKind = 99;
    CLogFile* log = nullptr;
    int32_t answerTimeout = 7000;
    std::string lastError;
    int32_t decimals = 2;
    // Labels printed before check attributes.
    std::string account, room, cashierName, reservation, cashier, company, guest, tin, vat, roomNumber;
    bool printCopy = false;
    bool cashDrawer = false;
    bool includeRoomRate = false;
    bool blockOnFailure = false;
    bool checkRefund = false;
    bool saveShiftNumber = false;
    int32_t interfaceCashier = 0;
    CCheckLogger checkLogger;
};
