#include "devices/FiscMessage.h"

#include <algorithm>

#include "platform/Clock.h"
#include "platform/Text.h"

namespace {

constexpr size_t kOperatorNameLimit = 64;
constexpr size_t kDescriptionLimit = 48;
constexpr size_t kReferenceLimit = 24;

// Byte offset of character number n (0-based); for single-byte texts simply n.
size_t CharOffset(const std::string& text, size_t n, bool utf8) {
    if (!utf8) {
        return std::min(n, text.size());
    }
    size_t count = 0;
    for (size_t i = 0; i < text.size(); ++i) {
        bool lead = (static_cast<unsigned char>(text[i]) & 0xC0) != 0x80;
        if (lead) {
            if (count == n) {
                return i;
            }
            ++count;
        }
    }
    return text.size();
}

size_t CharCount(const std::string& text, bool utf8) {
    if (!utf8) {
        return text.size();
    }
    size_t count = 0;
    for (char c : text) {
        if ((static_cast<unsigned char>(c) & 0xC0) != 0x80) {
            ++count;
        }
    }
    return count;
}

// Tax bits of a tax group and the group's number (0: the item counts in no group).
struct TaxBits {
    std::string bits;
    int group = 0;
};

TaxBits TaxBitsOf(const std::string& taxGroup) {
    static const char* const kBits[FiscMessage::kTaxGroups] = {"80", "40", "20", "10", "08", "04", "02", "01"};
    if (taxGroup.empty() || taxGroup == "0") {
        return {"00", 0};
    }
    if (taxGroup.size() == 1 && taxGroup[0] >= '1' && taxGroup[0] <= '8') {
        int group = taxGroup[0] - '0';
        return {kBits[group - 1], group};
    }
    return {"", 0};
}

// Replaces every "%c" of a format by FS, for the long all-FS formats of the protocol.
std::string WithSeparators(const char* format) {
    return text::ReplaceAll(format, "%c", std::string(1, FiscMessage::FS));
}

}  // namespace

std::string FiscMessage::RecordText(const std::string& text) {
    std::string out = text;
    for (char& c : out) {
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F || c == '|') {
            c = ' ';
        }
    }
    return out;
}

void FiscMessage::AddTextLine(const std::string& text) {
    textLines.push_back(text::Format("I|1|%s|%c", RecordText(text).c_str(), LF));
}

void FiscMessage::AddRequisite(const std::string& tag, const std::string& value) {
    requisites.push_back(text::Format("R|%s|%s|%c", tag.c_str(), RecordText(value).c_str(), LF));
}

void FiscMessage::AddItem(const std::string& kind, const std::string& code, const std::string& text,
                          double quantity, double amount, const std::string& taxGroup, int decimals, bool groupCode,
                          const std::string& categoryText, const std::string& subCode, bool utf8) {
    const std::string description = RecordText(text);
    const std::string category = RecordText(categoryText);
    amountDecimals = decimals;
    TaxBits tax = TaxBitsOf(taxGroup);
    if (tax.group > 0) {
        groupTotals[tax.group - 1] += amount;
    }
    std::string codeField = code;
    if (kind == "M" && groupCode && tax.group > 0) {
        codeField += static_cast<char>('0' + tax.group);
    }

    std::string first = description;
    std::string second;
    if (CharCount(description, utf8) > kDescriptionLimit) {
        size_t cut = CharOffset(description, kDescriptionLimit, utf8);
        first = description.substr(0, cut);
        second = description.substr(cut);
        // A word with only its first letter on the first part moves over whole.
        size_t blank = first.rfind(' ');
        if (blank != std::string::npos && blank == CharOffset(description, kDescriptionLimit - 2, utf8)) {
            second = first.substr(blank + 1) + second;
            first = first.substr(0, blank + 1);
        }
    }

    // The category takes the sub-code's place and then stands in a field of its own.
    std::string tail = category.empty() ? subCode + "|" : category + "||";
    std::string record = text::Format("%s|%s|%s|%s|%s|%.03f|", kind.c_str(), codeField.c_str(), first.c_str(),
                                      second.c_str(), "", quantity) +
                         Amount(amount) + "|" + tax.bits + "|||||" + tail + LF;
    items.push_back(record);
}

