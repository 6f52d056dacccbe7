#include "config/CPrinterControl.h"

#include <algorithm>

#include "platform/FileSystem.h"
#include "platform/Text.h"

std::string CPrinterControl::ConnectionText() const {
    if (deviceSettings.host.empty()) {
        return "";
    }
    return text::Format("%s%d", (deviceSettings.host + " : ").c_str(), deviceSettings.port);
}

void CPrinterControl::SetMessagePort(const std::string& host, const std::string& port) {
    messageSettings.host = host;
    messageSettings.port = text::ToInt(port);
    messageSettings.mode = 1;
}

namespace {

// Lines of a text file without their line ends (a file written on Windows keeps no "\r").
platform::ReadStatus ReadLines(const std::string& path, size_t maxBytes, std::vector<std::string>& lines) {
    std::string content;
    const platform::ReadStatus status = platform::ReadFileUpTo(path, maxBytes, content);
    if (status == platform::ReadStatus::Ok) {
        lines = text::Lines(content);
    }
    return status;
}

}  // namespace

bool CPrinterControl::ReadHeaderFile(const std::string& path, const std::string& font) {
    std::vector<std::string> lines;
    switch (ReadLines(path, kMaxHeaderFileBytes, lines)) {
        case platform::ReadStatus::Ok:
            break;
        case platform::ReadStatus::TooLong:
            lastError = text::Format("Header file %s is longer than %zu bytes", path.c_str(), kMaxHeaderFileBytes);
            return false;
        default:
            lastError = text::Format("Can't open file %s", path.c_str());
            return false;
    }
    if (lines.empty()) {
        lastError = text::Format("Header file %s is empty", path.c_str());
        return false;
    }
    headerLines.insert(headerLines.end(), lines.begin(), lines.end());
    headerFont = font.empty() ? "1" : font;
    return true;
}

void CPrinterControl::ReadGtinFile(const std::string& path) {
    std::string content;
    if (platform::ReadFileUpTo(path, kMaxGtinFileBytes, content) == platform::ReadStatus::TooLong) {
        lastError = text::Format("GTIN file %s is longer than %zu bytes", path.c_str(), kMaxGtinFileBytes);
        return;
    }
    AddGtinCodes(content);
}

void CPrinterControl::AddGtinCodes(const std::string& content) {
    for (const std::string& line : text::Lines(content)) {
        for (const std::string& piece : text::Split(line, ',')) {
            // Blank pieces (a trailing comma, an empty line) name no product.
            if (!text::Trim(piece).empty()) {
                gtinCodes.push_back(text::ToInt(piece));
            }
        }
    }
}

bool CPrinterControl::HasGtin(int32_t code) const {
    return std::find(gtinCodes.begin(), gtinCodes.end(), code) != gtinCodes.end();
}

std::string CPrinterControl::GtinText() const {
    if (gtinCodes.empty()) {
        return "";
    }
    std::string result = "GTIN PRODUCT CODES: ";
    for (int32_t code : gtinCodes) {
        result += text::Format("%d ", code);
    }
    return result;
}

void CPrinterControl::Reset() {
    name.clear();
    deviceSettings = ConnectionSettings();
    messageSettings = ConnectionSettings();
    userName.clear();
    passAdmin.clear();
    tax.clear();
    checkPath.clear();
    printHeader.clear();
    headerFontSetting.clear();
    description.clear();
    taxpayerId.clear();
    appTaxpayerId.clear();
    siteId.clear();
    certFile.clear();
    certPass.clear();
    noReference.clear();
    lineIndex = -1;
    testCommand = false;
    netAmountSupport = false;
    verificationMode = false;
    saleMode = 0;
}
