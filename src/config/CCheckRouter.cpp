#include "config/CCheckRouter.h"

#include "check/CFiscalCheck.h"
#include "check/CheckStatus.h"
#include "config/CFiscalINI.h"
#include "config/CFiscalPrinter.h"
#include "log/CLogFile.h"
#include "platform/Text.h"

CheckRoute CCheckRouter::Route(CFiscalCheck& check, const BoundPrinter& bound) {
    CheckRoute route;
    route.rulesOk = configuration.ApplyRules(check);
    if (check.statusCode == kNotToRegister || check.statusCode == kWrongPayment) {
        return route;  // closed by its rules: no printer is needed
    }
    const std::string boundName = bound ? bound(check) : "";
    if (!boundName.empty()) {
        route.printer = PrinterNamed(boundName);
        route.connection = route.printer.ConnectionText();
        route.printerChosen = true;
        TellUnlisted(boundName);
    } else {
        route.printerChosen = Reserve(check, route);
    }
    route.ruleVerdict = configuration.ruleVerdict;
    route.printerError = registry.GetLastError();
    // The tax comes from the registry by name: a printer that could not be chosen may be left half
    // filled in the route, and one that is not listed has no tax.
    configuration.ApplyPrinterRules(PrinterNamed(route.printer.name), check);
    route.rulesError = configuration.GetLastError();
    return route;
}

bool CCheckRouter::Reserve(CFiscalCheck& check, CheckRoute& route) {
    CPrinterControl& printer = route.printer;
    const std::string previous = printer.name;
    const bool chosen = registry.ChoosePrinter(check, printer);
    route.connection = printer.ConnectionText();  // also of a printer not chosen, as choosing left it
    if (!chosen) {
        return false;
    }
    if (!previous.empty()) {
        log.WriteText("Send to reserve printer");
    }
    TellUnlisted(printer.name);
    return true;
}

CPrinterControl CCheckRouter::PrinterNamed(const std::string& name) const {
    if (const CPrinterControl* configured = registry.FindPrinter(name)) {
        return *configured;
    }
    CPrinterControl unknown;
    unknown.name = name;
    return unknown;
}

void CCheckRouter::TellUnlisted(const std::string& name) {
    if (!registry.FindPrinter(name)) {
        log.WriteText(text::Format("Printer number %s not found in the list.", name.c_str()));
    }
}
