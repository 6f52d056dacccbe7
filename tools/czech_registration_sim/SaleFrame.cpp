#include "SaleFrame.h"

#include <algorithm>
#include <cctype>
#include <set>

#include "platform/Text.h"

namespace {

constexpr size_t kInterfaceWidth = 16;
constexpr const char* kInterfaceName = "PMS Fiscal";

bool AllDigits(const std::string& text) {
    return !text.empty() &&
           std::all_of(text.begin(), text.end(), [](char c) { return std::isdigit(static_cast<unsigned char>(c)); });
}

// "-12.34": an optional minus, digits, a point and two digits.
bool IsAmount(const std::string& text) {
    size_t start = !text.empty() && text[0] == '-' ? 1 : 0;
    size_t point = text.find('.');
    return point != std::string::npos && point > start && AllDigits(text.substr(start, point - start)) &&
           text.size() == point + 3 && AllDigits(text.substr(point + 1));
}

// "2026-03-14T14:00:00+01:00"
bool IsSaleTime(const std::string& text) {
    static const std::string shape = "dddd-dd-ddTdd:dd:dd+dd:dd";
    if (text.size() != shape.size()) {
        return false;
    }
    for (size_t i = 0; i < shape.size(); ++i) {
        char want = shape[i];
        char c = text[i];
        bool ok = want == 'd' ? std::isdigit(static_cast<unsigned char>(c)) != 0
                  : want == '+' ? (c == '+' || c == '-')
                                : c == want;
        if (!ok) {
            return false;
        }
    }
    return true;
}

class JsonReader {
public:
    explicit JsonReader(const std::string& text) : s(text) {}

    bool Object(std::vector<std::pair<std::string, std::string>>& members, std::string& error) {
        Blanks();
        if (!Take('{')) {
            return Fail("expected '{'", error);
        }
        Blanks();
        std::set<std::string> seen;
        if (!Take('}')) {
            for (;;) {
                std::string key, value;
                Blanks();
                if (!String(key, error)) {
                    return false;
                }
                Blanks();
                if (!Take(':')) {
                    return Fail("expected ':'", error);
                }
                Blanks();
                if (!String(value, error)) {
                    return false;
                }
                if (!seen.insert(key).second) {
                    return Fail("member \"" + key + "\" twice", error);
                }
                members.emplace_back(key, value);
                Blanks();
                if (Take('}')) {
                    break;
                }
                if (!Take(',')) {
                    return Fail("expected ',' or '}'", error);
                }
            }
        }
        Blanks();
        return at == s.size() || Fail("text after the object", error);
    }

private:
    bool Fail(const std::string& what, std::string& error) const {
        error = text::Format("%s at byte %zu", what.c_str(), at);
        return false;
    }
    void Blanks() {
        while (at < s.size() && (s[at] == ' ' || s[at] == '\t' || s[at] == '\r' || s[at] == '\n')) {
            ++at;
        }
    }
    bool Take(char c) {
        if (at < s.size() && s[at] == c) {
            ++at;
            return true;
        }
        return false;
    }
    bool String(std::string& out, std::string& error) {
        if (!Take('"')) {
            return Fail("expected a string", error);
        }
        while (at < s.size()) {
            unsigned char c = static_cast<unsigned char>(s[at++]);
            if (c == '"') {
                return true;
            }
            if (c < 0x20) {
                return Fail("control byte in a string", error);
            }
            if (c != '\\') {
                out += static_cast<char>(c);
                continue;
            }
            if (at >= s.size()) {
                break;
            }
            char e = s[at++];
            static const std::string plain = "\"\\/";
            static const std::string named = "bfnrt";
            static const std::string bytes = "\b\f\n\r\t";
            if (plain.find(e) != std::string::npos) {
                out += e;
            } else if (named.find(e) != std::string::npos) {
                out += bytes[named.find(e)];
            } else if (e == 'u' && at + 4 <= s.size() &&
                       std::all_of(s.begin() + static_cast<long>(at), s.begin() + static_cast<long>(at + 4),
                                   [](char h) { return std::isxdigit(static_cast<unsigned char>(h)); })) {
                unsigned code = static_cast<unsigned>(std::stoul(s.substr(at, 4), nullptr, 16));
                at += 4;
                // The service's texts are single bytes: \u00XX stands for the byte XX.
                if (code > 0xFF) {
                    return Fail("\\u escape beyond one byte", error);
                }
                out += static_cast<char>(code);
            } else {
                return Fail(std::string("bad escape \\") + e, error);
            }
        }
        return Fail("unterminated string", error);
    }

    const std::string& s;
    size_t at = 0;
};

struct MemberRule {
    const char* name;
    bool always;
    enum Form { Text, Amount, Flag, Mode, Time, False, True } form;
};

// The members of a "Sale" request in their order.
const MemberRule kRules[] = {
    {"TaxPayerID", false, MemberRule::Text},
    {"AppTaxPayerID", false, MemberRule::Text},
    {"SiteID", false, MemberRule::Text},
    {"VerificationFlag", false, MemberRule::True},
    {"SaleMode", true, MemberRule::Mode},
    {"CertFile", false, MemberRule::Text},
    {"CertPass", false, MemberRule::Text},
    {"FirstSending", false, MemberRule::False},
    {"PosID", true, MemberRule::Text},
    {"ReceiptNumber", true, MemberRule::Text},
    {"SaleDateTime", true, MemberRule::Time},
    {"TotalAmount", true, MemberRule::Amount},
    {"TotalAmountNonVAT", true, MemberRule::Amount},
    {"TotalBaseVAT1", true, MemberRule::Amount},
    {"TotalVAT1", true, MemberRule::Amount},
    {"TotalBaseVAT2", true, MemberRule::Amount},
    {"TotalVAT2", true, MemberRule::Amount},
    {"TotalBaseVAT3", true, MemberRule::Amount},
    {"TotalVAT3", true, MemberRule::Amount},
    {"TotalAmountVoucherUsing", true, MemberRule::Amount},
    {"TotalAmountVoucherSelling", true, MemberRule::Amount},
};

bool FormOk(MemberRule::Form form, const std::string& value) {
    switch (form) {
        case MemberRule::Amount:
            return IsAmount(value);
        case MemberRule::Mode:
            return value == "0" || value == "1";
        case MemberRule::Time:
            return IsSaleTime(value);
        case MemberRule::False:
            return value == "false";
        case MemberRule::True:
            return value == "true";
        default:
            return !value.empty();
    }
}

}  // namespace

