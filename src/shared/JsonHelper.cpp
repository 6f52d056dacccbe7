#include "shared/JsonHelper.h"

#include <atomic>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "platform/Text.h"

namespace {

std::atomic<JsonHelper::LogSink> logSink{nullptr};

bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

// The character that a backslash before c stands for; 0 when the pair is no escape of the reader
// (a doubled backslash is handled apart, after every other pair).
char EscapedCharacter(char c) {
    switch (c) {
        case 'b':
            return '\b';
        case 'f':
            return '\f';
        case 'r':
            return '\r';
        case 'n':
            return '\n';
        case 't':
            return '\t';
        case '/':
            return '/';
        case '"':
            return '"';
        default:
            return 0;
    }
}

// Warnings of one record, nested arrays included: a hostile reply full of bad brackets gives a
// few lines, not one per character or per element.
constexpr int kWarningsPerRecord = 10;
thread_local int readDepth = 0;
thread_local int warningsLeft = kWarningsPerRecord;

// Entered by every read; the outermost one gives its record a fresh allowance.
struct RecordScope {
    RecordScope() {
        if (readDepth++ == 0) {
            warningsLeft = kWarningsPerRecord;
        }
    }
    ~RecordScope() { --readDepth; }
    RecordScope(const RecordScope&) = delete;
    RecordScope& operator=(const RecordScope&) = delete;
};

void Warn(const char* text) {
    if (warningsLeft > 0) {
        --warningsLeft;
        JsonHelper::Log(1, "%s", text);
        if (warningsLeft == 0) {
            JsonHelper::Log(1, "Further warnings of this record are not logged");
        }
    }
}

// Keeps a member that is not empty while fewer than maxCount were taken.
void TakeMember(const std::string& text, size_t maxCount, std::vector<std::string>& out, size_t& taken) {
    std::string member = JsonHelper::TrimBlanks(text);
    if (!member.empty() && taken < maxCount) {
        out.push_back(std::move(member));
        ++taken;
    }
}

}  // namespace

void JsonHelper::SetLogSink(LogSink sink) { logSink.store(sink); }

void JsonHelper::Log(int level, const char* format, ...) {
    LogSink sink = logSink.load();
    if (!sink) {
        return;
    }
    va_list args;
    va_start(args, format);
    sink(level, format, args);
    va_end(args);
}

char* JsonHelper::ToJson(char* buffer, size_t size) { return buffer; }

std::string JsonHelper::TrimBlanks(const std::string& text) { return StripBlanksAnd(text, ""); }

std::string JsonHelper::StripBlanksAnd(const std::string& text, const char* extra) {
    auto strip = [extra](char c) { return IsBlank(c) || (c != '\0' && std::strchr(extra, c)); };
    size_t first = 0;
    size_t last = text.size();
    while (first < last && strip(text[first])) {
        ++first;
    }
    while (last > first && strip(text[last - 1])) {
        --last;
    }
    return text.substr(first, last - first);
}

std::string JsonHelper::Unquote(const std::string& text) {
    std::string trimmed = TrimBlanks(text);
    if (trimmed.size() >= 2 && trimmed.front() == '"' && trimmed.back() == '"') {
        return trimmed.substr(1, trimmed.size() - 2);
    }
    return trimmed;
}

size_t JsonHelper::SplitJsonMembers(const std::string& text, size_t maxCount, std::vector<std::string>& out) {
    RecordScope scope;
    const std::string source = TrimBlanks(text);
    size_t taken = 0;
    bool inString = false;
    int brackets = 0;
    int braces = 0;
    size_t memberStart = 0;
    bool nestingWarned = false;
    for (size_t i = 0; i < source.size(); ++i) {
        const char c = source[i];
        if (c == '"') {
            // A quote preceded by a backslash inside a string is part of the string.
            if (!(inString && i > 0 && source[i - 1] == '\\')) {
                inString = !inString;
            }
        } else if (!inString) {
            if (c == '[') {
                ++brackets;
            } else if (c == ']') {
                --brackets;
            } else if (c == '{') {
                ++braces;
            } else if (c == '}') {
                --braces;
            } else if (c == ',' && brackets == 0 && braces == 0) {
                TakeMember(source.substr(memberStart, i - memberStart), maxCount, out, taken);
                memberStart = i + 1;
            }
        }
        if ((brackets < 0 || braces < 0) && !nestingWarned) {
            // Once per text: a run of closing brackets would otherwise write a line for each.
            Warn("Invalid bracket nesting level");
            nestingWarned = true;
        }
    }
    TakeMember(source.substr(memberStart), maxCount, out, taken);
    if (brackets > 0 || braces > 0) {
        Warn("Invalid bracket nesting count");
    }
    if (inString) {
        Warn("Invalid string quotes nesting");
    }
    return taken;
}

