#include "check/CCheckConversions.h"

#include <cmath>

#include "check/CCheckTotals.h"
#include "check/CSignChecker.h"
#include "check/LineTools.h"
#include "platform/Text.h"

using namespace linetools;

namespace {

bool Open(const struct_posting& p) {
    return p.fisc_status.empty() || p.HasLetter(CheckStatusLetter::NotRegistered);
}

bool PosLine(const struct_posting& p) {
    return p.line_type == 14 || p.line_type == 15 || p.line_type == 16 || !p.cheque_number.empty();
}

}  // namespace

// A check without postings whose two payments cancel: one is registered already, the other is
// registered alone as a deposit-like check.
bool CCheckConversions::NullCheckConversion() {
    check.errorText = "Null check. Skipping.";
    check.documentKind = 2;
    if (!check.postings.empty() || check.payments.size() != 2) {
        return false;
    }
    const struct_posting& p1 = check.payments[0];
    const struct_posting& p2 = check.payments[1];
    if (p1.HasRegisteredLetter() && p2.HasRegisteredLetter()) {
        return false;
    }
    if (Open(p1) && Open(p2)) {
        return false;
    }
    if (!BelongTogether(p1, p2)) {
        check.errorText = "Null check. Mixed payments.";
        check.documentKind = 5;
        return false;
    }
    struct_posting kept = Open(p1) ? p1 : p2;
    check.SetStatusCode(kDepositCheck);
    MakeDepositCheck(kept);
    CCheckTotals(check).SumPayments();
    check.errorText.clear();
    check.documentKind = 7;
    return true;
}

bool CCheckConversions::BelongTogether(const struct_posting& p1, const struct_posting& p2) const {
    if (p1.trx_code == p2.trx_code) {
        return true;
    }
    if (check.amountMode == 2) {
        return check.checkMode == 7 && !p1.print_code.empty() && !p2.print_code.empty() &&
               (p1.print_code == p2.print_code || p1.print_code_ext == p2.print_code ||
                p1.print_code == p1.print_code_ext);
    }
    return p1.deposit_no != 0 && (p1.deposit_no == p2.trx_code || p1.deposit_no == p2.deposit_no);
}

void CCheckConversions::MakeDepositCheck(const struct_posting& payment) {
    struct_posting posting = payment;
    posting.description = check.depositTemplate.description;
    posting.tax_group = check.depositTemplate.tax_group;
    check.postings.clear();
    check.payments.clear();
    check.postings.push_back(posting);
    check.payments.push_back(payment);
}

// A refund of a deposit that is registered already: the refund alone is registered as a
// deposit-like check.
bool CCheckConversions::RefundDepositConversion() {
    const struct_posting* refund = nullptr;
    for (const struct_posting& p : check.payments) {
        if (!p.HasLetter(CheckStatusLetter::Deposit) && Opposite(p.trx_amount, check.paymentsTotal)) {
            refund = &p;
            break;
        }
    }
    if (!refund) {
        return false;
    }
    const struct_posting* deposit = nullptr;
    for (const struct_posting& k : check.payments) {
        if (k.HasLetter(CheckStatusLetter::Deposit) &&
            std::fabs(refund->trx_amount) <= std::fabs(k.trx_amount) &&
            (refund->trx_code == k.trx_code || refund->trx_code == k.deposit_no)) {
            deposit = &k;
            break;
        }
    }
    if (!deposit) {
        return false;
    }
    struct_posting kept = *refund;
    MakeDepositCheck(kept);
    check.SetStatusCode(kDepositCheck);
    CCheckTotals totals(check);
    check.postingsTotal = totals.SumPostings(check.postings);
    totals.SumPayments();
    check.LogText("CheckRefundDiscount");
    return true;
}

// After a failed composition: one line per tax group, and when even that does not match, one
// line for the whole amount.
bool CCheckConversions::TryToCreateShortCheck() {
    if (check.checkMode != 7) {
        return false;
    }
    SumByTax(check.postings);
    check.LogText("TryToCreateShortCheck.SumByTax");
    double opposite = CSignChecker::FirstOppositeAmount(check, check.postings);
    CCheckTotals totals(check);
    if (totals.CorrectionRounds() && opposite == 0) {
        return true;
    }
    struct_posting line;
    TakeDescription(line, check.serviceTemplate, "Hotel service");
    line.tax_group = check.serviceTemplate.tax_group;
    line.trx_amount = check.paymentsTotal;
    line.quantity = 1;
    line.trx_code = 100;
    check.postings.clear();
    check.postings.push_back(line);
    check.postingsTotal = totals.SumPostings(check.postings);
    check.LogText("TryToCreateShortCheck.SumNoTax");
    return true;
}

void CCheckConversions::SumByTax(std::vector<struct_posting>& list) {
    // POS lines of an expanded check keep their own lines.
    auto stays = [this](const struct_posting& p) { return check.posExpand && PosLine(p); };
    std::vector<char> gone(list.size(), 0);
    for (size_t i = 0; i < list.size(); ++i) {
        struct_posting& line = list[i];
        if (gone[i] || stays(line)) {
            continue;
        }
        TakeDescription(line, check.serviceTemplate, "Hotel service");
        line.quantity = 1;
        line.line_type = 0;
        for (size_t j = i + 1; j < list.size(); ++j) {
            if (!gone[j] && !stays(list[j]) && list[j].tax_group == line.tax_group) {
                Add(line, list[j], Amount | Posted | Net | Extras);
                gone[j] = 1;
            }
        }
    }
    RemoveMarked(list, gone);
}

void CCheckConversions::PaymentsAsPosting() {
    if (check.payments.empty()) {
        return;
    }
    struct_posting posting = check.payments.front();
    posting.trx_amount = posting.posted_amount = posting.price_per_unit = posting.net_amount = 0;
    for (const struct_posting& p : check.payments) {
        Add(posting, p, Amount | Posted | Unit | Net);
    }
    posting.line_type = 20;
    const std::string& number = check.statusCode == kReceivablePayment ? check.folioNumber : check.checkNumber;
    posting.description = check.serviceTemplate.description + " " + number;
    if (!check.serviceTemplate.w_description.empty()) {
        posting.w_description.clear();
        AppendWide(posting.w_description, check.serviceTemplate.w_description + u" " + Wide(number));
    }
    check.postings.clear();
    check.postings.push_back(posting);
}

void CCheckConversions::PostingsByTaxNumber() {
    constexpr int kGroups = 9;
    double sums[kGroups] = {};
    int first[kGroups];
    for (int& f : first) {
        f = -1;
    }
    for (size_t i = 0; i < check.postings.size(); ++i) {
        int group = text::ToInt(check.postings[i].tax_group);
        if (group < 0 || group >= kGroups) {
            group = 0;
        }
        sums[group] += check.postings[i].trx_amount;
        if (first[group] < 0) {
            first[group] = static_cast<int>(i);
        }
    }
    // Each group's line is a copy of the group's first posting, so that it keeps its tax.
    std::vector<struct_posting> grouped;
    for (int g = 0; g < kGroups; ++g) {
        if (IsZero(sums[g])) {
            continue;
        }
        struct_posting line = check.postings[static_cast<size_t>(first[g])];
        line.trx_amount = line.posted_amount = line.price_per_unit = line.net_amount = sums[g];
        line.quantity = 1;
        line.code_text = text::Format("%d", g);
        line.line_type = 20;
        grouped.push_back(line);
    }
    check.postings = std::move(grouped);
}