void FiscMessage::AddPayment(const std::string& code, const std::string& text, const std::string& reference,
                             double amount, const std::string& noReference) {
    const std::string description = RecordText(text);
    std::string cutReference = RecordText(reference.substr(0, kReferenceLimit));
    if (amountDecimals != 0) {
        bool bare = noReference == "1";
        payments.push_back(text::Format("$|%s|%s|%s|%.02f%c", code.c_str(), bare ? "" : description.c_str(),
                                        bare ? "" : cutReference.c_str(), amount, LF));
    } else {
        payments.push_back(text::Format("$|%s|%s|%s|%.f%c", code.c_str(), description.c_str(), cutReference.c_str(),
                                        amount, LF));
    }
}

std::string FiscMessage::HeaderStart(const std::string& kind, const std::string& operatorField,
                                     const std::string& nameField) const {
    return text::Format("%s%cFISC%c%s%c%s%c%s%c%c%s%c%d%c%d%c%d%c%d%c%d%c%d%c%s%c%d%c%c", headerId.c_str(), FS, FS,
                        kind.c_str(), FS, operatorField.c_str(), FS, nameField.c_str(), FS, FS, docFlag.c_str(), FS,
                        headerInt1, FS, headerInt2, FS, headerInt3, FS, headerInt4, FS, headerInt5, FS, headerInt6,
                        FS, operatorField.c_str(), FS, headerInt7, FS, FS);
}

std::string FiscMessage::ServiceHeader(const std::string& kind) const {
    return HeaderStart(kind, "1", operatorName.substr(0, kOperatorNameLimit)) + subject + FS;
}

std::string FiscMessage::Amount(double value) const {
    return amountDecimals == 0 ? text::Format("%.f", value) : text::Format("%.02f", value);
}

void FiscMessage::StampNow() {
    platform::LocalTime now = platform::Clock::Current().Now();
    timestamp = text::Format("%02d/%02d/%02d %02d:%02d:%02d", now.day, now.month, now.year % 100, now.hour,
                             now.minute, now.second);
}

const std::string& FiscMessage::BuildCheck(int documentType, const std::string& taxSystem) {
    subject = "||" + Amount(postingsAmount) + "|" + roomText + "|" + documentNumber + "||0|0||||1|";
    std::string header = HeaderStart("Check", operatorId, operatorName.substr(0, kOperatorNameLimit)) + subject +
                         FS + text::Format("%d|0|||%s%c", documentType, taxSystem.c_str(), LF);
    std::string itemText = text::Join(items, "");
    int usedGroup = 0;
    int usedCount = 0;
    for (int g = 0; g < kTaxGroups; ++g) {
        if (groupTotals[g] > 0) {
            usedGroup = g + 1;
            ++usedCount;
        }
    }
    // A check whose items are all in one tax group names that group once more after them.
    if (usedCount == 1) {
        itemText += text::Format("%%|%d|VAT|I||||%c", usedGroup, LF);
    }
    checkMessage = header + text::Join(textLines, "") + text::Join(requisites, "") + itemText + "=" + LF +
                   text::Join(payments, "") + FF + EOT;
    return checkMessage;
}

const std::string& FiscMessage::BuildPrint(const std::string& text, int count) {
    subject = text::Format("0|0|%d", count);
    std::string header = HeaderStart("Print", operatorId, operatorName) + "0|0" + FS + subject + LF;
    printMessage = header + LF + text + EOT;
    return printMessage;
}

