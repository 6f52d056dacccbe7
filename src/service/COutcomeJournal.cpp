#include "service/COutcomeJournal.h"

#include <algorithm>

#include "platform/Clock.h"
#include "platform/FileSystem.h"
#include "platform/Text.h"

namespace {

using Fields = std::map<std::string, std::vector<std::string>>;

std::string Escape(const std::string& value) {
    std::string out;
    for (char c : value) {
        switch (c) {
            case '\t':
                out += "\\t";
                break;
            case '\n':
                out += "\\n";
                break;
            case '\r':
                out += "\\r";
                break;
            case '\\':
                out += "\\\\";
                break;
            default:
                out += c;
        }
    }
    return out;
}

std::string Unescape(const std::string& value) {
    std::string out;
    for (size_t i = 0; i < value.size(); ++i) {
        if (value[i] != '\\' || i + 1 == value.size()) {
            out += value[i];
            continue;
        }
        char next = value[++i];
        out += next == 't' ? '\t' : next == 'n' ? '\n' : next == 'r' ? '\r' : next;
    }
    return out;
}

std::string Field(const std::string& name, const std::string& value) {
    return "\t" + name + "=" + Escape(value);
}

std::string First(const Fields& fields, const std::string& name) {
    auto found = fields.find(name);
    return found == fields.end() || found->second.empty() ? "" : found->second.front();
}

// Texts inside a payment, whose parts "|" separates.
std::string Part(const std::string& value) {
    return text::ReplaceAll(text::ReplaceAll(value, "%", "%25"), "|", "%7C");
}
std::string FromPart(const std::string& value) {
    return text::ReplaceAll(text::ReplaceAll(value, "%7C", "|"), "%25", "%");
}

// A payment keeps what the status writes and the journal read of it.
std::string PaymentText(const struct_posting& p) {
    return text::Format("%d|%d|%.4f|%s|%d|%s|%d|%d", p.trx_no, p.trx_code, p.trx_amount,
                        Part(p.print_code).c_str(), p.pay_kind, Part(p.fisc_status).c_str(), p.bill_no,
                        p.line_type);
}

struct_posting PaymentFrom(const std::string& value) {
    std::vector<std::string> parts = text::Split(value, '|');
    parts.resize(8);
    struct_posting p;
    p.trx_no = text::ToInt(parts[0]);
    p.trx_code = text::ToInt(parts[1]);
    p.trx_amount = text::ToDouble(parts[2]);
    p.print_code = FromPart(parts[3]);
    p.pay_kind = text::ToInt(parts[4]);
    p.fisc_status = FromPart(parts[5]);
    p.bill_no = text::ToInt(parts[6]);
    p.line_type = text::ToInt(parts[7]);
    return p;
}

AnswerKind AnswerFrom(const std::string& value) {
    for (AnswerKind kind : {AnswerKind::Success, AnswerKind::DeviceError, AnswerKind::NotDelivered,
                            AnswerKind::TimedOut, AnswerKind::Cut}) {
        if (value == AnswerKindText(kind)) {
            return kind;
        }
    }
    return AnswerKind::None;
}

std::string Now() {
    platform::LocalTime t = platform::Clock::Current().Now();
    return text::Format("%02d.%02d.%04d %02d:%02d:%02d", t.day, t.month, t.year, t.hour, t.minute, t.second);
}

}  // namespace

// "\tname=value" fields, the values unescaped, by name.
Fields FieldsOf(const std::vector<std::string>& parts, size_t from) {
    Fields fields;
    for (size_t i = from; i < parts.size(); ++i) {
        size_t eq = parts[i].find('=');
        if (eq != std::string::npos) {
            fields[parts[i].substr(0, eq)].push_back(Unescape(parts[i].substr(eq + 1)));
        }
    }
    return fields;
}

