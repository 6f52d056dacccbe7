#include "devices/CMAPICommand.h"

#include <utility>

#include "check/CFiscalCheck.h"
#include "platform/Text.h"

namespace {

// Document types of a sale: to a company (with its taxpayer number) or to a person.
constexpr int kCompanyDocument = 3;
constexpr int kPersonDocument = 1;

// A PMS text inside a field: the separators would shift every field after it.
std::string WithoutSeparators(std::string text) {
    for (char separator : {CMAPICommand::kField, CMAPICommand::kSection, CMAPICommand::kStock}) {
        text = text::ReplaceAll(text, std::string(1, separator), "");
    }
    return text;
}

std::string WithoutEndMark(const std::string& text) {
    return text::ReplaceAll(text, std::string(1, CMAPICommand::kEnd), "");
}

// Where each non-empty value occurs in the text, as (start, length), leftmost first and the
// longer value first where two start together.
std::vector<std::pair<size_t, size_t>> Occurrences(const std::string& text, const std::vector<std::string>& values) {
    std::vector<std::pair<size_t, size_t>> found;
    for (size_t at = 0; at < text.size(); ++at) {
        size_t longest = 0;
        for (const std::string& value : values) {
            if (!value.empty() && value.size() > longest && text.compare(at, value.size(), value) == 0) {
                longest = value.size();
            }
        }
        if (longest > 0) {
            found.emplace_back(at, longest);
        }
    }
    return found;
}

}  // namespace

stocks_type stocks_type::Of(const struct_posting& posting) {
    stocks_type stock;
    stock.code = posting.trx_code;
    stock.name = WithoutSeparators(posting.description);
    stock.quantity = posting.quantity;
    stock.unitPrice = posting.price_per_unit;
    stock.amount = posting.trx_amount;
    stock.extraAmount2 = posting.extra_amount2;
    stock.extraAmount1 = posting.extra_amount1;
    return stock;
}

std::string stocks_type::Text() const {
    return text::Format("%d#%s#unit#%.2f#%.2f#%.2f#%.2f#%.2f#", code, name.c_str(), quantity, unitPrice, amount,
                        extraAmount2, extraAmount1);
}

CMAPICommand::CMAPICommand(std::string district, std::string printer, int32_t sequence)
    : districtCode(std::move(district)), printerName(std::move(printer)), billSequence(sequence) {}

std::string CMAPICommand::BuildSale(const CFiscalCheck& check) {
    std::string taxpayer = WithoutSeparators(check.companyTaxId);
    std::string command = text::Format(
        "%.2f#%.2f#%.2f#%.2f#%.2f#%s#%s#%s#%d#%06d#%s#=", check.paymentsTotal, check.taxSums[0], check.cashTotal,
        check.paymentsTotal - check.cashTotal, check.taxSums[1], districtCode.c_str(), printerName.c_str(),
        taxpayer.c_str(), taxpayer.empty() ? kPersonDocument : kCompanyDocument, billSequence,
        WithoutSeparators(check.groupName).c_str());
    stocks.clear();
    stockLines.clear();
    for (const struct_posting& posting : check.postings) {
        stocks.push_back(stocks_type::Of(posting));
        stockLines.push_back(stocks.back().Text());
        command += stockLines.back() + kStock;
    }
    return command + kEnd;
}

std::string CMAPICommand::BuildReturn(const CFiscalCheck& check) const {
    // The sale's fiscal number comes from a PMS reference: a '#' would add a field and a "#&"
    // would end the command early. The service's own values never hold either.
    auto field = [](const std::string& text) { return WithoutEndMark(text::ReplaceAll(text, "#", "")); };
    return text::Format("R#%s#%s#&", field(check.groupName).c_str(), field(check.printedFileName).c_str());
}

void CMAPICommand::ParseReply(const std::string& reply) {
    std::vector<std::string> fields = text::Split(reply, kField);
    auto field = [&fields](size_t index) { return index < fields.size() ? fields[index] : std::string(); };
    replyStatus = WithoutEndMark(field(0));
    replyOk = field(0) == "0";
    replyValue1 = replyValue2 = replyValue3 = replyValue4 = replyErrorCode = replyErrorMessage = "";
    rawValue2 = rawValue3 = "";
    if (replyOk) {
        replyValue1 = WithoutEndMark(field(1));
        replyValue2 = WithoutEndMark(field(2));
        replyValue3 = WithoutEndMark(field(3));
        replyValue4 = WithoutEndMark(field(4));
        rawValue2 = field(2);
        rawValue3 = field(3);
        return;
    }
    replyErrorCode = WithoutEndMark(field(1));
    replyErrorMessage = WithoutEndMark(field(2));
}

std::string CMAPICommand::MaskedReply(const std::string& reply) const {
    // The raw fields are masked too: a value with an end mark inside would otherwise show.
    std::string masked;
    size_t next = 0;
    for (const auto& [at, length] : Occurrences(reply, {replyValue2, rawValue2, replyValue3, rawValue3})) {
        if (at < next) {
            continue;
        }
        std::string found = reply.substr(at, length);
        bool isSecond = found == replyValue2 || found == rawValue2;
        masked += reply.substr(next, at - next) + (isSecond ? kMask2 : kMask3);
        next = at + length;
    }
    return masked + reply.substr(next);
}

std::string CMAPICommand::ErrorText() const {
    // Joined, not formatted: a zero byte in the reply must not cut the text short.
    return replyErrorCode + " " + replyErrorMessage;
}

bool CMAPICommand::IsRefusal() const {
    return !replyOk && !replyStatus.empty() && replyStatus.find_first_not_of("0123456789") == std::string::npos &&
           replyStatus.find_first_not_of('0') != std::string::npos;
}