std::string FiscMessage::BuildTest(int paymentCode, double amount, int index, const std::string& flags,
                                   double change) {
    StampNow();
    subject = amountDecimals == 0
                  ? text::Format("%d|%.f|%d|%s|%.f", paymentCode, amount, index, flags.c_str(), change)
                  : text::Format("%d|%.02f|%d|%s|%.02f", paymentCode, amount, index, flags.c_str(), change);
    static const std::string bodyFormat = WithSeparators(
        "%s%c%c0|0|0|0%c%s%c0%c%s%c%d%c1%c1%c1%c1%c1%c0%c0%c0%c1%c0%c%.02f%c0.00%c0.00%c0.00%c0.00%c0.00%c0.00%c0."
        "00%c0.00%c0.00%c%c%c%c%c%c%c%c%c0.00%c0.00%c0.00%c0.00%c%c0.00%c0.00%c0.00%c0.00%c0.00%c0.00%c0.00%c0.00%"
        "c0.00%c0.00%c0.00%c0.00%c0.00%c0.00%c0.00%c0.00%c0.00%c0.00%c0.00%c0.00%c0.00%c0.00%c0.00%c0.00%c%.02f%c%"
        ".02f%c%.02f%c%.02f%c%.02f%c%.02f%c%.02f%c%.02f");
    std::string body =
        text::FormatDynamic(bodyFormat.c_str(), documentNumber.c_str(), timestamp.c_str(), "1", headerInt7,
                            paymentsAmount, groupTotals[0], groupTotals[1], groupTotals[2], groupTotals[3],
                            groupTotals[4], groupTotals[5], groupTotals[6], groupTotals[7]);
    return ServiceHeader("Test") + body + EOT;
}

std::string FiscMessage::BuildConfig(int number) {
    StampNow();
    subject = std::to_string(number);
    return ServiceHeader("Config") + EOT;
}

std::string FiscMessage::BuildCommand(const std::string& command, double amount) {
    StampNow();
    subject = amount == 0 ? text::Format("%d", 0) : text::Format("%.2f", amount);
    return ServiceHeader(command) + EOT;
}

std::string FiscMessage::NewFileName(const std::string& name, int number) const {
    if (!name.empty()) {
        return name;
    }
    platform::LocalTime now = platform::Clock::Current().Now();
    if (number != 0) {
        return text::Format("%s_%s_%d_%d%d_%02d%02d%02d", headerId.c_str(), documentNumber.c_str(), number, now.day,
                            now.month, now.hour, now.minute, now.second);
    }
    return text::Format("%s_%s_%d%d_%02d%02d%02d", headerId.c_str(), documentNumber.c_str(), now.day, now.month,
                        now.hour, now.minute, now.second);
}

const std::string& FiscMessage::BuildFileLine(const std::string& name, bool ofCheck, int number) {
    fileName = NewFileName(name, number);
    size_t length = ofCheck ? checkMessage.size() : printMessage.size();
    fileLine = text::Format("File%c%s.ck2%c%zu%c", FS, fileName.c_str(), FS, length, EOT);
    return fileLine;
}

void FiscMessage::SetAnswer(const std::string& answer) {
    answerFields = text::Split(answer, FS);
    // The text after the last separator is a field only when there is one.
    if (answerFields.size() > 1 && answerFields.back().empty()) {
        answerFields.pop_back();
    }
    if (answerFields.size() == 1 && answerFields.front().empty()) {
        answerFields.clear();
    }
}

std::string FiscMessage::AnswerField(size_t n) const { return n < answerFields.size() ? answerFields[n] : ""; }

std::string FiscMessage::AnswerCheckNumber(const std::string& answer) {
    SetAnswer(answer);
    return AnswerField(2);
}

std::string FiscMessage::AnswerPrinterId(const std::string& answer) {
    SetAnswer(answer);
    return AnswerField(4);
}

std::string FiscMessage::AnswerPrinterType(const std::string& answer) {
    SetAnswer(answer);
    return AnswerField(5);
}

std::string FiscMessage::AnswerShift(const std::string& answer) {
    SetAnswer(answer);
    return AnswerField(5).substr(0, 10);
}

std::string FiscMessage::AnswerConfigNumber(const std::string& answer) {
    SetAnswer(answer);
    return AnswerField(16);
}

std::string FiscMessage::AnswerError(const std::string& answer) {
    SetAnswer(answer);
    std::string error = AnswerField(1);
    if (!error.empty()) {
        error.pop_back();
    }
    return error;
}

std::string FiscMessage::MessageKind(const std::string& message) {
    std::string firstLine = message.substr(0, message.find(LF));
    std::vector<std::string> fields = text::Split(firstLine, FS);
    if (!fields.empty() && fields[0] == "File") {
        return "File";
    }
    return fields.size() > 2 ? fields[2] : "";
}
