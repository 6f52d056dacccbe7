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

namespace {

bool CashClass(int payKind) { return payKind == 0 || (payKind >= 7 && payKind <= 10); }

bool HasFraction(double x) { return x - std::trunc(x) != 0; }

}  // namespace

bool CCheckComposer::Compose() {
    check.errorText.clear();
    check.documentKind = 7;
    NormaliseExchange();
    SumPayments();
    if (check.amountMode == 2) {
        PerUnitStatistics();
    }
    CLineFolder folder(check);
    folder.Taxes();
    NormaliseQuantities();
    folder.ServiceCharges();
    folder.QuantityStep();
    check.postingsTotal = SumPostings(check.postings);
    ApplyChange();
    CLineMerger merger(check);
    merger.Merge(check.payments, 0, true, &check.removedLines);
    SumPayments();

    if (IsZero(check.paymentsTotal) || IsZero(check.postingsTotal)) {
        if (!CCheckConversions(check).NullCheckConversion()) {
            return false;
        }
    }
    AdjustRefundStatus();

    // Once the amounts have been found to match, later rounds only polish them.
    bool matched = AmountsMatch();
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
    check.postingsTotal = SumPostings(check.postings);
    if (CorrectionRounds()) {
        matched = true;
    }
    if (!matched) {
        RoundPostings(check.postings);
        check.postingsTotal = SumPostings(check.postings);
        matched = AmountsMatch();
    }
    check.LogText("Merge posting");
    if (!matched) {
        SetMismatchError();
    }
    if (CorrectionRounds()) {
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
    check.postingsTotal = SumPostings(check.postings);
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
    check.postingsTotal = SumPostings(trial);
    if (AmountsMatch()) {
        return false;
    }
    trial = check.postings;
    RoundPostings(trial);
    merger.Merge(trial, check.printQuantity, false, nullptr);
    check.postingsTotal = SumPostings(trial);
    if (AmountsMatch()) {
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
    check.postingsTotal = SumPostings(trial);
    if (!AmountsMatch()) {
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

double CCheckComposer::SumPostings(std::vector<struct_posting>& list) {
    auto dropped = [](const struct_posting& p) { return std::fabs(p.trx_amount) < 0.005 || p.quantity == 0; };
    if (check.amountMode == 2 && check.printQuantity != 2) {
        // A package posting of no amount leaves its description and rate to its lines.
        for (const struct_posting& line : list) {
            if (!dropped(line) || line.trx_no == 0) {
                continue;
            }
            for (struct_posting& other : list) {
                if (other.package_link == line.trx_no && other.trx_no != line.trx_no) {
                    other.description = line.description;
                    other.rate_code = line.rate_code;
                }
            }
        }
    }
    std::erase_if(list, dropped);
    list.shrink_to_fit();
    check.netTotal = 0;
    double total = 0;
    for (const struct_posting& p : list) {
        if (p.excluded) {
            continue;
        }
        if (!(p.line_type == 7 && p.tax_included)) {
            total += p.trx_amount;
        }
        check.netTotal += p.net_amount;
    }
    return total;
}

void CCheckComposer::SumPayments() {
    std::vector<struct_posting>& list = check.payments;
    for (const struct_posting& p : list) {
        if (std::fabs(p.trx_amount) < 0.005) {
            check.removedLines.push_back(p);
        }
    }
    std::erase_if(list, [](const struct_posting& p) { return std::fabs(p.trx_amount) < 0.005; });
    check.paymentsTotal = 0;
    check.cashTotal = 0;
    // Recomputed with the other totals: composition sums the payments several times.
    check.cashReturned = 0;
    for (const struct_posting& p : list) {
        double v = p.quantity * p.trx_amount;
        check.paymentsTotal += v;
        if (CashClass(p.pay_kind)) {
            check.cashTotal += v;
            if (v < 0) {
                check.cashReturned += v;
            }
        }
    }
}

bool CCheckComposer::AmountsMatch() {
    if (check.mixedPostings || check.checkMode == 10) {
        return true;
    }
    double postings = RoundToCent(check.postingsTotal);
    double payments = RoundToCent(check.paymentsTotal);
    double e = std::fabs(postings - payments);
    constexpr double kNoise = 1e-9;  // e is a whole number of cents up to the noise of doubles
    if (check.moneyDecimals == 2 && e >= 0.005 && e < 0.14 - kNoise && !check.postings.empty()) {
        // A few cents of rounding go onto the first posting with cents, or the last one. The
        // difference is one of absolute totals: on a refund it is added with the refund's sign.
        struct_posting* target = &check.postings.back();
        for (struct_posting& p : check.postings) {
            if (HasFraction(p.trx_amount)) {
                target = &p;
                break;
            }
        }
        double difference = std::round((payments - postings) * 100.0) / 100.0;
        target->trx_amount += check.postingsTotal < 0 ? -difference : difference;
        return true;
    }
    if (e < 0.005 || (check.moneyDecimals != 2 && e < 1 - kNoise)) {
        return true;
    }
    if (check.changeAllowed && payments > postings) {
        // The excess is given back as change from a cash payment that is big enough.
        for (const struct_posting& p : check.payments) {
            if (p.pay_kind == 0 && std::fabs(p.trx_amount) > e) {
                return true;
            }
        }
    }
    return false;
}

bool CCheckComposer::CorrectionRounds() {
    for (int round = 0; round < 10; ++round) {
        check.postingsTotal = SumPostings(check.postings);
        if (AmountsMatch()) {
            return true;
        }
        if (!SmallCorrection()) {
            return false;
        }
    }
    return false;
}

bool CCheckComposer::SmallCorrection() {
    double d = check.paymentsTotal - check.postingsTotal;
    // The bounds are decimal amounts: 100.05 - 100.00 is 0.05 even where the double says 0.0499999.
    constexpr double kNoise = 1e-9;
    if (!(std::fabs(d) > 0.003 + kNoise && std::fabs(d) < 0.05 - kNoise)) {
        return false;
    }
    double step = d >= 0 ? 0.005 : -0.005;
    struct_posting* target = nullptr;
    for (struct_posting& p : check.postings) {
        double whole;
        if (p.quantity == 1 && std::fabs(std::modf(p.trx_amount, &whole)) >= 0.01) {
            target = &p;
            break;
        }
    }
    if (!target) {
        for (struct_posting& p : check.postings) {
            if (p.quantity == 1) {
                target = &p;
            }
        }
    }
    if (!target) {
        return false;  // no line of quantity 1 to take it
    }
    target->trx_amount += step;
    return true;
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
