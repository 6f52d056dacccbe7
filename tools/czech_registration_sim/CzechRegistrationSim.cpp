#include "CzechRegistrationSim.h"

#include <cstdio>
#include <fstream>

#include "CheckRecord.h"
#include "platform/Text.h"

namespace {

constexpr size_t kSignatureBytes = 256;
constexpr size_t kKeptRecords = 100000;

// 64-bit FNV-1a, the seed of the deterministic codes.
uint64_t Hash(const std::string& text) {
    uint64_t h = 1469598103934665603ull;
    for (char c : text) {
        h ^= static_cast<unsigned char>(c);
        h *= 1099511628211ull;
    }
    return h;
}

uint64_t Next(uint64_t& state) {
    state ^= state << 13;
    state ^= state >> 7;
    state ^= state << 17;
    return state;
}

std::string Hex(uint64_t& state, size_t digits) {
    std::string out;
    while (out.size() < digits) {
        out += text::Format("%016llx", static_cast<unsigned long long>(Next(state)));
    }
    return out.substr(0, digits);
}

std::string Base64(const std::string& bytes) {
    static const char* const alphabet = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    std::string out;
    for (size_t i = 0; i < bytes.size(); i += 3) {
        uint32_t n = static_cast<unsigned char>(bytes[i]) << 16;
        n |= i + 1 < bytes.size() ? static_cast<unsigned char>(bytes[i + 1]) << 8 : 0;
        n |= i + 2 < bytes.size() ? static_cast<unsigned char>(bytes[i + 2]) : 0;
        out += alphabet[(n >> 18) & 63];
        out += alphabet[(n >> 12) & 63];
        out += i + 1 < bytes.size() ? alphabet[(n >> 6) & 63] : '=';
        out += i + 2 < bytes.size() ? alphabet[n & 63] : '=';
    }
    return out;
}

// A reply member; the service writes "/" as "\/", as JSON writers of its kind do.
std::string ReplyMember(const std::string& name, const std::string& value) {
    return "\"" + name + "\":\"" + text::ReplaceAll(value, "/", "\\/") + "\"";
}

std::string Garbage(int bytes) {
    // Deterministic junk holding separators but no end byte before the last.
    std::string out = "\xff\x1c";
    uint64_t state = 88172645463325252ull;
    while (static_cast<int>(out.size()) < bytes - 1) {
        char c = static_cast<char>(Next(state) & 0xff);
        out += c == SaleFrame::kEnd ? SaleFrame::kSeparator : c;
    }
    return out + SaleFrame::kEnd;
}

}  // namespace

std::string CzechRegistrationSim::Registration::ToJson() const {
    return "{\"printer\":" + JsonString(printer) + ",\"receiptNumber\":" + JsonString(receiptNumber) +
           ",\"saleDateTime\":" + JsonString(saleDateTime) + ",\"totalAmount\":" + JsonString(totalAmount) +
           ",\"firstSending\":" + (firstSending ? "true" : "false") + ",\"outcome\":" + JsonString(outcome) +
           ",\"fik\":" + JsonString(fik) + ",\"bkp\":" + JsonString(bkp) + ",\"pkp\":" + JsonString(pkp) +
           ",\"request\":" + JsonString(json) + "}";
}

CzechRegistrationSim::CzechRegistrationSim(Options opts)
    : LoopbackServer(SaleFrame::kEnd, "cz-sim"), options(std::move(opts)), faults(options.fault) {}

CzechRegistrationSim::~CzechRegistrationSim() { Stop(); }

void CzechRegistrationSim::Note(const std::string& text) const {
    if (options.verbose) {
        std::fprintf(stderr, "czech_registration_sim: %s\n", text.c_str());
    }
}

void CzechRegistrationSim::SetFault(const FaultSetting& setting) {
    faults.Set(setting);
    Note("fault: " + setting.Describe());
}

FaultSetting CzechRegistrationSim::Fault() const { return faults.Get(); }

std::vector<CzechRegistrationSim::Registration> CzechRegistrationSim::Registrations() const {
    std::lock_guard<std::mutex> guard(mutex);
    return registrations;
}

std::vector<std::string> CzechRegistrationSim::Rejections() const {
    std::lock_guard<std::mutex> guard(mutex);
    return rejections;
}

void CzechRegistrationSim::Poll() {
    if (faults.Poll(options.controlPath, "czech_registration_sim")) {
        Note("fault: " + faults.Get().Describe());
    }
}

std::string CzechRegistrationSim::SignatureCode(const std::string& saleData) {
    uint64_t state = Hash(saleData) | 1;
    std::string signature;
    while (signature.size() < kSignatureBytes) {
        signature += static_cast<char>(Next(state) & 0xff);
    }
    return Base64(signature);
}

std::string CzechRegistrationSim::SecurityCode(const std::string& signatureCode) {
    uint64_t state = Hash(signatureCode) | 1;
    std::string hex = Hex(state, 40);
    return hex.substr(0, 8) + "-" + hex.substr(8, 8) + "-" + hex.substr(16, 8) + "-" + hex.substr(24, 8) + "-" +
           hex.substr(32, 8);
}

std::string CzechRegistrationSim::NewFik() {
    uint64_t state = Hash(text::Format("fik %llu", static_cast<unsigned long long>(++issued))) | 1;
    std::string hex = Hex(state, 34);
    return hex.substr(0, 8) + "-" + hex.substr(8, 4) + "-" + hex.substr(12, 4) + "-" + hex.substr(16, 4) + "-" +
           hex.substr(20, 12) + "-" + hex.substr(32, 2);
}

