#include "config/CFiscalINI.h"

#include <algorithm>
#include <map>

#include "check/CFiscalCheck.h"
#include "config/CPaymentRules.h"
#include "config/CPostingRules.h"
#include "config/CPrintLists.h"
#include "log/CLogFile.h"
#include "platform/CodePage.h"
#include "platform/Environment.h"
#include "platform/FileSystem.h"
#include "platform/Text.h"

namespace {

// Wide texts of the check templates hold at most 50 characters, their narrow forms 250 bytes.
constexpr size_t kWideTextLimit = 50;
constexpr size_t kNarrowTextLimit = 250;

// The printer_ini values that a printer entry takes when it does not carry them itself.
const char* const kInheritedAttributes[] = {"port",        "pass_admin",      "tax",     "check_path",
                                            "taxpayer_id", "app_taxpayer_id", "site_id", "cert_file",
                                            "cert_pass",   "no_reference"};

std::string WithTrailingSlash(const std::string& folder) {
    return folder.empty() || platform::IsSeparator(folder.back()) ? folder : folder + "/";
}

// A configured pause: 0, empty, missing (and a negative value, which would wait for ever) give
// the default.
int32_t PauseValue(int32_t value) {
    return value > 0 ? value : CFiscalINI::kDefaultPause;
}

}  // namespace

bool CFiscalINI::Load() {
    if (!namedFile.empty()) {
        SetFileName(namedFile);
        if (!LoadFile()) {
            return false;
        }
        WriteLog("Configuration file " + namedFile);
        return true;
    }
    if (!searchFolders.empty()) {
        return LoadFrom(searchFolders);
    }
    return LoadFrom({platform::CurrentFolder(), platform::ProgramFolder()});
}

void CFiscalINI::SetLocation(const std::string& file, const std::vector<std::string>& folders) {
    namedFile = file;
    searchFolders = folders;
}

bool CFiscalINI::LoadFrom(const std::vector<std::string>& folders) {
    std::vector<std::string> searched;
    for (const std::string& folder : folders) {
        if (folder.empty()) {
            continue;
        }
        std::string path = platform::JoinPath(folder, kFileName);
        searched.push_back(WithTrailingSlash(folder));
        if (!platform::FileExists(path)) {
            if (platform::PathMissing(path)) {
                continue;
            }
            // It may be there, in a folder this process may not look into: not "not found".
            SetFileName(path);
            lastError = path + " file FAILED to load\nThe file cannot be read: " +
                        text::TrimRight(platform::SystemErrorText(platform::LastSystemError()));
            return false;
        }
        SetFileName(path);
        if (!LoadFile()) {
            return false;
        }
        WriteLog("Configuration file " + path);
        return true;
    }
    SetFileName(kFileName);
    lastError = std::string(kFileName) + " file FAILED to load\nFile was not found in " +
                text::Join(searched, " nor in ");
    return false;
}

bool CFiscalINI::ReadFlag(const std::string& path) {
    return ReadParameter(path) == "1";
}

int32_t CFiscalINI::ReadInteger(const std::string& path) {
    return text::ToInt(ReadParameter(path));
}

int CFiscalINI::ReadVersion() {
    if (version != kNoStorage) {
        return version;
    }
    std::string name = ReadParameter("//fidelio_ini/version");
    if (!lastError.empty()) {
        lastError = "Can't read parameter Fidelio Version";
        WriteLog(lastError);
        return kNoStorage;
    }
    struct Known {
        const char* name;
        int version;
    };
    static const Known kKnown[] = {{"OPERA", Opera},       {"OPERA5", Opera}, {"OPERA4", Opera4},
                                   {"FIDELIO8", Fidelio8}, {"3700", Pos3700}, {"9700", Pos9700}};
    for (const Known& known : kKnown) {
        if (name == known.name) {
            version = known.version;
            WriteLog(text::Format("Fidelio version: %s", name.c_str()));
            return version;
        }
    }
    lastError = "Unknown Fidelio version";
    WriteLog(lastError + ": " + name);
    return kNoStorage;
}

int32_t CFiscalINI::ReadPrinterType() {
    struct Family {
        const char* name;
        int32_t type;
    };
    static const Family kFamilies[] = {{"MONGOL", 9}, {"CZECH", 10}, {"ARMENIA", 8}, {"UKRAINE", 3}};
    std::string family = ReadParameter("//printer_ini/printer");
    int32_t type = 7;
    for (const Family& known : kFamilies) {
        if (family == known.name) {
            type = known.type;
        }
    }
    gtinFile = ReadParameter("//printer_ini/gtin_file");
    // Only the printer manager's default family carries GTIN codes.
    if (type == 7 && !gtinFile.empty()) {
        type = 13;
    }
    return type;
}

