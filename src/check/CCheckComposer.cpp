#include "check/CCheckComposer.h"

#include <cmath>

#include "check/CDiscountStep.h"
#include "check/CLineFolder.h"
#include "check/CLineMerger.h"
#include "check/CSignChecker.h"
#include "check/CCheckConversions.h"
#include "check/LineTools.h"
#include "platform/Text.h"

using namespace linetools;

bool CCheckComposer::Compose() {
    check.errorText.clear();
    check.documentKind = 7;
    NormaliseExchange();
    totals.SumPayments();
    if (check.amountMode == 2) {
        PerUnitStatistics();
    }
    CLineFolder folder(check);
    folder.Taxes();
    NormaliseQuantities();
    folder.ServiceCharges();
    folder.QuantityStep();
    check.postingsTotal = totals.SumPostings(check.postings);
    ApplyChange();
    CLineMerger merger(check);
    merger.Merge(check.payments, 0, true, &check.removedLines);
    totals.SumPayments();

    if (IsZero(check.paymentsTotal) || IsZero(check.postingsTotal)) {
        if (!CCheckConversions(check).NullCheckConversion()) {
            return false;
        }
    }
    AdjustRefundStatus();

    // Once the amounts have been found to match, later rounds only polish them.
    bool matched = totals.AmountsMatch();
    if (!matched) {
        if (check.statusCode == kDepositCheck || check.statusCode == kDepositLikeCheck) {
            matched = true;  // deposit-like checks do not compare amounts
        } else {
            matched = GrossTest() || PerUnitCorrection();
        }
    }
    if (check.printQuantity != 2 && TrialMerge()) {
        matched = true;
    }
    merger.Merge(check.postings, check.printQuantity, false, &check.removedLines);
    check.postingsTotal = totals.SumPostings(check.postings);
    if (totals.CorrectionRounds()) {
        matched = true;
    }
    if (!matched) {
        RoundPostings(check.postings);
        check.postingsTotal = totals.SumPostings(check.postings);
        matched = totals.AmountsMatch();
    }
    check.LogText("Merge posting");
    if (!matched) {
        SetMismatchError();
    }
    if (totals.CorrectionRounds()) {
        matched = true;
    }

    bool result = false;
    if (matched) {
        if (check.documentKind == 0) {
            // The last rounds brought the amounts together after all.
            check.documentKind = 7;
            check.errorText.clear();
        }
        SubstituteDescriptions();
        result = CSignChecker(check).CheckSigns();
    } else {
        RoundPostings(check.postings);
    }
    check.postingsTotal = totals.SumPostings(check.postings);
    if (check.checkMode == 7 && CCheckConversions(check).RefundDepositConversion()) {
        // The refunded deposit alone is registered; whatever failed before no longer applies.
        check.documentKind = 7;
        check.errorText.clear();
        result = CSignChecker(check).CheckSigns();
    }
    if (result) {
        CSignChecker(check).CheckPaymentSigns();
        if (check.statusCode != kDepositCheck && check.statusCode != kDepositLikeCheck) {
            CDiscountStep(check).Run();
        }
        folder.OwnTaxSums();
    }
    return result;
}

// A check of negative payments is a refund: of a payment check (3) or of a bill (14).
void CCheckComposer::AdjustRefundStatus() {
    if (check.statusCode == kUndecided) {
        check.statusCode = kPaymentCheck;
    }
    if (check.paymentsTotal < 0) {
        if (check.statusCode == kPaymentCheck || check.statusCode == kLegacyPaymentKind11 || check.statusCode == kPayMasterCheck) {
            check.statusCode = kRefundCheck;
        } else if (check.statusCode == kBillCheck) {
            check.statusCode = kBillRefund;
        }
    }
}

bool CCheckComposer::TrialMerge() {
    CLineMerger merger(check);
    std::vector<struct_posting> trial = check.postings;
    merger.Merge(trial, check.printQuantity, false, nullptr);
    check.postingsTotal = totals.SumPostings(trial);
    if (totals.AmountsMatch()) {
        return false;
    }
    trial = check.postings;
    RoundPostings(trial);
    merger.Merge(trial, check.printQuantity, false, nullptr);
    check.postingsTotal = totals.SumPostings(trial);
    if (totals.AmountsMatch()) {
        RoundPostings(check.postings);
        return true;
    }
    // Without the lines that carry no guest-account debit (package contents priced elsewhere).
    trial.clear();
    for (const struct_posting& p : check.postings) {
        if (p.guest_account_debit != 0) {
            trial.push_back(p);
        }
    }
    check.postingsTotal = totals.SumPostings(trial);
    if (!totals.AmountsMatch()) {
        return false;
    }
    for (struct_posting& p : check.postings) {
        if (p.guest_account_debit == 0) {
            p.trx_code = 0;
        }
    }
    check.RemoveZeroCodePostings();
    RoundPostings(check.postings);
    check.LogText("Pre-merge posting");
    return true;
}