CzechRegistrationSim::Registration CzechRegistrationSim::Register(const SaleFrame& sale, bool offline) {
    Registration r;
    r.printer = sale.source;
    r.receiptNumber = sale.Member("ReceiptNumber");
    r.saleDateTime = sale.Member("SaleDateTime");
    r.totalAmount = sale.Member("TotalAmount");
    r.firstSending = sale.Member("FirstSending") != "false";
    r.json = sale.fields.empty() ? "" : sale.fields[0];
    // The signature covers what identifies the sale, as the real one does.
    r.pkp = SignatureCode(text::Join({sale.Member("TaxPayerID"), sale.Member("SiteID"), sale.Member("PosID"),
                                      r.receiptNumber, r.saleDateTime, r.totalAmount},
                                     "|"));
    r.bkp = SecurityCode(r.pkp);
    // One sale: the same receipt with the same data (two payments of one bill share a receipt
    // number but are two sales).
    std::string key = sale.Member("TaxPayerID") + "|" + sale.Member("SiteID") + "|" + r.receiptNumber + "|" + r.bkp;
    std::lock_guard<std::mutex> guard(mutex);
    auto found = known.find(key);
    if (offline) {
        r.outcome = "offline";
    } else if (found == known.end() || found->second.fik.empty()) {
        r.outcome = "registered";
        r.fik = NewFik();
    } else if (!r.firstSending) {
        r.outcome = "repeat";
        r.fik = found->second.fik;
    } else {
        r.outcome = "duplicate";
        r.fik = NewFik();
    }
    if (found == known.end() || found->second.fik.empty()) {
        known[key] = Known{r.fik, r.bkp};
    }
    return r;
}

void CzechRegistrationSim::Record(const Registration& registration) {
    std::string json = registration.ToJson();
    std::lock_guard<std::mutex> guard(mutex);
    registrations.push_back(registration);
    if (registrations.size() > kKeptRecords) {
        registrations.erase(registrations.begin());
    }
    if (!options.recordsPath.empty()) {
        std::ofstream out(options.recordsPath, std::ios::app);
        out << json << '\n';
    }
    Note("registered " + json);
}

std::string CzechRegistrationSim::ErrorReply(const SaleFrame& sale, const std::string& code, const std::string& text,
                                             const Registration* offline) const {
    std::vector<std::string> members = {ReplyMember("SUCCESS", "false"), ReplyMember("ERRORCODE", code),
                                        ReplyMember("ERRORTEXT", text)};
    if (offline) {
        members.push_back(ReplyMember("PKP", offline->pkp));
        members.push_back(ReplyMember("BKP", offline->bkp));
    }
    return SaleFrame::Write(sale.source, sale.sequence, "Sale", {"{" + text::Join(members, ",") + "}"});
}

std::string CzechRegistrationSim::Reply(const std::string& request, bool& closeNow, bool* endless) {
    SaleFrame sale;
    std::string error;
    if (!SaleFrame::Read(request, sale, error) || !sale.CheckMembers(error)) {
        {
            std::lock_guard<std::mutex> guard(mutex);
            rejections.push_back(error);
        }
        Note("refused: " + error);
        return ErrorReply(sale, "3", "Bad request: " + error, nullptr);
    }
    // "kind=Sale" meets first sendings only, "kind=Repeat" repeated ones, "kind=receipt:R" the
    // first sendings of receipt number R.
    bool first = sale.Member("FirstSending") != "false";
    std::string kind = first ? "Sale" : "Repeat";
    std::string ofReceipt = "receipt:" + sale.Member("ReceiptNumber");
    if (first && faults.Get().kind == ofReceipt) {
        kind = ofReceipt;
    }
    FaultSetting taken = faults.Take(kind);
    switch (taken.mode) {
        case FaultSetting::Mode::Close:
            Note("closing before the answer");
            closeNow = true;
            return "";
        case FaultSetting::Mode::Error:
            return ErrorReply(sale, taken.errorCode, taken.errorText, nullptr);
        case FaultSetting::Mode::Endless:
            Note("an endless reply");
            if (endless) {
                *endless = true;
            }
            return std::string(4096, 'x');
        default:
            break;
    }
    bool offline = taken.mode == FaultSetting::Mode::Offline;
    if (options.observer) {
        options.observer("check");
    }
    Registration registration = Register(sale, offline);
    Record(registration);
    if (options.observer) {
        options.observer("registered");
    }
    // A late answer: the sale is registered first, the answer follows after the delay.
    if (taken.mode == FaultSetting::Mode::Delay && WaitForStop(taken.delayMs)) {
        closeNow = true;
        return "";
    }
    if (offline) {
        return ErrorReply(sale, taken.errorCode, taken.errorText, &registration);
    }
    if (taken.mode == FaultSetting::Mode::Garbage) {
        return Garbage(taken.bytes);
    }
    std::string answer = SaleFrame::Write(
        sale.source, sale.sequence, "Sale",
        {"{" + text::Join({ReplyMember("SUCCESS", "true"), ReplyMember("FIK", registration.fik),
                           ReplyMember("BKP", registration.bkp), ReplyMember("PKP", registration.pkp)},
                          ",") +
         "}"});
    if (taken.mode == FaultSetting::Mode::Cut) {
        // Registered, but the connection breaks in the middle of the answer.
        closeNow = true;
        return answer.substr(0, static_cast<size_t>(taken.bytes));
    }
    return answer;
}