int32_t CFiscalINI::ReadOnlyPayments() {
    std::string value = ReadParameter("//fidelio_ini/only_payments");
    return lastError.empty() ? text::ToInt(value) : 1;
}

std::vector<std::string> CFiscalINI::ReadCodeList(const std::string& path, const std::string& title) {
    std::string value = ReadParameter(path);
    value.erase(std::remove_if(value.begin(), value.end(), [](char c) { return c == ' ' || c == '\t'; }),
                value.end());
    std::vector<std::string> codes;
    if (value.empty()) {
        return codes;
    }
    WriteLog(title + value);
    for (const std::string& code : text::Split(value, ',')) {
        if (!code.empty()) {
            codes.push_back(code);
        }
    }
    return codes;
}

bool CFiscalINI::LoadRules() {
    printerType = ReadPrinterType();
    WriteLog(text::Format("Printer type %d", printerType));
    if (!gtinFile.empty()) {
        WriteLog("GTIN file " + gtinFile);
    }
    rules.Read(*this, printerType);

    prepaymentView = ReadInteger("//prepayment/view");
    prepaymentPrinter = ReadParameter("//prepayment/print");
    if (prepaymentView != 0 || !prepaymentPrinter.empty()) {
        WriteLog(text::Format("PrePayment mode. Folio view: %d Pay: %s", prepaymentView,
                              prepaymentPrinter.c_str()));
    }
    waitAnswer = std::max(0, ReadInteger("//printer_ini/wait_answer"));
    waitNextCheck = PauseValue(ReadInteger("//printer_ini/wait_next_check"));
    baseMonitoring = PauseValue(ReadInteger("//printer_ini/base_monitoring"));
    WriteLog(text::Format("Wait answer %d ms, wait next check %d ms, base monitoring %d ms", waitAnswer,
                          waitNextCheck, baseMonitoring));
    printRefund = ReadParameter("//printer_ini/print_refund");
    refundsPrinted = printRefund != "0";
    minibarArticles = ReadFlag("//fidelio_ini/minibar_articles");
    paymentCurrency = ReadParameter("//fidelio_ini/payment_currency");
    baseCurrency = ReadParameter("//fidelio_ini/base_currency");
    hotelBillCodes = ReadCodeList("//fidelio_ini/hotelbill", "hotelbill: ");
    hotelInvoiceCodes = ReadCodeList("//fidelio_ini/hotelinvoice", "hotelinvoice: ");
    onlyPayments = ReadOnlyPayments();
    storageVersion = ReadVersion();
    // Every list on a line of its own under one time stamp.
    std::string lists = rules.Describe();
    if (!lists.empty()) {
        WriteLog(lists);
    }
    return true;
}

void CFiscalINI::LogCheckText(CFiscalCheck& check) const {
    if (log) {
        log->WriteList(check.BuildText(2, ""));
    }
}

bool CFiscalINI::ApplyRules(CFiscalCheck& check) {
    lastError.clear();
    ruleVerdict = 7;
    prepaymentCode = 0;
    if (check.statusCode == kNotToRegister) {
        return true;
    }
    if (check.statusCode == kBillRefund && printerType == kMongolianPrinter) {
        return ApplyReturnRules(check);
    }
    bool fullCheck = onlyPayments == 2;
    if (fullCheck) {
        bool deposit = false;
        for (const struct_posting& p : check.postings) {
            deposit = deposit || p.printed;
        }
        if (deposit || check.statusCode == kReceivablePayment) {
            WriteLog(deposit ? "Check deposit" : "AR payment check");
            check.PaymentsAsPosting();
        }
    }
    ApplyPostingRules(check);
    if (!ApplyPaymentRules(check)) {
        LogCheckText(check);
        return false;
    }
    CPaymentRules payments(*this, check);
    bool result = check.Compose();
    LogCheckText(check);
    if (fullCheck) {
        payments.ChooseInvoiceKind();
    }
    if (!result) {
        lastError = check.errorText;
        WriteLog(lastError);
        ruleVerdict = check.documentKind;
    }
    if (!payments.CheckPrepayments()) {
        lastError = "Prepayment sum postings not correct.";
        result = false;
    }
    CPostingRules(*this, check).ApplyWindowRules();
    if (!payments.CheckPayments(lastError, ruleVerdict)) {
        result = false;
    }
    return result;
}

bool CFiscalINI::ApplyReturnRules(CFiscalCheck& check) {
    CPaymentRules payments(*this, check);
    bool accepted = payments.Apply() && payments.AcceptReturn(lastError);
    if (!lastError.empty()) {
        ruleVerdict = 6;
    }
    LogCheckText(check);
    return accepted;
}

