#include "TaxBill.h"

#include <cmath>

#include "CheckRecord.h"
#include "platform/Text.h"

namespace {

constexpr size_t kHeaderFields = 11;
constexpr size_t kStockFields = 8;

bool IsAmount(const std::string& text) {
    if (text.empty() || text == "-") {
        return false;
    }
    size_t start = text[0] == '-' ? 1 : 0;
    size_t dot = text.find('.');
    return text.find_first_not_of("0123456789.", start) == std::string::npos &&
           (dot == std::string::npos || text.find('.', dot + 1) == std::string::npos);
}

bool IsDigits(const std::string& text) {
    return !text.empty() && text.find_first_not_of("0123456789") == std::string::npos;
}

// The fields of a part that ends with '#': what stands between the separators.
bool Fields(const std::string& part, size_t count, std::vector<std::string>& fields) {
    if (part.empty() || part.back() != '#') {
        return false;
    }
    fields = text::Split(part.substr(0, part.size() - 1), '#');
    return fields.size() == count;
}

bool ParseReturn(const std::string& body, TaxBill& bill, std::string& error) {
    std::vector<std::string> fields;
    if (!Fields(body, 3, fields) || fields[0] != "R") {
        error = "a return is R#<fiscal number>#<printed file name>#";
        return false;
    }
    bill.isReturn = true;
    bill.saleFiscalNumber = fields[1];
    bill.saleTitle = fields[2];
    if (bill.saleFiscalNumber.empty()) {
        error = "the return names no sale";
        return false;
    }
    return true;
}

bool ParseHeader(const std::string& header, TaxBill& bill, std::string& error) {
    std::vector<std::string> f;
    if (!Fields(header, kHeaderFields, f)) {
        error = text::Format("the bill header needs %zu fields, each ended by '#'", kHeaderFields);
        return false;
    }
    bill.total = f[0], bill.tax0 = f[1], bill.cash = f[2], bill.nonCash = f[3], bill.tax1 = f[4];
    bill.district = f[5], bill.printer = f[6], bill.taxpayer = f[7], bill.documentType = f[8];
    bill.sequence = f[9], bill.group = f[10];
    for (const std::string* amount : {&bill.total, &bill.tax0, &bill.cash, &bill.nonCash, &bill.tax1}) {
        if (!IsAmount(*amount)) {
            error = "not an amount in the bill header: \"" + *amount + "\"";
            return false;
        }
    }
    if (std::fabs(text::ToDouble(bill.total) - text::ToDouble(bill.cash) - text::ToDouble(bill.nonCash)) >= 0.005) {
        error = "cash and non-cash do not add up to the total";
        return false;
    }
    if (bill.district.empty() || bill.printer.empty()) {
        error = "no district code or no register";
        return false;
    }
    if (bill.documentType != (bill.taxpayer.empty() ? "1" : "3")) {
        error = "document type " + bill.documentType + " does not fit the taxpayer \"" + bill.taxpayer + "\"";
        return false;
    }
    if (bill.sequence.size() != 6 || !IsDigits(bill.sequence) || bill.sequence == "000000") {
        error = "the bill number is not six digits from 000001 to 999999: \"" + bill.sequence + "\"";
        return false;
    }
    return true;
}

bool ParseStock(const std::string& line, TaxBill& bill, std::string& error) {
    std::vector<std::string> f;
    if (!Fields(line, kStockFields, f)) {
        error = text::Format("a stock line needs %zu fields, each ended by '#': \"%s\"", kStockFields, line.c_str());
        return false;
    }
    TaxBill::Stock stock{f[0], f[1], f[2], f[3], f[4], f[5], f[6], f[7]};
    bool numbers = IsDigits(stock.code);
    for (const std::string* amount : {&stock.quantity, &stock.price, &stock.amount, &stock.extra2, &stock.extra1}) {
        numbers = numbers && IsAmount(*amount);
    }
    if (!numbers || stock.unit != "unit") {
        error = "bad stock line \"" + line + "\"";
        return false;
    }
    bill.stocks.push_back(stock);
    return true;
}

}  // namespace

size_t TaxBill::CommandLength(const std::string& bytes) {
    if (text::StartsWith(bytes, "R#")) {
        size_t end = bytes.find("#&", 1);
        return end == std::string::npos ? 0 : end + 2;
    }
    size_t stockEnd = bytes.find("@&");
    size_t headerEnd = bytes.find("=&");
    size_t end = std::min(stockEnd, headerEnd);
    return end == std::string::npos ? 0 : end + 2;
}

bool TaxBill::Parse(const std::string& command, TaxBill& bill, std::string& error) {
    bill = TaxBill();
    if (command.empty() || command.back() != '&') {
        error = "no end mark";
        return false;
    }
    std::string body = command.substr(0, command.size() - 1);
    if (text::StartsWith(body, "R#")) {
        return ParseReturn(body, bill, error);
    }
    size_t section = body.find('=');
    if (section == std::string::npos) {
        error = "no '=' after the bill header";
        return false;
    }
    if (!ParseHeader(body.substr(0, section), bill, error)) {
        return false;
    }
    std::string stocks = body.substr(section + 1);
    if (stocks.empty()) {
        return true;
    }
    if (stocks.back() != '@') {
        error = "the last stock line has no '@'";
        return false;
    }
    for (const std::string& line : text::Split(stocks.substr(0, stocks.size() - 1), '@')) {
        if (!ParseStock(line, bill, error)) {
            return false;
        }
    }
    return true;
}

std::string TaxBill::StocksTotal() const {
    double sum = 0;
    for (const Stock& stock : stocks) {
        sum += text::ToDouble(stock.amount);
    }
    return text::Format("%.2f", sum);
}

std::string TaxBill::ToJson(const std::string& fiscalNumber, const std::string& title) const {
    auto pair = [](const char* key, const std::string& value) {
        return std::string("\"") + key + "\":" + JsonString(value);
    };
    std::vector<std::string> members = {pair("kind", isReturn ? "Return" : "Sale"), pair("fiscalNumber", fiscalNumber),
                                        pair("title", title)};
    if (isReturn) {
        members.push_back(pair("saleFiscalNumber", saleFiscalNumber));
        members.push_back(pair("saleTitle", saleTitle));
        return "{" + text::Join(members, ",") + "}";
    }
    for (const auto& [key, value] :
         std::vector<std::pair<const char*, std::string>>{{"total", total},
                                                          {"tax0", tax0},
                                                          {"cash", cash},
                                                          {"nonCash", nonCash},
                                                          {"tax1", tax1},
                                                          {"district", district},
                                                          {"printer", printer},
                                                          {"taxpayer", taxpayer},
                                                          {"documentType", documentType},
                                                          {"sequence", sequence},
                                                          {"group", group},
                                                          {"stocksTotal", StocksTotal()}}) {
        members.push_back(pair(key, value));
    }
    std::vector<std::string> items;
    for (const Stock& s : stocks) {
        items.push_back("{" +
                        text::Join({pair("code", s.code), pair("name", s.name), pair("quantity", s.quantity),
                                    pair("price", s.price), pair("amount", s.amount), pair("extra2", s.extra2),
                                    pair("extra1", s.extra1)},
                                   ",") +
                        "}");
    }
    members.push_back("\"stocks\":[" + text::Join(items, ",") + "]");
    return "{" + text::Join(members, ",") + "}";
}
