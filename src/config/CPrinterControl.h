#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "pos/ConnectionSettings.h"

// One configured printer as a value: its name, its device connection, the texts of its
// configuration entry, header and slip texts, GTIN codes, and its place in the chosen line.
class CPrinterControl {
public:
    CPrinterControl() = default;
    CPrinterControl(const CPrinterControl&) = default;
    CPrinterControl& operator=(const CPrinterControl&) = default;
    virtual ~CPrinterControl() = default;

    // "host : port", empty when no host is set (no printer chosen).
    std::string ConnectionText() const;
    void SetMessagePort(const std::string& host, const std::string& port);
    // Side files longer than these are not read (the reason goes to lastError): a header is a
    // few printed lines, a GTIN file some thousand codes, and both are written into the log.
    static constexpr size_t kMaxHeaderFileBytes = 64 * 1024;
    static constexpr size_t kMaxGtinFileBytes = 64 * 1024;

    // Appends the lines of the header file; false ("Can't open file %s", "Header file %s is
    // empty") leaves the reason in lastError.
    bool ReadHeaderFile(const std::string& path, const std::string& font);
    // Appends the comma-separated product codes of the file; a missing file adds nothing.
    void ReadGtinFile(const std::string& path);
    // The same for the file's content.
    void AddGtinCodes(const std::string& content);
    bool HasGtin(int32_t code) const;
    std::string GtinText() const;
    // Clears the printer but keeps the header, slip and GTIN lists.
    void Reset();

    std::string name;
    ConnectionSettings deviceSettings;
    // Further attributes of the printer's configuration entry.
    std::string userName;
    std::string passAdmin;
    std::string tax;
    std::string checkPath;
    std::string printHeader;
    std::string headerFontSetting;
    std::string description;
    std::string taxpayerId;
    std::string appTaxpayerId;
    std::string siteId;
    std::string certFile;
    std::string certPass;
    std::string noReference;

    ConnectionSettings messageSettings;
    std::vector<std::string> headerLines;
    std::vector<std::string> slipLines;
    std::vector<std::string> slipLines2;
    std::string headerFont;
    std::string lastError;
    int32_t lineIndex = -1;
    bool testCommand = false;
    bool netAmountSupport = false;
    // Czech sales registration: verification mode ("1" on) and sale mode (1 or 0).
    bool verificationMode = false;
    int32_t saleMode = 0;
    std::vector<int32_t> gtinCodes;
};