std::string COutcomeJournal::CheckFields(const CFiscalCheck& c) {
    std::string out = Field("check", c.checkNumber) + Field("status", std::to_string(CodeNumber(c.statusCode))) +
                      Field("mode", std::to_string(c.checkMode)) +
                      Field("kind", std::to_string(c.documentKind)) + Field("receipt", c.receiptNumber) +
                      Field("folio", c.folioNumber) + Field("reservation", c.reservationId) +
                      Field("station", c.station) + Field("printerName", c.printerName) +
                      Field("printerId", c.printerId) + Field("shift", c.shiftNumber) +
                      Field("fiscal", c.fiscalNumber) + Field("file", c.printedFileName) +
                      Field("billDate", c.billDate) + Field("paid", text::Format("%.4f", c.paymentsTotal));
    // The registration fields some devices return (17 to 21).
    for (int number = 17; number <= 21; ++number) {
        out += Field("f" + std::to_string(number), c.GetField(number));
    }
    for (const struct_posting& payment : c.payments) {
        out += Field("pay", PaymentText(payment));
    }
    for (const struct_posting& line : c.removedLines) {
        out += Field("removed", PaymentText(line));
    }
    return out;
}

CFiscalCheck COutcomeJournal::CheckFrom(const std::string& checkFields) {
    Fields fields = FieldsOf(text::Split(checkFields, '\t'), 0);
    CFiscalCheck c;
    c.statusCode = static_cast<CheckStatusCode>(text::ToInt(First(fields, "status")));
    c.checkMode = text::ToInt(First(fields, "mode"));
    c.documentKind = text::ToInt(First(fields, "kind"));
    c.checkNumber = First(fields, "check");
    c.receiptNumber = First(fields, "receipt");
    c.folioNumber = First(fields, "folio");
    c.reservationId = First(fields, "reservation");
    c.station = First(fields, "station");
    c.printerName = First(fields, "printerName");
    c.printerId = First(fields, "printerId");
    c.shiftNumber = First(fields, "shift");
    c.fiscalNumber = First(fields, "fiscal");
    c.printedFileName = First(fields, "file");
    c.billDate = First(fields, "billDate");
    c.paymentsTotal = text::ToDouble(First(fields, "paid"));
    // The record holds these as the check kept them, apostrophes doubled already: SetField
    // would double them once more at every reading.
    std::string* kept[] = {&c.companyExtra, &c.companyTaxId, &c.guestFirstName, &c.guestLastName, &c.companyName};
    for (int number = 17; number <= 21; ++number) {
        *kept[number - 17] = First(fields, "f" + std::to_string(number));
    }
    auto lines = [&fields](const std::string& name) {
        std::vector<struct_posting> out;
        auto found = fields.find(name);
        if (found != fields.end()) {
            for (const std::string& value : found->second) {
                out.push_back(PaymentFrom(value));
            }
        }
        return out;
    };
    c.payments = lines("pay");
    c.removedLines = lines("removed");
    return c;
}

CFiscalCheck COutcomeJournal::Entry::Check() const {
    return CheckFrom(checkFields);
}

COutcomeJournal::Entry COutcomeJournal::EntryOf(State state, const std::string& printer,
                                                const CFiscalCheck& check) {
    Entry entry;
    entry.state = state;
    entry.printer = printer;
    entry.time = Now();
    entry.firstTransaction = check.payments.empty() ? 0 : check.payments.front().trx_no;
    entry.checkFields = CheckFields(check);
    return entry;
}

bool COutcomeJournal::Read(const std::string& folder, std::string& error) {
    path = platform::JoinPath(folder, kFileName);
    entries.clear();
    std::string content;
    if (platform::FileExists(path) && !platform::ReadFile(path, content)) {
        error = "Can't read " + path;
        return false;
    }
    for (const std::string& line : text::Split(content, '\n')) {
        if (!line.empty()) {
            Apply(line);
        }
    }
    return true;
}

bool COutcomeJournal::Open(const std::string& folder, std::string& error) {
    if (!Read(folder, error)) {
        return false;
    }
    // Only what is still pending is kept.
    if (!Compact()) {
        error = "Can't write " + path;
        return false;
    }
    return true;
}

namespace {

const char* KindOf(COutcomeJournal::State state) {
    switch (state) {
        case COutcomeJournal::State::Outcome:
            return "outcome";
        case COutcomeJournal::State::InDoubt:
            return "doubt";
        case COutcomeJournal::State::Sending:
            break;
    }
    return "sending";
}

}  // namespace

bool COutcomeJournal::Compact() {
    std::string kept;
    for (const auto& [key, entry] : entries) {
        kept += RecordOf(KindOf(entry.state), key, entry);
    }
    if (!platform::ReplaceFile(path, kept)) {
        return false;
    }
    compactedSize = static_cast<int64_t>(kept.size());
    return true;
}

