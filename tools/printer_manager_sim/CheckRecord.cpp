#include "CheckRecord.h"

#include <cstdlib>

#include "platform/CodePage.h"
#include "platform/Text.h"

namespace {

constexpr char FS = 0x1C;
constexpr char LF = 0x0A;
constexpr char FF = 0x0C;
constexpr char EOT = 0x04;

std::string Field(const std::vector<std::string>& fields, size_t n) { return n < fields.size() ? fields[n] : ""; }

std::string JsonArray(const std::vector<std::string>& values) {
    std::string out = "[";
    for (size_t i = 0; i < values.size(); ++i) {
        out += (i ? "," : "") + values[i];
    }
    return out + "]";
}

}  // namespace

std::string JsonString(const std::string& raw) {
    std::string text = platform::IsUtf8(raw) ? raw : platform::ToUtf8(raw, "1251");
    std::string out = "\"";
    for (char ch : text) {
        unsigned char c = static_cast<unsigned char>(ch);
        if (ch == '"' || ch == '\\') {
            out += '\\';
            out += ch;
        } else if (c < 0x20) {
            out += text::Format("\\u%04x", c);
        } else {
            out += ch;
        }
    }
    return out + "\"";
}

std::string RecordText(const std::string& json, const std::string& key) {
    std::string marker = "\"" + key + "\":\"";
    size_t at = json.find(marker);
    if (at == std::string::npos) {
        return "";
    }
    std::string value;
    for (size_t i = at + marker.size(); i < json.size() && json[i] != '"'; ++i) {
        if (json[i] != '\\' || i + 1 >= json.size()) {
            value += json[i];
        } else if (json[i + 1] == 'u' && i + 5 < json.size()) {
            // Only control characters are written as \u escapes.
            value += static_cast<char>(std::strtol(json.substr(i + 2, 4).c_str(), nullptr, 16));
            i += 5;
        } else {
            value += json[++i];
        }
    }
    return value;
}

std::vector<std::string> RecordObjects(const std::string& json, const std::string& key) {
    std::vector<std::string> objects;
    std::string marker = "\"" + key + "\":[";
    size_t at = json.find(marker);
    if (at == std::string::npos) {
        return objects;
    }
    // Braces inside the strings of an object do not count.
    bool inString = false;
    int depth = 0;
    size_t start = 0;
    for (size_t i = at + marker.size(); i < json.size(); ++i) {
        char c = json[i];
        if (inString) {
            if (c == '\\') {
                ++i;
            } else if (c == '"') {
                inString = false;
            }
        } else if (c == '"') {
            inString = true;
        } else if (c == '{' && depth++ == 0) {
            start = i;
        } else if (c == '}' && --depth == 0) {
            objects.push_back(json.substr(start, i - start + 1));
        } else if (c == ']' && depth == 0) {
            break;
        }
    }
    return objects;
}