void CCheckComposer::SetMismatchError() {
    check.documentKind = 0;
    check.Log("Postings amount not match payments amount");
    check.errorText = text::Format("Postings amount = %.4f, payments amount = %.4f. (%.4f)", check.postingsTotal,
                                   check.paymentsTotal, std::fabs(check.postingsTotal - check.paymentsTotal));
}

void CCheckComposer::NormaliseExchange() {
    auto normalise = [this](struct_posting& p) {
        if (p.exchange_rate == 1.0) {
            return;
        }
        if (p.exchange_rate <= 0) {
            // Garbage from the PMS: the amount is taken as it is rather than divided by zero.
            check.Log(text::Format("Exchange rate %.4f of line %d ignored", p.exchange_rate, p.trx_no));
        } else {
            p.trx_amount = p.BaseAmount();
        }
        p.exchange_rate = 1.0;
    };
    for (struct_posting& p : check.postings) {
        normalise(p);
    }
    for (struct_posting& p : check.payments) {
        normalise(p);
    }
}

void CCheckComposer::NormaliseQuantities() {
    if (check.amountMode == 2) {
        // Per-unit amounts become line amounts; POS lines carry line amounts already.
        for (struct_posting& p : check.postings) {
            if (p.line_type == 14 || p.line_type == 15 || p.line_type == 16 || !p.cheque_number.empty()) {
                continue;
            }
            p.trx_amount *= p.quantity;
            p.posted_amount *= p.quantity;
            p.net_amount *= p.quantity;
            p.extra_amount1 *= p.quantity;
            p.extra_amount3 *= p.quantity;
        }
        for (struct_posting& p : check.payments) {
            p.trx_amount *= p.quantity;
            p.posted_amount *= p.quantity;
        }
    }
    for (struct_posting& p : check.postings) {
        if (check.printQuantity == 0 || p.recalculate) {
            p.quantity = 1;
        }
        p.quantity = std::fabs(p.quantity);
    }
    for (struct_posting& p : check.payments) {
        if (check.printQuantity == 0) {
            p.quantity = 1;
        }
        p.quantity = std::fabs(p.quantity);
    }
}

void CCheckComposer::PerUnitStatistics() {
    check.mismatchLast = 0;
    check.mismatchSum = 0;
    check.mismatchCount = 0;
    for (const struct_posting& p : check.postings) {
        if (SameAmount(p.price_per_unit, p.trx_amount)) {
            if (p.trx_code == check.mismatchCode) {
                ++check.mismatchCount;
            }
        } else {
            check.mismatchLast = std::fabs(p.trx_amount - p.price_per_unit);
            check.mismatchSum += check.mismatchLast;
            check.mismatchCode = p.trx_code;
        }
    }
}

// The unit price that the PMS rounded differently on some lines of one code is corrected once.
bool CCheckComposer::PerUnitCorrection() {
    double x = check.mismatchCount * check.mismatchLast;
    if (std::fabs(std::fabs(check.paymentsTotal - check.postingsTotal) - x) >= 0.005) {
        return false;
    }
    for (struct_posting& p : check.postings) {
        if (p.trx_code == check.mismatchCode) {
            p.price_per_unit += x;
            break;
        }
    }
    check.postingsTotal += x;
    return true;
}

// The amounts in the currency of posting may match where the converted ones do not.
bool CCheckComposer::GrossTest() {
    double sum = 0;
    for (const struct_posting& p : check.postings) {
        if (!p.excluded) {
            sum += p.extra_amount3 + p.posted_amount;
        }
    }
    if (std::fabs(sum - check.paymentsTotal) >= 0.005) {
        return false;
    }
    for (struct_posting& p : check.postings) {
        p.trx_amount = p.extra_amount3 + p.posted_amount;
    }
    return true;
}

void CCheckComposer::ApplyChange() {
    if (!check.changeAllowed) {
        return;
    }
    for (struct_posting& p : check.payments) {
        if (std::fabs(p.change_due) >= 0.005) {
            p.trx_amount += p.change_due;
        }
    }
}

void CCheckComposer::RoundPostings(std::vector<struct_posting>& list) {
    for (struct_posting& p : list) {
        p.trx_amount = RoundSigned(p.trx_amount);
    }
}

void CCheckComposer::SubstituteDescriptions() {
    if (check.statusCode == kDepositCheck || check.statusCode == kOtherDeposit) {
        for (struct_posting& p : check.postings) {
            TakeDescription(p, check.depositTemplate, "Deposit");
            if (p.tax_group.empty()) {
                p.tax_group = check.depositTemplate.tax_group;
            }
        }
    } else if (check.appendRateCode) {
        for (struct_posting& p : check.postings) {
            if (p.rate_code.empty()) {
                continue;
            }
            p.description += " " + p.rate_code;
            if (!p.w_description.empty()) {
                AppendWide(p.w_description, u" " + Wide(p.rate_code));
            }
        }
    } else if (check.statusCode != kPayMasterCheck) {
        for (struct_posting& p : check.postings) {
            TakeDescription(p, check.serviceTemplate, "Hotel service");
        }
    }
}
