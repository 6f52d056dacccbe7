#include "devices/CzechSaleRequest.h"

#include "platform/Text.h"

namespace {

// Positions of the separator outside double-quoted strings and brackets. A backslash inside a
// string escapes the next byte, so an escaped quote does not end the string.
std::vector<size_t> TopLevel(const std::string& text, char separator, bool firstOnly) {
    std::vector<size_t> found;
    bool quoted = false;
    int depth = 0;
    for (size_t i = 0; i < text.size(); ++i) {
        char c = text[i];
        if (quoted) {
            if (c == '\\') {
                ++i;
            } else if (c == '"') {
                quoted = false;
            }
        } else if (c == '"') {
            quoted = true;
        } else if (c == '{' || c == '[') {
            ++depth;
        } else if (c == '}' || c == ']') {
            --depth;
        } else if (c == separator && depth == 0) {
            found.push_back(i);
            if (firstOnly) {
                break;
            }
        }
    }
    return found;
}

std::string StripFront(const std::string& text, const char* characters) {
    size_t from = text.find_first_not_of(characters);
    return from == std::string::npos ? "" : text.substr(from);
}

std::string StripBack(const std::string& text, const char* characters) {
    size_t to = text.find_last_not_of(characters);
    return to == std::string::npos ? "" : text.substr(0, to + 1);
}

std::string StripBoth(const std::string& text, const char* characters) {
    return StripBack(StripFront(text, characters), characters);
}

// Blanks around keys, values and braces; a reply written over several lines reads the same.
constexpr const char* kBlanks = " \t\r\n";
constexpr const char* kBraces = "{ }\t\r\n";
constexpr const char* kPairEnds = " \t\r\n\"";

}  // namespace

std::string CzechSaleRequest::Escape(const std::string& value) {
    std::string out;
    out.reserve(value.size());
    for (char c : value) {
        unsigned char byte = static_cast<unsigned char>(c);
        if (c == '"' || c == '\\') {
            out += '\\';
            out += c;
        } else if (byte < 0x20) {
            out += text::Format("\\u%04x", byte);
        } else {
            out += c;
        }
    }
    return out;
}

void CzechSaleRequest::AddMember(const std::string& name, const std::string& value) {
    members.push_back("\"" + name + "\":\"" + Escape(value) + "\"");
}

std::string CzechSaleRequest::JsonObject() const {
    return "{" + text::Join(members, ",") + "}";
}

std::string CzechSaleRequest::BuildFrame(const std::string& source) {
    frames.BuildFrame(source, "Sale", {JsonObject()});
    return frames.GetFrame();
}

void CzechSaleRequest::ParseReply(const std::string& reply) {
    success = false;
    std::vector<std::string> parts = text::Split(reply, CPMSMessage::kSeparator);
    if (parts.size() < 3) {
        errorMessage = "Incorrect response format";
        return;
    }
    ReadObject(parts[2], 0);
    if (!success) {
        errorMessage = replyErrorCode.empty() && replyErrorText.empty()
                           ? "Unknown error"
                           : text::Format("%s %s", replyErrorCode.c_str(), replyErrorText.c_str());
    }
}

void CzechSaleRequest::ReadObject(const std::string& object, int depth) {
    if (depth > kMaxReplyDepth) {
        return;
    }
    size_t start = 0;
    std::vector<size_t> commas = TopLevel(object, ',', false);
    commas.push_back(object.size());
    for (size_t comma : commas) {
        std::string item = StripFront(object.substr(start, comma - start), kBlanks);
        start = comma + 1;
        if (item.empty() || item[0] != '{') {
            ReadPair(item);
            continue;
        }
        // Read with its opening stripped, then once more with its end stripped too: the second
        // reading is the one that holds for the last member.
        std::string inner = StripFront(item, kBraces);
        ReadObject(inner, depth + 1);
        ReadObject(StripBack(inner, kBraces), depth + 1);
    }
}

void CzechSaleRequest::ReadPair(const std::string& pair) {
    std::vector<size_t> colon = TopLevel(pair, ':', true);
    if (colon.empty()) {
        return;
    }
    std::string key = text::ToUpper(StripBoth(pair.substr(0, colon[0]), kPairEnds));
    std::string value = text::ReplaceAll(StripBoth(pair.substr(colon[0] + 1), kPairEnds), "\\/", "/");
    if (key == "FIK") {
        fik = value;
    } else if (key == "PKP") {
        pkp = value;
    } else if (key == "BKP") {
        bkp = value;
    } else if (key == "ERRORCODE") {
        replyErrorCode = value;
    } else if (key == "ERRORTEXT") {
        replyErrorText = value;
    } else if (key == "SUCCESS") {
        success = value == "true";
    }
}
