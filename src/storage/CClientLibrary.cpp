#include "storage/CClientLibrary.h"

#include <cmath>
#include <cstdlib>

#include "log/CLogFile.h"
#include "platform/FileSystem.h"
#include "platform/Text.h"
#include "shared/DTL.h"

namespace {

constexpr int kItemLine = 14;
constexpr int kDiscountLine = 15;
constexpr int kServiceChargeLine = 16;

// Tenders and the lines that only carry the check's totals are not sold goods.
bool IsTaken(char type) {
    return type != 'T' && type != '$' && type != 'R';
}

// The tax indicator's one bit (in its low byte) names the device tax group, highest bit first;
// any other value leaves the line's tax as it is.
void SetTax(int32_t tax, struct_posting& line) {
    const int bits = tax & 0xFF;
    if (bits == 0) {
        line.code_number = 0;
        line.tax_group = "0";
        return;
    }
    for (int bit = 0; bit < 8; ++bit) {
        if (bits == 1 << bit) {
            line.code_number = 8 - bit;
            line.tax_group = text::Format("%d", line.code_number);
            return;
        }
    }
}

// The amount as the server wrote it is a plain decimal number (or missing): "nan", "inf" or
// "0x10" read as 0 by the record, and a line of 0 is no line the server meant.
bool IsAmountText(const std::string& ttl) {
    const std::string amount = text::Trim(ttl);
    return amount.empty() || text::DecimalPrefix(amount) == amount.size();
}

}  // namespace

CClientLibrary::CClientLibrary() : folder(platform::ProgramFolder()) {}

void CClientLibrary::WriteLog(const std::string& line) const {
    if (log) {
        log->WriteText(line);
    }
}

bool CClientLibrary::Load() {
    if (getCheck) {
        return true;
    }
    const std::string file = platform::DynamicLibrary::FileName(kName);
    // The program's own copy first, as the service was delivered; else wherever the loader looks.
    const std::string path = platform::FileExists(folder + file) ? folder + file : file;
    if (!library.Load(path)) {
        WriteLog(library.GetLastError());
        lastError = "Can't load " + file;
        return false;
    }
    WriteLog(file + " loaded");
    getCheck = reinterpret_cast<GetCheckFunction>(library.Symbol(kExport));
    if (!getCheck) {
        WriteLog(library.GetLastError());
        lastError = "Error load GetCheck";
        return false;
    }
    return true;
}

std::string CClientLibrary::OpeningTime(const std::string& stamp) {
    auto part = [&stamp](size_t at) { return at + 2 <= stamp.size() ? stamp.substr(at, 2) : std::string(); };
    return text::Format("%s/%s/%s %s:%s:%s", part(4).c_str(), part(6).c_str(), part(2).c_str(),
                        part(8).c_str(), part(10).c_str(), part(12).c_str());
}

std::string CClientLibrary::DeviceText(const std::string& name) {
    std::string out = name;
    for (char& c : out) {
        if (static_cast<unsigned char>(c) < 0x20 || c == '|' || c == 0x7F) {
            c = ' ';
        }
    }
    return out;
}

double CClientLibrary::Quantity(const DTL& detail) {
    const double qtf = detail.qtf;
    if (qtf != 0) {
        return std::fabs(qtf);
    }
    if (detail.qty != 0) {
        return std::fabs(static_cast<double>(detail.qty));
    }
    return 1;
}

bool CClientLibrary::MakeLine(const DTL& detail, struct_posting& line) {
    line = struct_posting();
    line.trx_no = static_cast<int32_t>(detail.objnum);
    line.trx_code = line.trx_no;
    line.description = DeviceText(detail.name);
    line.trx_amount = detail.ttlValue;
    line.quantity = Quantity(detail);
    line.line_type = detail.type == 'D' ? kDiscountLine : detail.type == 'S' ? kServiceChargeLine : kItemLine;
    if (detail.taxps != 0) {
        line.print_text = text::Format("x;%d;", detail.taxps);
    }
    SetTax(detail.tax, line);
    return IsAmountText(detail.ttl) && std::isfinite(line.trx_amount) && std::fabs(line.trx_amount) < kAmountLimit &&
           std::isfinite(line.quantity) && line.quantity <= kQuantityLimit;
}

bool CClientLibrary::ReadResult(const GetCheckResult& result, std::vector<struct_posting>& lines) {
    if (result.code != 0) {
        WriteLog(result.replyError);
        return false;
    }
    const std::vector<DTL>& details = result.check.dtl;
    if (details.empty()) {
        WriteLog(result.jsonText);
        WriteLog("No postings");
        return false;
    }
    for (const DTL& detail : details) {
        const char type = static_cast<unsigned char>(detail.type) < 0x20 ? ' ' : detail.type;
        WriteLog(text::Format("%c %d %s %.2f * %d (%.2f) Tax %d", type, static_cast<int>(detail.objnum),
                              DeviceText(detail.name).c_str(), detail.ttlValue, detail.qty, detail.qtf,
                              detail.tax));
        if (!IsTaken(detail.type)) {
            continue;
        }
        if (detail.taxps != 0) {
            WriteLog(text::Format("Tax ps %d", detail.taxps));
        }
        struct_posting line;
        if (!MakeLine(detail, line)) {
            WriteLog("Amount or quantity out of range in the line above");
            return false;
        }
        lines.push_back(line);
    }
    return true;
}

bool CClientLibrary::FetchPosCheck(const std::string& cknum, const std::string& openTime,
                                   const std::string& rvc, std::vector<struct_posting>& lines) {
    const int rvcNumber = text::ToInt(rvc);
    const int checkNumber = text::ToInt(cknum);
    WriteLog(text::Format("Try to expand check %d %d %s", rvcNumber, checkNumber, openTime.c_str()));
    if (!getCheck) {
        WriteLog("LGXClient is not loaded");
        return false;
    }
    // The lines are collected apart, so that a check that fails half-way adds nothing.
    std::vector<struct_posting> taken;
    try {
        const GetCheckResult* result = getCheck(rvcNumber, checkNumber, openTime.c_str());
        if (!result) {
            WriteLog("LGXClient returned no result");
            return false;
        }
        if (!ReadResult(*result, taken)) {
            return false;
        }
    } catch (...) {
        WriteLog("LGXClient exception");
        return false;
    }
    lines.insert(lines.end(), taken.begin(), taken.end());
    return true;
}