bool CheckRecord::ParseCheck(const std::string& message, CheckRecord& record, std::string& error) {
    size_t headerEnd = message.find(LF);
    if (headerEnd == std::string::npos) {
        error = "no header line";
        return false;
    }
    std::vector<std::string> header = text::Split(message.substr(0, headerEnd), FS);
    if (header.size() < 18 || header[1] != "FISC" || header[2] != "Check") {
        error = "not a check header";
        return false;
    }
    record.command = "Check";
    record.printer = header[0];
    record.operatorId = header[3];
    record.operatorName = header[4];
    record.length = message.size();
    std::vector<std::string> subject = text::Split(header[16], '|');
    record.total = Field(subject, 2);
    record.room = Field(subject, 3);
    record.documentNumber = Field(subject, 4);
    std::vector<std::string> document = text::Split(header[17], '|');
    record.documentType = Field(document, 0);
    record.taxSystem = Field(document, 4);

    bool inPayments = false;
    size_t start = headerEnd + 1;
    while (start < message.size()) {
        size_t end = message.find(LF, start);
        std::string line = message.substr(start, end == std::string::npos ? std::string::npos : end - start);
        start = end == std::string::npos ? message.size() : end + 1;
        if (!line.empty() && (line[0] == FF || line[0] == EOT)) {
            break;
        }
        if (line == "=") {
            inPayments = true;
            continue;
        }
        std::vector<std::string> f = text::Split(line, '|');
        if (inPayments || f[0] == "$") {
            record.payments.push_back({Field(f, 1), Field(f, 2), Field(f, 3), Field(f, 4)});
        } else if (f[0] == "I") {
            record.texts.push_back(Field(f, 2));
        } else if (f[0] == "R") {
            record.requisites.emplace_back(Field(f, 1), Field(f, 2));
        } else if (f[0] == "%") {
            record.vatGroup = Field(f, 1);
        } else if (!line.empty()) {
            // kind|code|text 1|text 2||quantity|amount|tax bits|||||sub-code|
            // An agent follows the sub-code in a field of its own (...|||||sub-code|agent|); a
            // category takes the sub-code's place and leaves that field empty (...|||||category||).
            bool longer = f.size() > 14;
            bool withCategory = longer && Field(f, 13).empty();
            std::string subCode = withCategory ? "" : Field(f, 12) + (longer ? "|" + Field(f, 13) : "");
            record.items.push_back({Field(f, 0), Field(f, 1), Field(f, 2) + Field(f, 3), Field(f, 5),
                                    Field(f, 6), Field(f, 7), subCode, withCategory ? Field(f, 12) : ""});
        }
    }
    return true;
}

std::string CheckRecord::ToJson() const {
    std::vector<std::string> itemTexts;
    for (const Item& item : items) {
        itemTexts.push_back("{\"kind\":" + JsonString(item.kind) + ",\"code\":" + JsonString(item.code) +
                            ",\"description\":" + JsonString(item.description) + ",\"quantity\":" +
                            JsonString(item.quantity) + ",\"amount\":" + JsonString(item.amount) +
                            ",\"taxBits\":" + JsonString(item.taxBits) + ",\"subCode\":" + JsonString(item.subCode) +
                            ",\"category\":" + JsonString(item.category) + "}");
    }
    std::vector<std::string> paymentTexts;
    for (const Payment& payment : payments) {
        paymentTexts.push_back("{\"code\":" + JsonString(payment.code) + ",\"description\":" +
                               JsonString(payment.description) + ",\"reference\":" + JsonString(payment.reference) +
                               ",\"amount\":" + JsonString(payment.amount) + "}");
    }
    std::vector<std::string> textTexts;
    for (const std::string& line : texts) {
        textTexts.push_back(JsonString(line));
    }
    std::vector<std::string> requisiteTexts;
    for (const auto& [tag, value] : requisites) {
        requisiteTexts.push_back("{\"tag\":" + JsonString(tag) + ",\"value\":" + JsonString(value) + "}");
    }
    return "{\"printer\":" + JsonString(printer) + ",\"command\":" + JsonString(command) +
           ",\"file\":" + JsonString(file) + ",\"announcedLength\":" + std::to_string(announcedLength) +
           ",\"length\":" + std::to_string(length) + ",\"documentNumber\":" + JsonString(documentNumber) +
           ",\"fiscalNumber\":" + JsonString(fiscalNumber) + ",\"documentType\":" + JsonString(documentType) +
           ",\"taxSystem\":" + JsonString(taxSystem) + ",\"operatorId\":" + JsonString(operatorId) +
           ",\"operatorName\":" + JsonString(operatorName) + ",\"room\":" + JsonString(room) +
           ",\"total\":" + JsonString(total) + ",\"vatGroup\":" + JsonString(vatGroup) +
           ",\"texts\":" + JsonArray(textTexts) + ",\"requisites\":" + JsonArray(requisiteTexts) +
           ",\"items\":" + JsonArray(itemTexts) + ",\"payments\":" + JsonArray(paymentTexts) + "}";
}