bool COutcomeJournal::CompactWhenGrown() {
    // Settled records say nothing any more: the file is rewritten once it has grown, so that it
    // stays small in a service that runs for months, but not at every record while many keys
    // are pending.
    if (platform::FileSize(path) <= std::max(kLongestFile, 2 * compactedSize)) {
        return true;
    }
    return Compact();
}

void COutcomeJournal::Apply(const std::string& line) {
    std::vector<std::string> parts = text::Split(line, '\t');
    Fields fields = FieldsOf(parts, 1);
    std::string key = First(fields, "key");
    if (key.empty()) {
        return;  // a line cut by a crash while it was written
    }
    Entry entry;
    entry.time = First(fields, "time");
    entry.printer = First(fields, "printer");
    entry.answer = AnswerFrom(First(fields, "answer"));
    entry.firstTransaction = text::ToInt(First(fields, "trx"));
    // The check's own fields follow the record's five.
    std::vector<std::string> own(parts.begin() + std::min<size_t>(parts.size(), 6), parts.end());
    entry.checkFields = own.empty() ? "" : "\t" + text::Join(own, "\t");
    Enter(parts[0], key, entry);
}

void COutcomeJournal::Enter(const std::string& kind, const std::string& key, const Entry& entry) {
    if (kind == "settled") {
        entries.erase(key);
        return;
    }
    Entry& kept = entries[key] = entry;
    kept.key = key;
    kept.state = kind == "outcome" ? State::Outcome : kind == "doubt" ? State::InDoubt : State::Sending;
}

std::string COutcomeJournal::RecordOf(const std::string& kind, const std::string& key,
                                      const Entry& entry) const {
    // key, time, printer, trx and answer first, then the check's own fields (check= the first).
    std::string record =
        kind + Field("key", key) + Field("time", entry.time) + Field("printer", entry.printer) +
        Field("trx", std::to_string(entry.firstTransaction)) + Field("answer", AnswerKindText(entry.answer));
    return record + entry.checkFields + "\n";
}

bool COutcomeJournal::Append(const std::string& kind, const std::string& key, const Entry& entry) {
    std::string record = RecordOf(kind, key, entry);
    return platform::AppendToFile(path, record, false);
}

bool COutcomeJournal::Keep(State state, const std::string& key, const std::string& printer,
                           const CFiscalCheck& check) {
    Entry entry = EntryOf(state, printer, check);
    if (!Append(KindOf(state), key, entry)) {
        return false;
    }
    Enter(KindOf(state), key, entry);
    return true;
}

bool COutcomeJournal::Sending(const std::string& key, const std::string& printer, const CFiscalCheck& check) {
    return Keep(State::Sending, key, printer, check);
}

bool COutcomeJournal::InDoubt(const std::string& key, AnswerKind answer) {
    auto found = entries.find(key);
    Entry entry = found == entries.end() ? Entry() : found->second;
    entry.answer = answer;
    entry.time = Now();
    if (!Append("doubt", key, entry)) {
        return false;
    }
    Enter("doubt", key, entry);
    return true;
}

bool COutcomeJournal::Outcome(const std::string& key, const std::string& printer, const CFiscalCheck& check) {
    return Keep(State::Outcome, key, printer, check);
}

bool COutcomeJournal::Settled(const std::string& key) {
    auto found = entries.find(key);
    if (found == entries.end()) {
        return true;
    }
    // On disk first: a settled record that could not be written leaves the key pending, to be
    // settled again, rather than lost and counted in doubt at the next start.
    const Entry entry = found->second;
    if (!Append("settled", key, entry)) {
        return false;
    }
    Enter("settled", key, entry);
    CompactWhenGrown();
    return true;
}

bool COutcomeJournal::Sync() {
    return platform::SyncFile(path);
}

const COutcomeJournal::Entry* COutcomeJournal::Find(const std::string& key, int trxNo) const {
    auto found = entries.find(key);
    if (found != entries.end()) {
        return &found->second;
    }
    for (const auto& [other, entry] : entries) {
        if (trxNo != 0 && entry.firstTransaction == trxNo) {
            return &entry;
        }
    }
    return nullptr;
}

std::vector<std::string> COutcomeJournal::KeysIn(State state) const {
    std::vector<std::string> keys;
    for (const auto& [key, entry] : entries) {
        if (entry.state == state) {
            keys.push_back(key);
        }
    }
    return keys;
}
