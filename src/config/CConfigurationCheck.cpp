#include "config/CConfigurationCheck.h"

#include <algorithm>
#include <cctype>

#include "config/CXMLParser.h"
#include "platform/Text.h"

namespace {

using Names = std::vector<std::string>;

// The sections the service reads, with every element it reads in them. An element standing in
// one of them under another name is not read at all.
struct Section {
    const char* path;
    Names children;
};

const Section kSections[] = {
    {"/*",
     {"save_log", "micros_check_expand", "history", "earlier_days", "code_convertion", "interface_cashier",
      "UDF_name", "date_offset", "rvc", "fiscal_trans_ini", "fidelio_ini", "printer_ini", "tcpip_ini", "display",
      "print_manager", "micros_ini", "tax_mode", "prepayment", "pay_mode", "additional", "deposit", "post_class",
      "discount", "ignore", "general_cashier", "description_mode", "rollup_minibar", "non_quantity",
      "print_list"}},
    {"//fiscal_trans_ini", {"qel_nls_lang", "trace"}},
    {"//fidelio_ini",
     {"version", "base_access", "fidelio_schema", "property_code", "block_payments", "base_currency",
      "payment_currency", "convert_currency", "language_code", "room_rate_include", "extra_bed_code",
      "pm_payments", "government_code", "ar_payments", "send_customer_info", "customer_email", "customer_number",
      "ignore_view_balance", "company_routing", "adjustment_refund", "only_payments", "print_quantity",
      "proforma_folio_deposit", "minibar_articles", "hotelbill", "hotelinvoice", "deposit", "service_charge",
      "interface", "print_list"}},
    {"//fidelio_ini/pm_payments", {"room", "description"}},
    {"//fidelio_ini/deposit", {"code", "description", "w_description", "print", "tax", "online_payment"}},
    {"//printer_ini",
     {"printer", "gtin_file", "port", "pass_admin", "tax", "check_path", "message_port", "district_code",
      "taxpayer_id", "app_taxpayer_id", "site_id", "cert_file", "cert_pass", "no_reference", "verification_mode",
      "sale_mode", "test_command", "net_amount_support", "decimal_point", "print_copy", "cash_drawer",
      "save_shift_number", "check_refund", "print_refund", "mixed_postings", "set_change", "wait_answer",
      "wait_next_check", "base_monitoring", "answer_settle", "tax_udf_name", "membership_code", "tcpip_ini"}},
    {"//display",
     {"account", "room_number", "room", "cashier_name", "reservation", "cashier", "company", "guest", "tin", "vat",
      "description", "w_description", "header_line", "w_header", "codepage"}},
    {"//print_manager", {"port"}},
    {"//micros_ini", {"discount_code"}},
    {"//prepayment", {"view", "print", "payment"}},
    {"//pay_mode", {"pay", "put", "paid", "rebate"}},
    {"//tax_mode", {"tax", "double_tax", "tax_system", "city_tax", "service_charge", "agent_tax"}},
    {"//additional", {"pay"}},
    {"//general_cashier", {"cash_shift_loan", "cash_shift_drop"}},
    {"//ignore", {"cashier", "room"}},
    {"//description_mode", {"description"}},
    {"//fidelio_ini/print_list", {"udf", "room", "folio_view"}},
    {"//pay_mode/pay", {"print", "tax", "limit"}},
    {"//pay_mode/put", {"print"}},
    {"//pay_mode/paid", {"print"}},
    {"//pay_mode/rebate", {"print"}},
    {"//additional/pay", {"print"}},
    {"//tax_mode/tax", {"print"}},
    {"//tax_mode/double_tax", {"print"}},
    {"//tax_mode/city_tax", {"print"}},
    {"//tax_mode/service_charge", {"print"}},
    {"//prepayment/payment", {"posting", "tax", "description", "w_description"}},
};

// The elements whose text the service reads as a whole number.
const char* const kNumbers[] = {
    "//history",         "//earlier_days",
    "//interface_cashier", "//date_offset",
    "//fidelio_ini/only_payments", "//fidelio_ini/print_quantity",
    "//fidelio_ini/deposit/code", "//printer_ini/port",
    "//printer_ini/message_port", "//printer_ini/decimal_point",
    "//printer_ini/wait_answer", "//printer_ini/wait_next_check",
    "//printer_ini/base_monitoring", "//printer_ini/answer_settle", "//print_manager/port",
    "//micros_ini/discount_code", "//prepayment/view",
};

// The entries of the keyed lists: their code, number and view attributes are numbers (a
// double_tax entry names a list of codes).
const char* const kKeyedEntries[] = {
    "//pay_mode/*",      "//tax_mode/*",          "//additional/*",     "//general_cashier/*",
    "//ignore/*",        "//description_mode/*",  "//prepayment/payment", "//post_class",
    "//discount",        "//rollup_minibar",      "//non_quantity",     "//fidelio_ini/service_charge",
    "//fidelio_ini/deposit/online_payment",       "//deposit/tax",      "//rvc",
};

const Names kPrinterAttributes = {"num",         "ip_address",      "port",    "user_name", "pass_admin",
                                  "tax",         "check_path",      "print_header", "header_font",
                                  "description", "taxpayer_id",     "app_taxpayer_id", "site_id",
                                  "cert_file",   "cert_pass",       "no_reference"};

// Edit distance where a swapped pair of neighbours counts as one change.
size_t Distance(const std::string& a, const std::string& b) {
    std::vector<std::vector<size_t>> d(a.size() + 1, std::vector<size_t>(b.size() + 1));
    for (size_t i = 0; i <= a.size(); ++i) {
        d[i][0] = i;
    }
    for (size_t j = 0; j <= b.size(); ++j) {
        d[0][j] = j;
    }
    for (size_t i = 1; i <= a.size(); ++i) {
        for (size_t j = 1; j <= b.size(); ++j) {
            size_t cost = std::tolower(static_cast<unsigned char>(a[i - 1])) ==
                                  std::tolower(static_cast<unsigned char>(b[j - 1]))
                              ? 0
                              : 1;
            d[i][j] = std::min({d[i - 1][j] + 1, d[i][j - 1] + 1, d[i - 1][j - 1] + cost});
            if (i > 1 && j > 1 && a[i - 1] == b[j - 2] && a[i - 2] == b[j - 1]) {
                d[i][j] = std::min(d[i][j], d[i - 2][j - 2] + 1);
            }
        }
    }
    return d[a.size()][b.size()];
}

std::string DidYouMean(const std::string& name, const Names& known, const char* open, const char* close) {
    std::string nearest = CConfigurationCheck::Nearest(name, known);
    return nearest.empty() ? "" : std::string("; did you mean ") + open + nearest + close + "?";
}

// How a printer entry is named in a message: by its num, or by its place among the entries.
std::string PrinterName(const CXMLParser::Attributes& attributes, size_t index) {
    auto num = attributes.find("num");
    if (num != attributes.end() && !text::Trim(num->second).empty()) {
        return "printer " + text::Trim(num->second) + " (tcpip_ini num=\"" + text::Trim(num->second) + "\")";
    }
    return text::Format("printer entry %zu (tcpip_ini without num)", index + 1);
}

void CheckPrinters(CXMLParser& configuration, CConfigurationCheck::Result& result) {
    std::string defaultPort = text::Trim(configuration.ReadParameter("//printer_ini/port"));
    std::vector<CXMLParser::Element> printers = configuration.ReadElements("//tcpip_ini");
    for (size_t i = 0; i < printers.size(); ++i) {
        const CXMLParser::Attributes& attributes = printers[i].attributes;
        const std::string printer = PrinterName(attributes, i);
        std::vector<std::string> unknown;
        for (const auto& [name, value] : attributes) {
            if (std::find(kPrinterAttributes.begin(), kPrinterAttributes.end(), name) == kPrinterAttributes.end()) {
                unknown.push_back(name);
                result.warnings.push_back(printer + ": unknown attribute " + name + ", not read" +
                                          DidYouMean(name, kPrinterAttributes, "", ""));
            }
        }
        auto value = [&](const char* name) {
            auto found = attributes.find(name);
            return found == attributes.end() ? std::string() : text::Trim(found->second);
        };
        if (value("num").empty()) {
            result.errors.push_back(printer + ": attribute num is missing (the printer's name in the print lists)");
        }
        if (value("ip_address").empty()) {
            std::string hint;
            for (const std::string& name : unknown) {
                if (CConfigurationCheck::Nearest(name, {"ip_address"}) == "ip_address") {
                    hint = " (" + name + " is no attribute of tcpip_ini: did you mean ip_address?)";
                }
            }
            result.errors.push_back(printer + ": attribute ip_address is missing" + hint);
        }
        for (const char* number : {"port", "header_font"}) {
            if (!CConfigurationCheck::IsWholeNumber(value(number))) {
                result.errors.push_back(printer + ": attribute " + number + " is \"" + value(number) +
                                        "\", not a whole number");
            }
        }
        std::string port = text::ToInt(value("port")) != 0 ? value("port") : defaultPort;
        if (CConfigurationCheck::IsWholeNumber(port) && CConfigurationCheck::IsWholeNumber(value("port")) &&
            (text::ToInt(port) < 1 || text::ToInt(port) > 65535)) {
            result.errors.push_back(port.empty() || text::ToInt(port) == 0
                                        ? printer + ": no port (attribute port, or //printer_ini/port for every "
                                                    "printer)"
                                        : printer + ": port " + port + " is no TCP port (1 to 65535)");
        }
    }
}

}  // namespace