bool CFiscalINI::ApplyPaymentRules(CFiscalCheck& check) {
    CPaymentRules payments(*this, check);
    bool accepted = payments.Apply();
    prepaymentCode = payments.prepaymentCode;
    return accepted;
}

void CFiscalINI::ApplyPostingRules(CFiscalCheck& check) {
    CPostingRules(*this, check).Apply();
}

void CFiscalINI::ApplyPrinterRules(const CPrinterControl& printer, CFiscalCheck& check) {
    lastError.clear();
    CPostingRules(*this, check).ApplyPrinterTax(printer.tax);
    LogCheckText(check);
}

bool CFiscalINI::IsInterfaceCashier(const std::string& cashier) {
    return CRuleLists::Has(rules.interfaceCashiers, cashier);
}

bool CFiscalINI::IsPaymentRegistered(int code) const {
    return rules.IsPaymentRegistered(code);
}

void CFiscalINI::SetAdjustmentCodes(const std::vector<std::pair<int, int>>& pairs) {
    adjustmentCodes.clear();
    for (const auto& [transactionCode, adjustmentCode] : pairs) {
        adjustmentCodes[text::Format("%d", adjustmentCode)] = transactionCode;
    }
}

void CFiscalINI::FillCheckTemplate(CFiscalCheck& check) {
    // Deposit line.
    std::string depositDescription = ReadParameter("//fidelio_ini/deposit/description");
    std::u16string depositWide = ReadWideParameter("//fidelio_ini/deposit/w_description");
    if (ReadFlag("//fidelio_ini/deposit") || !depositDescription.empty() || !depositWide.empty()) {
        struct_posting deposit;
        deposit.description = depositDescription;
        deposit.w_description = depositWide.substr(0, kWideTextLimit);
        deposit.trx_code = ReadInteger("//fidelio_ini/deposit/code");
        deposit.print_code = ReadParameter("//fidelio_ini/deposit/print");
        deposit.tax_group = ReadParameter("//fidelio_ini/deposit/tax");
        if (printerType == 7 && !depositWide.empty()) {
            // The printer manager's default family prints narrow texts only.
            deposit.description = platform::Utf16ToCodePage(depositWide, "1251").substr(0, kNarrowTextLimit);
            deposit.w_description.clear();
        } else {
            deposit.text_block = platform::Utf16ToUtf8(depositWide.substr(0, kWideTextLimit));
        }
        if (deposit.trx_code != 0) {
            WriteLog(text::Format("Deposit: %d %s printer code: %s tax: %s", deposit.trx_code,
                                  deposit.description.c_str(), deposit.print_code.c_str(),
                                  deposit.tax_group.c_str()));
        } else {
            WriteLog(text::Format("Deposit: %s printer code: %s tax: %s", deposit.description.c_str(),
                                  deposit.print_code.c_str(), deposit.tax_group.c_str()));
        }
        check.depositTemplate = deposit;
        check.depositTemplateSet = true;
    }
    if (!rules.additionalDeposits.empty()) {
        check.hasDeposit = true;
    }

    if (ReadFlag("//fidelio_ini/proforma_folio_deposit")) {
        WriteLog("Pro-Forma Folio Deposit");
        check.proformaDeposit = true;
    }

    // Service line: without a configured description it keeps the check's generic one.
    struct_posting service;
    service.description = check.serviceTemplate.description;
    service.tax_group = ReadParameter("//printer_ini/tax");
    if (!service.tax_group.empty()) {
        WriteLog("Default tax: " + service.tax_group);
    }
    std::string description = ReadParameter("//display/description");
    if (!description.empty()) {
        service.description = description;
    }
    service.w_description = ReadWideParameter("//display/w_description").substr(0, kWideTextLimit);
    service.category_block =
        platform::Utf16ToUtf8(ReadWideParameter("//display/w_header").substr(0, kWideTextLimit));
    check.headerLine = ReadParameter("//display/header_line");
    check.codePage = ReadParameter("//display/codepage");

    std::string quantity = ReadParameter("//fidelio_ini/print_quantity");
    check.printQuantity = quantity.empty() ? 0 : text::ToInt(quantity);
    if (!quantity.empty()) {
        WriteLog(text::Format("Print posting quantity %d", check.printQuantity));
    }

    check.serviceTemplate = service;
    check.amountMode = ReadVersion();
    WriteLog(text::Format("Check default settings: %s tax %s", service.description.c_str(),
                          service.tax_group.c_str()));

    // Mode.
    onlyPayments = ReadOnlyPayments();
    bool fullCheck = false;
    check.checkMode = 7;
    switch (printerType) {
        case 10:
            check.checkMode = 10;
            check.mixedPostings = true;
            fullCheck = true;
            break;
        case 9:
        case 8:
            check.checkMode = printerType;
            fullCheck = true;
            break;
        case 3:
            check.checkMode = 3;
            fullCheck = onlyPayments == 0;
            break;
        default:
            if (onlyPayments == 2) {
                printerType = 11;
                check.checkMode = 11;
                check.mixedPostings = true;
                fullCheck = true;
            } else {
                fullCheck = onlyPayments == 0;
            }
            break;
    }
    WriteLog(fullCheck ? "Only Payments: NO. Full check mode!" : "Only payments: Yes");

    if (ReadFlag("//printer_ini/mixed_postings")) {
        check.mixedPostings = true;
        WriteLog("Mixed postings allowed");
    }
    if (ReadFlag("//printer_ini/set_change")) {
        check.changeAllowed = true;
        WriteLog("Change allowed");
    }
    if (ReadParameter("//printer_ini/decimal_point") == "0") {
        check.moneyDecimals = 0;
    }
    std::string expand = ReadParameter("//micros_check_expand");
    if (expand == "1" || expand == "2") {
        check.posExpand = true;
    }
    check.appendRateCode = fullCheck;
}

