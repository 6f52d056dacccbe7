#include "devices/CPrinterControl.h"

#include <algorithm>

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
}
