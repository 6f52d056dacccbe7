#include "FaultSetting.h"

#include <sstream>
#include <vector>

#include "platform/Text.h"

namespace {

bool ReadNumber(const std::string& value, int& target) {
    if (value.empty() || value.find_first_not_of("0123456789") != std::string::npos || value.size() > 9) {
        return false;
    }
    target = text::ToInt(value);
    return true;
}

}  // namespace

bool FaultSetting::Parse(const std::string& line, std::string& error) {
    FaultSetting parsed;
    std::string rest = text::Trim(line);
    size_t blank = rest.find(' ');
    std::string word = text::ToLower(rest.substr(0, blank));
    rest = blank == std::string::npos ? "" : text::Trim(rest.substr(blank + 1));
    if (word.empty() || word == "none") {
        parsed.mode = Mode::None;
    } else if (word == "refuse") {
        parsed.mode = Mode::Refuse;
    } else if (word == "delay") {
        parsed.mode = Mode::Delay;
    } else if (word == "close") {
        parsed.mode = Mode::Close;
    } else if (word == "error") {
        parsed.mode = Mode::Error;
    } else if (word == "garbage") {
        parsed.mode = Mode::Garbage;
    } else if (word == "offline") {
        parsed.mode = Mode::Offline;
    } else if (word == "endless") {
        parsed.mode = Mode::Endless;
    } else if (word == "cut") {
        parsed.mode = Mode::Cut;
        parsed.bytes = 12;
    } else if (word == "long") {
        parsed.mode = Mode::Long;
        parsed.bytes = 20000;
    } else {
        error = "unknown fault \"" + word + "\"";
        return false;
    }
    while (!rest.empty()) {
        size_t eq = rest.find('=');
        if (eq == std::string::npos) {
            error = "expected key=value at \"" + rest + "\"";
            return false;
        }
        std::string key = text::ToLower(text::Trim(rest.substr(0, eq)));
        std::string after = rest.substr(eq + 1);
        if (key == "text") {
            parsed.errorText = after;
            break;
        }
        size_t end = after.find(' ');
        std::string value = after.substr(0, end);
        rest = end == std::string::npos ? "" : text::Trim(after.substr(end + 1));
        bool ok = true;
        if (key == "ms") {
            ok = ReadNumber(value, parsed.delayMs);
        } else if (key == "count") {
            ok = ReadNumber(value, parsed.count);
        } else if (key == "bytes") {
            ok = ReadNumber(value, parsed.bytes);
        } else if (key == "code") {
            // The answer's first character is the result; "0" would be success.
            ok = !value.empty() && value[0] != '0';
            parsed.errorCode = value;
        } else if (key == "kind") {
            parsed.kind = value;
        } else {
            ok = false;
        }
        if (!ok) {
            error = "bad value for " + key + ": \"" + value + "\"";
            return false;
        }
    }
    *this = parsed;
    return true;
}

bool FaultSetting::Applies(const std::string& messageKind) const {
    return mode != Mode::None && mode != Mode::Refuse && count != 0 && (kind.empty() || kind == messageKind);
}

std::string FaultSetting::Describe() const {
    static const char* const names[] = {"none",  "refuse",  "delay", "close",
                                        "error", "garbage", "long",  "cut", "offline", "endless"};
    std::ostringstream out;
    out << names[static_cast<int>(mode)];
    if (mode == Mode::Delay) {
        out << " ms=" << delayMs;
    }
    if (mode == Mode::Garbage || mode == Mode::Long || mode == Mode::Cut) {
        out << " bytes=" << bytes;
    }
    if (!kind.empty()) {
        out << " kind=" << kind;
    }
    if (count >= 0) {
        out << " count=" << count;
    }
    if (mode == Mode::Error || mode == Mode::Offline) {
        out << " code=" << errorCode << " text=" << errorText;
    }
    return out.str();
}
