#pragma once

#include <string>
#include <vector>

// Filling statement templates with values. A template is a program text (with configuration
// values put in once at start, their "%" escaped); the values never become part of the format.
// Every conversion takes a typed argument, so that a text cannot end up where a number belongs.
namespace sqlformat {

// A text for the inside of a quoted SQL literal: every apostrophe doubled, so the row holds the
// text exactly as given ("It''s" keeps both of its apostrophes) and the literal cannot end early.
std::string Quote(const std::string& text);
// A check field for the inside of a literal. The check keeps its fields with every apostrophe
// doubled (CFiscalCheck::SetField), so each run is halved back first (a single one, of a field
// set directly, stays one): the row holds the PMS text itself.
std::string QuoteField(const std::string& field);
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
    // %s between quotes for a check field: quoted with QuoteField
    static Arg Field(const std::string& value);
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
