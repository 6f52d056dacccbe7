#include "journal/CCheckLogger.h"

#include "check/CFiscalCheck.h"
#include "config/CPrinterControl.h"
#include "log/CLogFile.h"
#include "platform/Clock.h"
#include "platform/Environment.h"
#include "platform/FileSystem.h"
#include "platform/Text.h"

namespace {

std::string DateText(const platform::LocalTime& t) {
    return text::Format("%02d-%02d-%d", t.day, t.month, t.year);
}

std::string TimeText(const platform::LocalTime& t) {
    return text::Format("%02d-%02d-%02d", t.hour, t.minute, t.second);
}

// Texts from the PMS or the journal itself become part of file names: no folder may be named
// through them.
std::string SafeName(const std::string& name) {
    std::string safe = name;
    for (char& c : safe) {
        // On Windows a ':' would name a drive or a stream of the file.
        if (platform::IsSeparator(c) || (platform::kPathSeparator == '\\' && c == ':') || c == '\0' || c == '\n' ||
            c == '\r') {
            c = '_';
        }
    }
    return safe;
}

std::string FirstLine(FILE* file) {
    std::rewind(file);
    std::string line;
    int c;
    while ((c = std::fgetc(file)) != EOF && c != '\n') {
        line.push_back(static_cast<char>(c));
    }
    if (!line.empty() && line.back() == '\r') {
        line.pop_back();
    }
    return line;
}

}  // namespace

CCheckLogger::CCheckLogger() {
    baseFolder = platform::ProgramFolder();
    if (baseFolder.empty()) {
        baseFolder = "./";
    }
}

void CCheckLogger::Write(const std::string& line) {
    if (log) {
        log->WriteText(line);
    }
}

void CCheckLogger::Fail(const std::string& name, int error) {
    errorText = text::Format("File %s error: %s", name.c_str(), platform::SystemErrorText(error).c_str());
    Write(errorText);
}

// The modes are binary: lines end in "\n" alone on Windows too, as the journal is read back.
FILE* CCheckLogger::OpenFile(const std::string& path, const char* mode) {
    FILE* file = std::fopen(path.c_str(), mode);
    if (!file) {
        Fail(path, platform::LastSystemError());
    }
    return file;
}

std::string CCheckLogger::StationPath(const CPrinterControl& printer) const {
    std::string folder = printer.checkPath.empty() ? baseFolder : printer.checkPath;
    // The folder is tested without its closing separator (Windows' stat refuses a name that ends
    // in one), which then comes back as it was written.
    char separator = '/';
    if (!folder.empty() && platform::IsSeparator(folder.back())) {
        separator = folder.back();
        folder.pop_back();
    }
    if (folder.empty() || !platform::IsDirectory(folder)) {
        folder = baseFolder;
    } else {
        folder += separator;
    }
    if (folder.empty() || !platform::IsSeparator(folder.back())) {
        folder += '/';
    }
    return text::Format("%sST_%s", folder.c_str(), SafeName(printer.name).c_str());
}

std::string CCheckLogger::StationFolder(const CPrinterControl& printer) {
    std::string folder = StationPath(printer);
    if (!platform::IsDirectory(folder) && !platform::MakeDirectories(folder)) {
        Fail(folder, platform::LastSystemError());
        return "";
    }
    return folder + "/";
}

bool CCheckLogger::LastEntry(const CPrinterControl& printer, std::string& date, std::string& entry) const {
    std::string content;
    if (!platform::ReadFile(StationPath(printer) + "/" + kJournalName, content)) {
        return false;
    }
    std::vector<std::string> lines = text::Split(content, '\n');
    while (!lines.empty() && text::Trim(lines.back()).empty()) {
        lines.pop_back();
    }
    if (lines.size() < 2) {
        return false;
    }
    date = text::Trim(lines.front());
    entry = text::TrimRight(lines.back());
    return true;
}

bool CCheckLogger::RenameJournal(const std::string& folder, const std::string& firstLine) {
    std::string journal = folder + kJournalName;
    std::string stem = folder + SafeName(firstLine);
    std::string target = stem + ".log";
    if (platform::FileExists(target) || platform::IsDirectory(target)) {
        stem += "_" + TimeText(platform::Clock::Current().Now());
        target = stem + ".log";
        // A rename replaces an existing file here, so a name still taken gets a counter rather
        // than overwriting an older journal.
        for (int n = 1; platform::FileExists(target) || platform::IsDirectory(target); ++n) {
            target = text::Format("%s_%d.log", stem.c_str(), n);
        }
    }
    if (!platform::RenameFile(journal, target)) {
        int error = platform::LastSystemError();
        errorText = text::Format("%s failed:\nerror code = %u\nmessage = %s", "Move file",
                                 static_cast<unsigned>(error), platform::SystemErrorText(error).c_str());
        Write(errorText);
        return false;
    }
    return true;
}