unsigned SaleFrame::Checksum(const std::string& frame) {
    unsigned sum = 0;
    size_t end = frame.find(kEndOfText);
    for (size_t i = 1; i < frame.size() && i <= end; ++i) {
        sum = (sum + static_cast<unsigned char>(frame[i])) & 0xFFFF;
    }
    return sum;
}

std::string SaleFrame::Write(const std::string& source, int sequence, const std::string& command,
                             const std::vector<std::string>& fields) {
    std::string frame(1, kStart);
    frame += source;
    frame += kInterfaceName;
    frame += std::string(kInterfaceWidth - std::string(kInterfaceName).size(), ' ');
    frame += kStartOfText;
    frame += text::Format("%c%02d %s%c", kSeparator, sequence, command.c_str(), kSeparator);
    for (const std::string& field : fields) {
        frame += field + kSeparator;
    }
    if (fields.size() > 1) {
        frame.pop_back();
    }
    frame += kEndOfText;
    frame += text::Format("%04X", Checksum(frame));
    frame += kEnd;
    return frame;
}

bool SaleFrame::Read(const std::string& frame, SaleFrame& sale, std::string& error) {
    sale = SaleFrame();
    size_t stx = frame.find(kStartOfText);
    size_t etx = frame.find(kEndOfText);
    if (frame.size() < 2 || frame[0] != kStart || frame.back() != kEnd || stx == std::string::npos ||
        etx == std::string::npos || etx < stx) {
        error = "not a frame (start, end of text or end byte missing)";
        return false;
    }
    std::string header = frame.substr(1, stx - 1);
    if (header.size() < kInterfaceWidth ||
        text::TrimRight(header.substr(header.size() - kInterfaceWidth)) != kInterfaceName) {
        error = "the interface is not \"PMS Fiscal\"";
        return false;
    }
    sale.source = header.substr(0, header.size() - kInterfaceWidth);
    std::string trailer = frame.substr(etx + 1);
    if (trailer.size() != 5 || !std::all_of(trailer.begin(), trailer.end() - 1, [](char c) {
            return std::isdigit(static_cast<unsigned char>(c)) || (c >= 'A' && c <= 'F');
        })) {
        error = "the checksum is not four upper-case hexadecimal digits";
        return false;
    }
    unsigned sent = static_cast<unsigned>(std::stoul(trailer.substr(0, 4), nullptr, 16));
    if (sent != Checksum(frame)) {
        error = text::Format("checksum %04X, the bytes add up to %04X", sent, Checksum(frame));
        return false;
    }
    std::string application = frame.substr(stx + 1, etx - stx - 1);
    if (application.size() < 5 || application[0] != kSeparator || !AllDigits(application.substr(1, 2)) ||
        application[3] != ' ') {
        error = "no separator, two-digit sequence and blank after the start of text";
        return false;
    }
    sale.sequence = text::ToInt(application.substr(1, 2));
    size_t afterCommand = application.find(kSeparator, 4);
    if (sale.sequence < 1 || afterCommand == std::string::npos) {
        error = "sequence out of 1-99 or no separator after the command";
        return false;
    }
    sale.command = application.substr(4, afterCommand - 4);
    std::string fields = application.substr(afterCommand + 1);
    if (!fields.empty()) {
        sale.fields = text::Split(fields, kSeparator);
        // One field keeps the separator after it; of several, the last goes without.
        if (sale.fields.size() == 2 && sale.fields[1].empty()) {
            sale.fields.pop_back();
        }
    }
    if (sale.command != "Sale" || sale.fields.size() != 1) {
        error = "not a Sale command with one field";
        return false;
    }
    return ReadJson(sale.fields[0], sale.members, error);
}

bool SaleFrame::ReadJson(const std::string& json, std::vector<std::pair<std::string, std::string>>& members,
                         std::string& error) {
    members.clear();
    return JsonReader(json).Object(members, error);
}

bool SaleFrame::CheckMembers(std::string& error) const {
    size_t next = 0;
    for (const MemberRule& rule : kRules) {
        bool present = next < members.size() && members[next].first == rule.name;
        if (!present) {
            if (rule.always) {
                error = text::Format("member %s missing or out of order", rule.name);
                return false;
            }
            continue;
        }
        if (!FormOk(rule.form, members[next].second)) {
            error = text::Format("member %s has a bad value \"%s\"", rule.name, members[next].second.c_str());
            return false;
        }
        ++next;
    }
    if (next != members.size()) {
        error = "unknown or repeated member " + members[next].first;
        return false;
    }
    return true;
}

std::string SaleFrame::Member(const std::string& name) const {
    for (const auto& [key, value] : members) {
        if (key == name) {
            return value;
        }
    }
    return "";
}

bool SaleFrame::Has(const std::string& name) const {
    return std::any_of(members.begin(), members.end(), [&](const auto& member) { return member.first == name; });
}
