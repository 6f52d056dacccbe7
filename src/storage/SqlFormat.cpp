#include "storage/SqlFormat.h"

#include <cctype>
#include <charconv>

namespace sqlformat {

std::string Quote(const std::string& text) {
    std::string out;
    out.reserve(text.size() + 2);
    for (char c : text) {
        out += c;
        if (c == '\'') {
            out += '\'';
        }
    }
    return out;
}

std::string QuoteField(const std::string& field) {
    std::string text;
    text.reserve(field.size());
    for (size_t i = 0; i < field.size();) {
        if (field[i] != '\'') {
            text += field[i++];
            continue;
        }
        size_t run = 0;
        while (i < field.size() && field[i] == '\'') {
            ++run;
            ++i;
        }
        text.append((run + 1) / 2, '\'');
    }
    return Quote(text);
}

std::string LineText(const std::string& text) {
    std::string cleaned = text;
    for (char& c : cleaned) {
        if (c == '%') {
            c = '#';
        }
    }
    return Quote(cleaned);
}

bool IsNumber(const std::string& text) {
    size_t i = 0;
    if (i < text.size() && (text[i] == '-' || text[i] == '+')) {
        ++i;
    }
    size_t digits = 0;
    bool point = false;
    for (; i < text.size(); ++i) {
        if (std::isdigit(static_cast<unsigned char>(text[i]))) {
            ++digits;
        } else if (text[i] == '.' && !point) {
            point = true;
        } else {
            return false;
        }
    }
    return digits > 0;
}

bool IsName(const std::string& text) {
    if (text.empty() || !std::isalpha(static_cast<unsigned char>(text[0]))) {
        return false;
    }
    for (char c : text) {
        if (!std::isalnum(static_cast<unsigned char>(c)) && c != '_' && c != '$' && c != '#') {
            return false;
        }
    }
    return true;
}

std::string EscapePercent(const std::string& text) {
    std::string out;
    for (char c : text) {
        out += c;
        if (c == '%') {
            out += '%';
        }
    }
    return out;
}

Arg Arg::Int(long long value) {
    Arg a;
    a.kind = Kind::Integer;
    a.integer = value;
    return a;
}

Arg Arg::Real(double value) {
    Arg a;
    a.kind = Kind::Real;
    a.real = value;
    return a;
}

Arg Arg::Text(const std::string& value) {
    Arg a;
    a.text = Quote(value);
    return a;
}

Arg Arg::Field(const std::string& value) {
    Arg a;
    a.text = QuoteField(value);
    return a;
}

Arg Arg::Number(const std::string& value) {
    Arg a;
    a.text = value;
    a.valid = IsNumber(value);
    return a;
}

Arg Arg::NumberOrNull(const std::string& value) {
    Arg a;
    a.text = IsNumber(value) ? value : "NULL";
    return a;
}

Arg Arg::Raw(const std::string& value) {
    Arg a;
    a.text = value;
    return a;
}

bool Format(const std::string& tmpl, const std::vector<Arg>& args, std::string& out, std::string& error) {
    out.clear();
    size_t next = 0;
    for (size_t i = 0; i < tmpl.size(); ++i) {
        if (tmpl[i] != '%') {
            out += tmpl[i];
            continue;
        }
        if (i + 1 < tmpl.size() && tmpl[i + 1] == '%') {
            out += '%';
            ++i;
            continue;
        }
        // %d, %s, %f or %.Nf
        size_t j = i + 1;
        int precision = 6;
        if (j < tmpl.size() && tmpl[j] == '.') {
            ++j;
            precision = 0;
            while (j < tmpl.size() && std::isdigit(static_cast<unsigned char>(tmpl[j]))) {
                precision = precision * 10 + (tmpl[j] - '0');
                ++j;
            }
        }
        char conversion = j < tmpl.size() ? tmpl[j] : '\0';
        if (conversion != 'd' && conversion != 's' && conversion != 'f') {
            error = "unknown conversion in statement template at " + std::to_string(i) + ": " + tmpl;
            return false;
        }
        if (next >= args.size()) {
            error = "too few values for statement template: " + tmpl;
            return false;
        }
        const Arg& arg = args[next++];
        switch (conversion) {
            case 'd':
                if (arg.kind != Arg::Kind::Integer) {
                    error = "value " + std::to_string(next) + " is not an integer for %d: " + tmpl;
                    return false;
                }
                out += std::to_string(arg.integer);
                break;
            case 'f': {
                if (arg.kind != Arg::Kind::Real) {
                    error = "value " + std::to_string(next) + " is not a number for %f: " + tmpl;
                    return false;
                }
                char buffer[400];
                auto result = std::to_chars(buffer, buffer + sizeof buffer, arg.real,
                                            std::chars_format::fixed, precision);
                out.append(buffer, result.ptr);
                break;
            }
            default:
                if (arg.kind != Arg::Kind::Text) {
                    error = "value " + std::to_string(next) + " is not a text for %s: " + tmpl;
                    return false;
                }
                if (!arg.valid) {
                    error = "not a number: '" + arg.text + "'";
                    return false;
                }
                out += arg.text;
                break;
        }
        i = j;
    }
    if (next != args.size()) {
        error = "too many values for statement template: " + tmpl;
        return false;
    }
    return true;
}

}  // namespace sqlformat
