#include "check/CSignChecker.h"

#include <cmath>

#include "check/CCheckTotals.h"
#include "check/CLineMerger.h"
#include "check/LineTools.h"
#include "platform/Text.h"

using namespace linetools;

namespace {

constexpr unsigned kSignFold = Amount | Posted | Unit | Net | Extra1 | Extra3;

bool InSubgroup(const std::string& subgroup, int code) {
    return text::ListHasItem(subgroup, text::Format("%d", code));
}

}  // namespace

double CSignChecker::FirstOppositeAmount(const CFiscalCheck& check, const std::vector<struct_posting>& list) {
    if (check.mixedPostings) {
        return 0;
    }
    for (const struct_posting& p : list) {
        if (Opposite(p.trx_amount, check.paymentsTotal) && p.line_type != 4 && p.line_type != 15 &&
            p.cheque_number.empty()) {
            return p.trx_amount;
        }
    }
    return 0;
}

bool CSignChecker::CheckSigns() {
    if (check.statusCode == kDepositCheck || check.statusCode == kOtherDeposit || !check.appendRateCode) {
        return true;
    }
    if (FirstOppositeAmount(check, check.postings) != 0) {
        FoldAdjustments();
        CLineMerger merger(check);
        std::vector<struct_posting> trial = check.postings;
        merger.Merge(trial, 1, false, nullptr);
        if (FirstOppositeAmount(check, trial) == 0) {
            merger.Merge(check.postings, 1, false, &check.removedLines);
        } else if (check.paymentsTotal > 0) {
            FoldIntoNegatives();
        }
        double left = FirstOppositeAmount(check, check.postings);
        if (left != 0) {
            check.errorText = check.paymentsTotal >= 0
                                  ? text::Format("Can't print check %s, negative amount %.2f.",
                                                 check.checkNumber.c_str(), left)
                                  : text::Format("Can't print refund check %s, positive amount %.2f.",
                                                 check.checkNumber.c_str(), left);
            check.documentKind = 4;
            return false;
        }
    }
    check.errorText.clear();
    for (struct_posting& p : check.postings) {
        if (p.tax_group.empty()) {
            p.tax_group = check.serviceTemplate.tax_group;
        }
    }
    return true;
}

// A correction of the wrong sign goes into the first posting it adjusts: the one whose
// adj_trx_code, or one of whose subgroup codes, is the correction's code, and that is big enough.
void CSignChecker::FoldAdjustments() {
    std::vector<struct_posting>& list = check.postings;
    bool folded = false;
    for (size_t a = 0; a < list.size(); ++a) {
        struct_posting& adjustment = list[a];
        if (adjustment.trx_code == 0 || !Opposite(adjustment.trx_amount, check.paymentsTotal)) {
            continue;
        }
        for (size_t m = 0; m < list.size(); ++m) {
            struct_posting& target = list[m];
            if (m == a || target.trx_code == 0) {
                continue;
            }
            bool adjusts = target.adj_trx_code == adjustment.trx_code || InSubgroup(target.subgroup, adjustment.trx_code);
            if (adjusts && std::abs(adjustment.trx_amount) <= std::abs(target.trx_amount)) {
                Add(target, adjustment, kSignFold);
                target.quantity = 1;
                adjustment.trx_code = 0;
                folded = true;
                break;
            }
        }
    }
    if (folded) {
        check.RemoveZeroCodePostings();
    }
}

// A negative posting on a positive check takes in the other postings of its code and tax.
void CSignChecker::FoldIntoNegatives() {
    std::vector<struct_posting>& list = check.postings;
    for (size_t i = 0; i < list.size(); ++i) {
        struct_posting& negative = list[i];
        if (negative.trx_code == 0 || negative.trx_amount >= 0) {
            continue;
        }
        for (size_t j = 0; j < list.size(); ++j) {
            struct_posting& other = list[j];
            if (j == i || other.trx_code != negative.trx_code || other.tax_group != negative.tax_group ||
                other.trx_no == negative.trx_no) {
                continue;
            }
            Add(negative, other, kSignFold);
            negative.quantity = 1;
            other.trx_code = 0;
        }
    }
    check.RemoveZeroCodePostings();
}

bool CSignChecker::CheckPaymentSigns() {
    if (check.checkMode == 9) {
        // The Mongolian device takes the payments of the wrong sign after the others.
        double total = check.paymentsTotal;
        MoveToEnd(check.payments, [total](const struct_posting& p) { return Opposite(p.trx_amount, total); });
    } else if (!check.mixedPostings) {
        FoldOppositePayments();
    }
    CCheckTotals(check).SumPayments();
    OrderCashLast();
    return true;
}

// Cash of the wrong sign (change given back) goes into a cash payment of the same device code;
// any other payment of the wrong sign is reported.
void CSignChecker::FoldOppositePayments() {
    std::vector<struct_posting>& list = check.payments;
    double total = check.paymentsTotal;
    size_t i = 0;
    while (i < list.size()) {
        struct_posting& payment = list[i];
        if (!Opposite(payment.trx_amount, total)) {
            ++i;
            continue;
        }
        size_t partner = list.size();
        for (size_t k = 0; k < list.size(); ++k) {
            if (k != i && list[k].print_code == payment.print_code) {
                partner = k;
                break;
            }
        }
        if (payment.pay_kind != 0 || partner == list.size()) {
            check.errorText = total >= 0 ? text::Format("Can't print check %s, negative payment %.2f.",
                                                        check.checkNumber.c_str(), payment.trx_amount)
                                         : text::Format("Can't print refund check %s, positive payment %.2f.",
                                                        check.checkNumber.c_str(), payment.trx_amount);
            ++i;
            continue;
        }
        Add(list[partner], payment, Amount | Posted);
        // The folded payment keeps its place in the removed lines so that its status is written.
        check.removedLines.push_back(payment);
        check.removedLines.back().trx_code = list[partner].trx_no;
        list.erase(list.begin() + static_cast<std::ptrdiff_t>(i));
    }
}

void CSignChecker::OrderCashLast() {
    if (check.cashTotal == 0 || check.cashTotal >= check.paymentsTotal) {
        return;
    }
    MoveToEnd(check.payments, [](const struct_posting& p) { return p.pay_kind == 0; });
    MoveToEnd(check.payments, [](const struct_posting& p) { return p.pay_kind == 0 && p.trx_amount < 0; });
}