std::string JsonHelper::JsonUnescape(const std::string& text) {
    // One pass that gives what replacing the pairs \b \f \r \n \t \/ \" and then \\ over the
    // whole text, one after another, gives: a backslash before one of those seven letters is
    // that character even when the backslash is itself the second half of "\\" (so "\\n" is a
    // backslash and a line feed), and only the backslashes left over pair up as "\\".
    const size_t n = text.size();
    auto escapes = [&](size_t i) { return i + 1 < n && text[i] == '\\' && EscapedCharacter(text[i + 1]) != 0; };
    std::string out;
    out.reserve(n);
    for (size_t i = 0; i < n;) {
        if (escapes(i)) {
            out += EscapedCharacter(text[i + 1]);
            i += 2;
        } else if (text[i] == '\\' && i + 1 < n && text[i + 1] == '\\' && !escapes(i + 1)) {
            out += '\\';
            i += 2;
        } else {
            out += text[i++];
        }
    }
    return Unquote(out);
}

std::string JsonHelper::JsonEscape(const std::string& text) {
    std::string out;
    out.reserve(text.size() + text.size() / 8);
    for (char c : text) {
        switch (c) {
            case '\\':
                out += "\\\\";
                break;
            case '"':
                out += "\\\"";
                break;
            case '/':
                out += "\\/";
                break;
            case '\t':
                out += "\\t";
                break;
            case '\r':
                out += "\\r";
                break;
            case '\n':
                out += "\\n";
                break;
            case '\f':
                out += "\\f";
                break;
            case '\b':
                out += "\\b";
                break;
            default:
                out += c;
                break;
        }
    }
    return out;
}

void JsonHelper::ReadMembers(const std::string& text, const MemberStore& store) {
    RecordScope scope;
    std::vector<std::string> members;
    SplitJsonMembers(StripBlanksAnd(text, "{}"), kMaxMembers, members);
    for (std::string& member : members) {
        const size_t colon = member.find(':');
        if (colon == std::string::npos) {
            continue;  // no value to store
        }
        const std::string key = Unquote(text::ToLower(member.substr(0, colon)));
        const std::string value = Unquote(member.substr(colon + 1));
        Log(5, "name: {%s} value: {%s}", key.c_str(), value.c_str());
        store(key, value);
    }
}

int32_t JsonHelper::ToInt32(const std::string& value) { return text::ToInt(value); }

uint32_t JsonHelper::ToUInt32(const std::string& value) {
    // The unsigned rule: a leading minus counts modulo 2^32, larger values saturate.
    const char* p = value.c_str();
    while (IsBlank(*p)) {
        ++p;
    }
    bool negative = false;
    if (*p == '+' || *p == '-') {
        negative = *p == '-';
        ++p;
    }
    uint64_t n = 0;
    while (*p >= '0' && *p <= '9') {
        n = n * 10 + static_cast<uint64_t>(*p - '0');
        if (n > UINT32_MAX) {
            return UINT32_MAX;
        }
        ++p;
    }
    return negative ? static_cast<uint32_t>(0u - static_cast<uint32_t>(n)) : static_cast<uint32_t>(n);
}

double JsonHelper::ToDouble(const std::string& value) {
    return text::ToDouble(value);
}

char JsonHelper::FirstChar(const std::string& value) {
    const std::string text = JsonUnescape(value);
    return text.empty() ? '\0' : text[0];
}

bool JsonHelper::ToFlag(const std::string& value) {
    return text::EqualsNoCase(value, "true");
}

void JsonHelper::BeginObject(char* buffer, size_t size) {
    start = buffer;
    cur = buffer;
    end = buffer + size;
    if (size > 0) {
        *cur = '\0';
    }
    WriteChar('{');
}

void JsonHelper::EndObject() { WriteChar('}'); }

bool JsonHelper::WriteChar(char c) {
    if (Room() < 2) {
        return false;
    }
    *cur++ = c;
    *cur = '\0';
    return true;
}

void JsonHelper::Append(const std::string& text) {
    std::memcpy(cur, text.data(), text.size());
    cur += text.size();
    *cur = '\0';
}

void JsonHelper::WriteMember(const char* key, const std::string& rendered) {
    const size_t keyLength = std::strlen(key);
    if (!(keyLength + rendered.size() + 4 < Room())) {
        return;
    }
    if (cur - start > 1 && cur[-1] != '{') {
        Append(",");
    }
    Append("\"");
    Append(key);
    Append("\":");
    Append(rendered);
}

void JsonHelper::WriteText(const char* key, const std::string& value) {
    std::string rendered(1, '"');
    rendered += JsonEscape(value);
    rendered += '"';
    WriteMember(key, rendered);
}

void JsonHelper::WriteInt(const char* key, int32_t value) { WriteMember(key, std::to_string(value)); }

void JsonHelper::WriteUInt(const char* key, uint32_t value) { WriteMember(key, std::to_string(value)); }

void JsonHelper::WriteDouble(const char* key, double value) {
    char number[512];  // "%f" of the largest double takes some 320 characters
    std::snprintf(number, sizeof number, "%f", value);
    WriteMember(key, number);
}

void JsonHelper::WriteFlag(const char* key, bool value) { WriteMember(key, value ? "true" : "false"); }

void JsonHelper::WriteCharText(const char* key, char value) {
    WriteText(key, value ? std::string(1, value) : std::string());
}

bool JsonHelper::BeginArray(const char* key) {
    char* before = cur;
    WriteMember(key, "[");
    return cur != before;
}

void JsonHelper::WriteNested(JsonHelper& record) {
    record.ToJson(cur, Room());
    cur += std::strlen(cur);
}
