#include "pos/CMicrosCheck.h"

#include <cmath>

#include "check/CCurrencyArray.h"
#include "check/LineTools.h"
#include "platform/Text.h"

namespace {

constexpr int kItem = 14;
constexpr int kToSpread = 15;

bool OppositeToTotal(double amount, double total) { return (total > 0 && amount < 0) || (total < 0 && amount > 0); }

}  // namespace

bool CMicrosCheck::PrepareCheck() {
    statusCode = kBillCheck;  // directly: a POS check is neither a payment kind nor a deposit
    postingsTotal = 0;
    for (const struct_posting& p : postings) {
        postingsTotal += p.trx_amount;
    }
    if (!postings.empty()) {
        MergeItemLines();
    }
    Classify();
    linetools::MoveToEnd(postings, [](const struct_posting& p) { return p.line_type == kToSpread; });
    DistributeDiscounts();
    SetFinalTypes();
    return true;
}

// Lines of the wrong sign are spread over the items; a discount line that the POS marked as one
// (15) is printed as an item line of its own instead.
void CMicrosCheck::Classify() {
    for (struct_posting& p : postings) {
        if (OppositeToTotal(p.trx_amount, postingsTotal)) {
            p.line_type = p.line_type == kToSpread ? kItem : kToSpread;
        } else {
            p.line_type = kItem;
        }
    }
}

void CMicrosCheck::SetFinalTypes() {
    for (struct_posting& p : postings) {
        if (postingsTotal > 0 && p.trx_amount < 0) {
            p.line_type = 4;
        } else if (postingsTotal < 0 && p.trx_amount > 0) {
            p.line_type = 12;
        } else {
            p.line_type = 0;
        }
        if (p.print_text.empty()) {
            p.print_text = "7;1";
        }
    }
}

void CMicrosCheck::MergeItemLines() {
    size_t i = 0;
    while (i < postings.size()) {
        struct_posting& line = postings[i];
        if (line.line_type == 15 || line.line_type == 16 || line.line_type == 17) {
            ++i;
            continue;
        }
        const double initial = line.trx_amount;
        const int code = line.code_number;
        size_t j = i + 1;
        while (j < postings.size()) {
            const struct_posting& other = postings[j];
            bool same = other.line_type != 15 && other.line_type != 16 && other.line_type != 17 &&
                        other.trx_code == line.trx_code && other.fisc_status == line.fisc_status &&
                        (line.line_type != 0 || other.code_number == code) &&
                        linetools::SameAbsolute(other.trx_amount, initial);
            if (!same) {
                ++j;
                continue;
            }
            line.trx_amount += other.trx_amount;
            line.posted_amount += other.posted_amount;
            // A reversal (or a second negative line) does not count as one more unit.
            if (other.trx_amount + initial >= 0.05) {
                line.quantity += other.quantity;
            }
            postings.erase(postings.begin() + static_cast<std::ptrdiff_t>(j));
        }
        if ((std::fabs(line.trx_amount) < 0.005 || line.quantity == 0) && postings.size() > 1) {
            postings.erase(postings.begin() + static_cast<std::ptrdiff_t>(i));
            continue;
        }
        ++i;
    }
}

void CMicrosCheck::DistributeDiscounts() {
    const size_t n = postings.size();
    // The array holds minor units of the fiscal currency: with fewer decimals than the money
    // type keeps, amounts are scaled so that the remainder lands in whole fiscal units.
    int decimals = moneyDecimals < 0 ? 0 : (moneyDecimals > CCurrency::CurrencyDecimals ? CCurrency::CurrencyDecimals
                                                                                         : moneyDecimals);
    double scale = std::pow(10.0, CCurrency::CurrencyDecimals - decimals);
    CCurrencyArray shares(static_cast<uint32_t>(n));
    shares.log = log;
    std::vector<char> remove(n, 0);
    for (struct_posting& p : postings) {
        p.line_amount = p.item_amount = p.trx_amount;
    }
    for (size_t i = 0; i < n; ++i) {
        struct_posting& line = postings[i];
        if (line.line_type == kItem) {
            shares.Item(static_cast<uint32_t>(i)).FromDouble(line.item_amount / scale);
            continue;
        }
        if (line.line_type != kToSpread) {
            continue;
        }
        // The first line to spread takes in the others; they are spread over the items together.
        for (size_t k = i + 1; k < n; ++k) {
            if (postings[k].line_type == kToSpread) {
                line.line_amount += postings[k].line_amount;
                remove[k] = 1;
            }
        }
        CCurrency before;
        before.FromValue(shares.SumAll());
        CCurrency after = CCurrency::Add(before, CCurrency::Of(line.line_amount / scale));
        shares.Prorate(before, after, after, true);
        for (size_t k = 0; k < i; ++k) {
            if (postings[k].line_type == kItem) {
                double share = static_cast<double>(shares.Item(static_cast<uint32_t>(k)).AsDouble()) * scale;
                postings[k].share_discount += share - postings[k].line_amount;
            }
        }
        remove[i] = 1;
        break;
    }
    for (size_t i = 0; i < n; ++i) {
        struct_posting& p = postings[i];
        if (!remove[i] && p.line_type == kItem && p.share_discount != 0) {
            p.trx_amount = p.share_discount + p.trx_amount;
        }
    }
    linetools::RemoveMarked(postings, remove);
}

std::vector<std::string> CMicrosCheck::DumpText(const std::string& title) {
    text.clear();
    text.push_back(title.empty() ? "Print check:" : title);
    if (!checkNumber.empty()) {
        text.push_back("Check: " + checkNumber);
    }
    if (!cashierId.empty()) {
        text.push_back(text::Format("Cashier: %s %s", cashierId.c_str(), cashierName.c_str()));
    }
    text.push_back("Postings:");
    for (const struct_posting& p : postings) {
        text.push_back(text::Format("%d %s %.02f*%.02f (%s) Rate: %.04f %s ", p.trx_code, p.description.c_str(),
                                    p.trx_amount, p.quantity, p.fisc_status.c_str(), p.exchange_rate,
                                    p.reference.c_str()));
    }
    if (!payments.empty()) {
        text.push_back("Payments:");
    }
    for (const struct_posting& p : payments) {
        text.push_back(text::Format("%d: %s %.02f*%.02f Paid: %s; Rate: %.04f; %s", p.trx_code, p.description.c_str(),
                                    p.trx_amount, p.quantity, p.print_code.c_str(), p.exchange_rate,
                                    p.reference.c_str()));
    }
    text.push_back("");
    return text;
}