void CFiscalINI::ReadPrinters(std::vector<CPrinterControl>& printerList) {
    std::map<std::string, std::string> defaults;
    for (const char* name : kInheritedAttributes) {
        defaults[name] = ReadParameter(std::string("//printer_ini/") + name);
    }
    bool testCommand = ReadFlag("//printer_ini/test_command");
    bool netAmountSupport = ReadFlag("//printer_ini/net_amount_support");
    bool verificationMode = ReadFlag("//printer_ini/verification_mode");
    int32_t saleMode = ReadFlag("//printer_ini/sale_mode") ? 1 : 0;
    printerList.clear();
    for (const Attributes& entry : ReadAttributes("//tcpip_ini")) {
        auto value = [&](const char* name) {
            auto found = entry.find(name);
            std::string result = found == entry.end() ? "" : text::Trim(found->second);
            auto inherited = defaults.find(name);
            return result.empty() && inherited != defaults.end() ? inherited->second : result;
        };
        CPrinterControl printer;
        printer.name = value("num");
        printer.deviceSettings.host = value("ip_address");
        printer.deviceSettings.port = text::ToInt(value("port"));
        if (printer.deviceSettings.port == 0) {
            printer.deviceSettings.port = text::ToInt(defaults["port"]);
        }
        printer.deviceSettings.mode = 1;
        printer.description = value("description");
        printer.deviceSettings.name = text::Trim(text::Split(printer.description, ',')[0]);
        printer.userName = value("user_name");
        printer.passAdmin = value("pass_admin");
        printer.tax = value("tax");
        printer.checkPath = WithTrailingSlash(value("check_path"));
        printer.printHeader = value("print_header");
        printer.headerFontSetting = value("header_font");
        printer.taxpayerId = value("taxpayer_id");
        printer.appTaxpayerId = value("app_taxpayer_id");
        printer.siteId = value("site_id");
        printer.certFile = value("cert_file");
        printer.certPass = value("cert_pass");
        printer.noReference = value("no_reference");
        printer.testCommand = testCommand;
        printer.netAmountSupport = netAmountSupport;
        printer.verificationMode = verificationMode;
        printer.saleMode = saleMode;
        printerList.push_back(std::move(printer));
    }
}

bool CFiscalINI::LoadPrinters(std::vector<CPrinterControl>& printerList, std::vector<CPrintLine>& printLines,
                              int32_t& mode) {
    // The printer family decides whether the Mongolian district code is required.
    printerType = ReadPrinterType();
    std::vector<CPrinterControl> found;
    ReadPrinters(found);
    std::vector<CPrintLine> read;
    int32_t readMode = 0;
    CPrintLists::Read(*this, read, readMode);
    std::string error;
    if (!CPrintLists::ValidatePrinters(found, error) || !CPrintLists::ValidateLines(read, found, error)) {
        lastError = error;
        return false;
    }
    if (printerType == 9 && ReadParameter("//printer_ini/district_code").empty()) {
        lastError = "Unknown parameter district_code";
        return false;
    }
    for (const std::string& line : CPrintLists::Describe(found, read)) {
        WriteLog(line);
    }
    lastError.clear();
    printerList = std::move(found);
    printLines = std::move(read);
    mode = readMode;
    return true;
}

int32_t CFiscalINI::ReadListMode() {
    std::vector<CPrintLine> read;
    int32_t mode = 0;
    CPrintLists::Read(*this, read, mode);
    return mode;
}
