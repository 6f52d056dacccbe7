#include "config/CPrintLists.h"

#include <algorithm>
#include <map>

#include "config/CXMLParser.h"
#include "platform/Text.h"

namespace {

// One configuration form: a list keyed by two attributes ("%s+%s" keys) and, when that yields
// nothing, a list keyed by one attribute. Either fixes the same mode.
struct Form {
    const char* pairPattern;
    const char* pairFirst;
    const char* pairSecond;
    const char* pattern;
    const char* attribute;
    int32_t mode;
};

const Form kForms[] = {
    {"//fidelio_ini/print_list[@udf='xxxx' and @view='yyyy']", "udf", "view",
     "//fidelio_ini/print_list/udf[@value='xxxx']", "value", CPrintLists::UserField},
    {nullptr, nullptr, nullptr, "//fidelio_ini/print_list/room[@value='xxxx']", "value", CPrintLists::Room},
    {"//fidelio_ini/print_list[@ycad_id='xxxx' and @ext_station='yyyy']", "ycad_id", "ext_station",
     "//fidelio_ini/print_list[@ycad_id='xxxx']", "ycad_id", CPrintLists::PosCode},
    {"//fidelio_ini/print_list[@code='xxxx' and @ext_station='yyyy']", "code", "ext_station",
     "//fidelio_ini/print_list[@code='xxxx']", "code", CPrintLists::PosCode},
    {"//fidelio_ini/print_list[@station='xxxx' and @view='yyyy']", "station", "view",
     "//fidelio_ini/print_list/folio_view[@value='xxxx']", "value", CPrintLists::StationView},
    {nullptr, nullptr, nullptr, "//fidelio_ini/print_list[@cashier='xxxx']", "cashier", CPrintLists::Cashier},
    {nullptr, nullptr, nullptr, "//fidelio_ini/print_list[@station='xxxx']", "station", CPrintLists::Station},
};

const char* const kPostingCodePattern = "//fidelio_ini/print_list[@post_code='xxxx']";

void AddLines(const CXMLParser::TextMap& entries, int32_t kind, std::vector<CPrintLine>& lines) {
    for (const auto& [key, value] : entries) {
        lines.push_back(CPrintLists::MakeLine(key, value, kind));
    }
}

}  // namespace

void CPrintLists::Read(CXMLParser& xml, std::vector<CPrintLine>& lines, int32_t& mode) {
    lines.clear();
    mode = Station;
    for (const Form& form : kForms) {
        CXMLParser::TextMap entries;
        if (form.pairPattern) {
            xml.ReadPairMap(entries, form.pairPattern, form.pairFirst, form.pairSecond);
        }
        if (entries.empty()) {
            xml.ReadMap(entries, form.pattern, form.attribute);
        }
        if (!entries.empty()) {
            mode = form.mode;
            AddLines(entries, 0, lines);
            break;
        }
    }
    CXMLParser::TextMap postingCodes;
    xml.ReadMap(postingCodes, kPostingCodePattern, "post_code");
    AddLines(postingCodes, CPrintLine::kPostingCodeKind, lines);
}

CPrintLine CPrintLists::MakeLine(const std::string& name, const std::string& listText, int32_t kind) {
    CPrintLine line;
    line.name = name;
    line.kind = kind;
    if (text::Trim(listText).empty()) {
        line.count = 1;
        return line;
    }
    for (const std::string& piece : text::Split(listText, ',')) {
        std::string printer = text::Trim(piece);
        if (printer.empty()) {
            continue;
        }
        if (line.count < CPrintLine::kMaxPrinters) {
            line.printers[line.count] = printer;
        }
        // The count keeps every name, so that ValidateLines can refuse an overlong line.
        ++line.count;
    }
    return line;
}

bool CPrintLists::ValidatePrinters(const std::vector<CPrinterControl>& printers, std::string& error) {
    if (printers.empty()) {
        error = "Empty printer list!";
        return false;
    }
    if (printers.size() == 1 && printers[0].deviceSettings.mode == 2) {
        return true;
    }
    for (const CPrinterControl& printer : printers) {
        if (!printer.name.empty() && printer.deviceSettings.port == 0) {
            error = text::Format("station %s: port empty", printer.name.c_str());
            return false;
        }
    }
    return true;
}

bool CPrintLists::ValidateLines(std::vector<CPrintLine>& lines, const std::vector<CPrinterControl>& printers,
                                std::string& error) {
    if (lines.empty()) {
        error = "Can't read print list";
        return false;
    }
    auto known = [&](const std::string& name) {
        return std::any_of(printers.begin(), printers.end(),
                           [&](const CPrinterControl& printer) { return printer.name == name; });
    };
    for (auto line = lines.begin(); line != lines.end();) {
        if (line->count == 0) {
            error = text::Format("Printer list for %s empty!", line->name.c_str());
            return false;
        }
        if (line->count == 1 && line->printers[0].empty()) {
            line = lines.erase(line);
            continue;
        }
        if (line->count > CPrintLine::kMaxPrinters) {
            error =
                text::Format("line %s : more than %d printers", line->name.c_str(), CPrintLine::kMaxPrinters);
            return false;
        }
        for (int32_t i = 0; i < line->count; ++i) {
            if (!known(line->printers[i])) {
                error = text::Format("line %s : printer %s not defined", line->name.c_str(),
                                     line->printers[i].c_str());
                return false;
            }
        }
        ++line;
    }
    // Every line may have been an empty one: the printer registry needs at least one line.
    if (lines.empty()) {
        error = "Can't read print list";
        return false;
    }
    return true;
}

std::vector<std::string> CPrintLists::Describe(const std::vector<CPrinterControl>& printers,
                                               const std::vector<CPrintLine>& lines) {
    std::vector<std::string> result;
    for (const CPrinterControl& printer : printers) {
        result.push_back(text::Format("Printer %s:", printer.name.c_str()));
        result.push_back(
            text::Format("%s // tax: %s", printer.ConnectionText().c_str(), printer.tax.c_str()));
        result.push_back(text::Format("Check_path: %s", printer.checkPath.c_str()));
        if (!printer.printHeader.empty()) {
            result.push_back("Print header " + printer.printHeader);
        }
    }
    for (const CPrintLine& line : lines) {
        std::string entry = line.kind == CPrintLine::kPostingCodeKind
                                ? text::Format("Posting code %s printers:", line.name.c_str())
                                : text::Format("Line %s printers:", line.name.c_str());
        int32_t shown = std::min(line.count, static_cast<int32_t>(CPrintLine::kMaxPrinters));
        for (int32_t i = 0; i < shown; ++i) {
            entry += " " + line.printers[i];
        }
        if (shown == 0) {
            entry += " not defined";
        }
        result.push_back(entry);
    }
    return result;
}
