#pragma once

#include <string>
#include <vector>

// Filling statement templates with values. A template is a program text (with configuration
// values put in once at start, their "%" escaped); the values never become part of the format.
// Every conversion takes a typed argument, so that a text cannot end up where a number belongs.
namespace sqlformat {

// A text for the inside of a quoted SQL literal. Every run of apostrophes is made even: a raw
// "O'Brien" is doubled, a text whose apostrophes are doubled already (check fields, cleaned
// lines) stays as it is, and either way the literal cannot end early.
std::string Quote(const std::string& text);
// A line text (description, reference, room) as it goes into SQL: "%" becomes "#", as lines are
// cleaned for the journal, and the text is quoted.
std::string LineText(const std::string& text);
// An integer or decimal number, optionally signed, nothing else.
bool IsNumber(const std::string& text);
// A plain database name (schema, column): a letter, then letters, digits, "_", "$" or "#".
bool IsName(const std::string& text);
// A configuration value put into a template: "%" doubled so that formatting leaves it alone.
std::string EscapePercent(const std::string& text);

class Arg {
public:
    enum class Kind { Integer, Real, Text };

    // %d
    static Arg Int(long long value);
    // %f (six decimals) and %.Nf, always with "."
    static Arg Real(double value);
    // %s between quotes: quoted with Quote
    static Arg Text(const std::string& value);
    // %s for a number held as text (a bill or reservation number); anything else fails the
    // statement
    static Arg Number(const std::string& value);
    // %s for a number held as text that may be missing: empty or not a number gives NULL
    static Arg NumberOrNull(const std::string& value);
    // %s for a text of the program (an expression, a code list)
    static Arg Raw(const std::string& value);

    Kind kind = Kind::Text;
    long long integer = 0;
    double real = 0;
    std::string text;
    bool valid = true;
};

// The template with every conversion replaced by its argument, in order. False (with the reason)
// when the arguments do not fit the conversions or a number is not one.
bool Format(const std::string& statementTemplate, const std::vector<Arg>& args, std::string& out,
            std::string& error);

}  // namespace sqlformat