bool CCheckLogger::JournalCheck(const CPrinterControl& printer, CFiscalCheck& check) {
    std::string folder = StationFolder(printer);
    if (folder.empty()) {
        return false;
    }
    std::string path = folder + kJournalName;
    FILE* file = OpenFile(path, "ab+");
    if (!file) {
        return false;
    }
    platform::LocalTime now = platform::Clock::Current().Now();
    std::string today = DateText(now);
    bool ok = true;
    std::fseek(file, 0, SEEK_END);
    bool empty = std::ftell(file) == 0;
    std::string firstLine = empty ? "" : FirstLine(file);
    if (empty) {
        std::fputs(today.c_str(), file);
    } else if (firstLine != today) {
        std::fclose(file);
        // When the old journal cannot be renamed the entry still goes into it: a registration
        // is never left out of the journal.
        ok = RenameJournal(folder, firstLine.empty() ? "journal" : firstLine);
        file = OpenFile(path, "ab+");
        if (!file) {
            return false;
        }
        if (ok) {
            std::fputs(today.c_str(), file);
        }
    }

    struct_posting first = check.GetPayment(0);
    std::string entry =
        text::Format("\n%s Station %s Check %s: %.4f %s", TimeText(now).c_str(), check.station.c_str(),
                     check.checkNumber.c_str(), first.trx_amount, first.print_code.c_str());
    for (size_t i = 1; i < check.payments.size(); ++i) {
        entry +=
            text::Format(", %.4f %s", check.payments[i].trx_amount, check.payments[i].print_code.c_str());
    }
    if (check.statusCode == kCashLoan) {
        entry += " Loan ";
    } else if (check.statusCode == kCashPickup) {
        entry += " PickUp ";
    }
    if (!check.fiscalNumber.empty()) {
        entry += text::Format(" (KPK %s)", check.fiscalNumber.c_str());
    }
    std::fseek(file, 0, SEEK_END);
    bool written = std::fputs(entry.c_str(), file) >= 0;
    if (std::fclose(file) != 0 || !written) {
        Fail(path, platform::LastSystemError());
        return false;
    }
    return ok;
}

std::string CCheckLogger::SavedLine(const CFiscalCheck& check) {
    // A payment check may have no number of its own: it is named by its transaction rather than
    // leaving a gap in the line.
    if (text::Trim(check.checkNumber).empty() && !check.payments.empty()) {
        return text::Format("Check of transaction %d saved.", check.payments[0].trx_no);
    }
    return text::Format("Check %s saved.", check.checkNumber.c_str());
}

bool CCheckLogger::SaveDescription(const CPrinterControl& printer, CFiscalCheck& check) {
    Write(SavedLine(check));
    std::string folder = StationFolder(printer);
    if (folder.empty()) {
        return false;
    }
    platform::LocalTime now = platform::Clock::Current().Now();
    std::string path = text::Format("%s%s%s_%s_%s.txt", folder.c_str(), "Check",
                                    SafeName(text::Trim(check.checkNumber)).c_str(), DateText(now).c_str(),
                                    TimeText(now).c_str());
    // Appending: a second description of the same check in the same second keeps the first.
    FILE* file = OpenFile(path, "ab");
    if (!file) {
        return false;
    }
    std::string content = text::Format("Cashier %s %s\n", check.cashierId.c_str(), check.cashierName.c_str());
    if (check.postings.empty()) {
        content += "No postings\n";
    }
    if (check.payments.empty()) {
        content += "No payments\n";
    }
    for (const struct_posting& posting : check.postings) {
        content += text::Format("Posting %d: %s = %.02f (%s)\n", posting.trx_code,
                                posting.description.c_str(), posting.trx_amount, posting.tax_group.c_str());
    }
    for (const struct_posting& payment : check.payments) {
        content += text::Format("Payment %d: %s = %.02f ", payment.trx_code, payment.description.c_str(),
                                payment.trx_amount);
        if (payment.line_type == 8) {
            content += text::Format(" (cashier %s %s, room %s)", check.cashierId.c_str(),
                                    check.cashierName.c_str(), check.room.c_str());
        }
        content += "\n";
    }
    bool written = std::fwrite(content.data(), 1, content.size(), file) == content.size();
    if (std::fclose(file) != 0 || !written) {
        Fail(path, platform::LastSystemError());
        return false;
    }
    return true;
}

bool CCheckLogger::SaveCheckFile(const std::string& name, const std::string& content,
                                 const CPrinterControl& printer, CFiscalCheck& check) {
    std::string folder = StationFolder(printer);
    if (folder.empty()) {
        return false;
    }
    std::string path = folder + SafeName(name) + ".ck6";
    Write(SavedLine(check));
    Write(path);
    Write(content);
    // The file holds exactly this content: a longer earlier file of the same name must not
    // leave its tail behind.
    FILE* file = OpenFile(path, "wb");
    if (!file) {
        return false;
    }
    bool written = std::fwrite(content.data(), 1, content.size(), file) == content.size();
    if (std::fclose(file) != 0 || !written) {
        Fail(path, platform::LastSystemError());
        return false;
    }
    return true;
}