bool CConfigurationCheck::IsWholeNumber(const std::string& textValue) {
    std::string value = text::Trim(textValue);
    size_t start = !value.empty() && (value[0] == '-' || value[0] == '+') ? 1 : 0;
    if (start == 1 && value.size() == 1) {
        return false;
    }
    return std::all_of(value.begin() + static_cast<long>(start), value.end(),
                       [](char c) { return c >= '0' && c <= '9'; });
}

std::string CConfigurationCheck::Nearest(const std::string& name, const std::vector<std::string>& known) {
    std::string best;
    size_t bestDistance = 3;
    for (const std::string& candidate : known) {
        size_t distance = Distance(name, candidate);
        // Short names need a closer match: "vat" is no misspelling of "tax".
        if (distance < bestDistance && distance * 3 <= candidate.size()) {
            best = candidate;
            bestDistance = distance;
        }
    }
    return best;
}

CConfigurationCheck::Result CConfigurationCheck::Check(CXMLParser& configuration) {
    Result result;
    for (const char* path : kNumbers) {
        std::string value = configuration.ReadParameter(path);
        if (!IsWholeNumber(value)) {
            result.errors.push_back(std::string(path) + " is \"" + value + "\", not a whole number");
        }
    }
    for (const char* path : kKeyedEntries) {
        for (const CXMLParser::Element& entry : configuration.ReadElements(path)) {
            if (entry.name == "double_tax") {
                continue;
            }
            for (const char* key : {"code", "number", "view"}) {
                auto found = entry.attributes.find(key);
                if (found != entry.attributes.end() && !IsWholeNumber(found->second)) {
                    result.errors.push_back("<" + entry.name + " " + key + "=\"" + found->second +
                                            "\">: attribute " + key + " is not a whole number");
                }
            }
        }
    }
    CheckPrinters(configuration, result);
    for (const Section& section : kSections) {
        for (const CXMLParser::Element& element : configuration.ReadElements(section.path)) {
            for (const std::string& child : element.children) {
                if (std::find(section.children.begin(), section.children.end(), child) == section.children.end()) {
                    result.warnings.push_back("Unknown element <" + child + "> in <" + element.name + ">, not read" +
                                              DidYouMean(child, section.children, "<", ">"));
                }
            }
        }
    }
    // Each once, however many places found it.
    std::vector<std::string> once;
    for (const std::string& warning : result.warnings) {
        if (std::find(once.begin(), once.end(), warning) == once.end()) {
            once.push_back(warning);
        }
    }
    result.warnings = once;
    return result;
}
