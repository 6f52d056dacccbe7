#pragma once

#include <string>
#include <vector>

class CXMLParser;

// The configuration file held against what the service reads from it, before anything is
// started: a number written with a letter in it, a printer without an address or a port, are
// errors that name the element or attribute (and the printer); an element the service does not
// know in one of the sections it reads, or an unknown printer attribute, is a warning with the
// known name nearest to it, since a misspelt optional setting would otherwise be silently left
// at its default.
class CConfigurationCheck {
public:
    struct Result {
        std::vector<std::string> errors;
        std::vector<std::string> warnings;
    };

    static Result Check(CXMLParser& configuration);
    // A number as the service reads one: digits with an optional sign, blanks around them; the
    // empty text too (it reads as 0, or as the setting's default).
    static bool IsWholeNumber(const std::string& text);
    // The known name closest to the given one, when it is close enough to be a misspelling of it
    // (at most two letters off, a swapped pair counting as one); empty otherwise.
    static std::string Nearest(const std::string& name, const std::vector<std::string>& known);
};
