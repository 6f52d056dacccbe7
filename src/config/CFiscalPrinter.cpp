#include "config/CFiscalPrinter.h"

#include "check/CFiscalCheck.h"
#include "config/CFiscalINI.h"
#include "log/CLogFile.h"
#include "platform/Text.h"

namespace {

// Station, cashier and group keys match whatever their spacing and letter case.
std::string NormaliseKey(const std::string& text) {
    return text::ToUpper(text::ReplaceAll(text, " ", ""));
}

}  // namespace

void CFiscalPrinter::Log(const std::string& text) const {
    if (log) {
        log->WriteText(text);
    }
}

bool CFiscalPrinter::Load(CFiscalINI& configuration) {
    // The configuration refuses an empty printer or print list, so selection finds entries in both.
    if (!configuration.LoadPrinters(printers, lines, listMode)) {
        lastError = configuration.GetLastError();
        return false;
    }
    int managerPort = text::ToInt(configuration.ReadParameter("//print_manager/port"));
    if (managerPort != 0) {
        managerSettings.port = managerPort;
        Log(text::Format("Port for printer manager: %d", managerPort));
    }
    return true;
}

int CFiscalPrinter::SelectPrintLine(const std::string& key, bool allowDefault, int kind) {
    lastError.clear();
    int result = allowDefault ? 0 : kNoLine;
    bool found = false;
    for (size_t i = 0; i < lines.size(); ++i) {
        if (lines[i].name == key && lines[i].kind == kind) {
            result = static_cast<int>(i);
            found = true;
            break;
        }
    }
    if (!found && allowDefault) {
        for (size_t i = 0; i < lines.size(); ++i) {
            if (lines[i].name.find("DEF") == std::string::npos) {
                continue;
            }
            if (lines[i].count == 0) {
                lastError = "Printer for DEF not found. Check saving.";
                return kDefaultWithoutPrinters;
            }
            result = static_cast<int>(i);
            break;
        }
    }
    if (result >= 0 && static_cast<size_t>(result) < lines.size()) {
        lastError = text::Format("Printer line for %s selected", lines[static_cast<size_t>(result)].name.c_str());
        Log(lastError);
        lastError.clear();
    }
    return result;
}

int CFiscalPrinter::FindLineByPostingCodes(CFiscalCheck& check, std::string& code) {
    int line = kNoLine;
    std::string firstPrinter;
    for (const struct_posting& posting : check.postings) {
        if (posting.trx_amount == 0) {
            continue;
        }
        code = std::to_string(posting.trx_code);
        int found = SelectPrintLine(code, false, CPrintLine::kPostingCodeKind);
        if (line < 0) {
            if (found >= 0) {
                line = found;
                firstPrinter = lines[static_cast<size_t>(found)].printers[0];
            }
            continue;
        }
        if (found < 0 || lines[static_cast<size_t>(found)].printers[0] != firstPrinter) {
            // The postings belong to different printers: no automatic choice for this check.
            check.SetStatusCode(kNoPrinter);
            Log(text::Format("Select printer error. Code %s", code.c_str()));
            return kNoLine;
        }
    }
    return line;
}

int CFiscalPrinter::FirstLine(const std::vector<std::string>& keys) {
    for (const std::string& key : keys) {
        int line = SelectPrintLine(key, false, 0);
        if (line >= 0) {
            return line;
        }
    }
    return kNoLine;
}

// Only the first payment is examined: a payment either finds a line or, when even its code
// finds none, ends the search.
int CFiscalPrinter::FindLineByPayments(const CFiscalCheck& check, const std::string& station, std::string& code) {
    if (check.payments.empty()) {
        return kNoLine;
    }
    const struct_posting& payment = check.payments.front();
    std::string view = std::to_string(payment.folio_view);
    int line = kNoLine;
    if (listMode == 3) {
        const std::string& udf = payment.cheque_number;
        line = FirstLine({udf, udf + "+" + view, udf + "+*"});
    }
    if (line < 0 && listMode == 4) {
        line = FirstLine({view, station + "+" + view, station + "+*"});
    }
    if (line < 0) {
        code = std::to_string(payment.trx_code);
        line = SelectPrintLine(code, false, 0);
    }
    return line;
}

int CFiscalPrinter::FindLineByCheckKeys(const std::string& code, const std::string& station,
                                        const std::string& group, const std::string& cashier) {
    int line = FirstLine({code + "+" + station, code + "+*", group + "+" + station, group + "+*", group, station});
    return line >= 0 ? line : SelectPrintLine(cashier, true, 0);
}

const CPrinterControl* CFiscalPrinter::FindPrinter(const std::string& name) const {
    for (const CPrinterControl& printer : printers) {
        if (printer.name == name) {
            return &printer;
        }
    }
    return nullptr;
}

int CFiscalPrinter::FindLine(CFiscalCheck& check) {
    std::string station = NormaliseKey(check.GetField(13));
    std::string cashier = NormaliseKey(check.GetField(9));
    std::string group = NormaliseKey(check.GetField(16));
    std::string code;
    int line = FindLineByPostingCodes(check, code);
    if (line < 0) {
        line = FindLineByPayments(check, station, code);
    }
    if (line < 0) {
        line = FindLineByCheckKeys(code, station, group, cashier);
    }
    return line;
}

bool CFiscalPrinter::ChoosePrinter(CFiscalCheck& check, CPrinterControl& printer) {
    int next = printer.lineIndex + 1;
    printer.Reset();
    int line = FindLine(check);
    if (line == kDefaultWithoutPrinters) {
        // No printer: the worker finds no interface for the empty name and saves the description.
        std::string reason = lastError;
        printer = printers.front();
        printer.name.clear();
        lastError = reason;
        return true;
    }
    if (line < 0 || static_cast<size_t>(line) >= lines.size()) {
        return false;
    }
    const CPrintLine& chosen = lines[static_cast<size_t>(line)];
    if (next < 0 || next >= chosen.count || next >= CPrintLine::kMaxPrinters) {
        return false;
    }
    const std::string& name = chosen.printers[next];
    const CPrinterControl* configured = FindPrinter(name);
    if (!configured) {
        lastError = text::Format("line %s : printer %s not defined", chosen.name.c_str(), name.c_str());
        Log(lastError);
        return false;
    }
    printer = *configured;
    printer.lineIndex = next;
    Log(text::Format("Select printer %s: %s", name.c_str(), printer.ConnectionText().c_str()));
    check.SetField(22, name);
    return true;
}
