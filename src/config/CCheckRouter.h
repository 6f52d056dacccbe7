#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "config/CPrinterControl.h"

class CFiscalCheck;
class CFiscalINI;
class CFiscalPrinter;
class CLogFile;

// Where the configuration sends a check: what its rules said and the printer that registers it.
struct CheckRoute {
    // The rules let the check be registered as it is.
    bool rulesOk = false;
    // A printer was chosen: the one the check is bound to, or the first of its print line.
    bool printerChosen = false;
    // The chosen printer; after a failure the reserve printer takes its place.
    CPrinterControl printer;
    // How the chosen printer is reached ("host : port"); empty when its connection is not set.
    std::string connection;
    // What the rules tell more when they refuse (4 a line of the wrong sign: a short check may do).
    int32_t ruleVerdict = 7;
    // Why the rules refused, as the configuration left it once the printer's rules were applied.
    std::string rulesError;
    // Why the print lines gave no printer.
    std::string printerError;
};

// Routes a check in one call: its rules, its print line and printer, that printer's rules.
// The printers and print lines stay the configuration's; the worker only reads the answer.
class CCheckRouter {
public:
    // The printer a check in doubt is bound to, asked once the rules are applied; empty when
    // the check is bound to none.
    using BoundPrinter = std::function<std::string(CFiscalCheck&)>;

    CCheckRouter(CFiscalINI& configuration, CFiscalPrinter& registry, CLogFile& log)
        : configuration(configuration), registry(registry), log(log) {}

    // The rules; unless their status code closes the check (not to register, a wrong payment),
    // its printer (the bound one, or the first of its line) and that printer's tax rules.
    CheckRoute Route(CFiscalCheck& check, const BoundPrinter& bound);
    // After a failed attempt: the next printer of the check's line into the route; false when the
    // line has none.
    bool Reserve(CFiscalCheck& check, CheckRoute& route);
    // The configured printer of that name, or a control holding only the name.
    CPrinterControl PrinterNamed(const std::string& name) const;

private:
    // A printer that is not in the configured list has no device to register on: told here.
    void TellUnlisted(const std::string& name);

    CFiscalINI& configuration;
    CFiscalPrinter& registry;
    CLogFile& log;
};
