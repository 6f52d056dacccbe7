#include "check/CCheckTotals.h"

#include <cmath>

#include "check/LineTools.h"

using namespace linetools;

namespace {

bool CashClass(int payKind) { return payKind == 0 || (payKind >= 7 && payKind <= 10); }

bool HasFraction(double x) { return x - std::trunc(x) != 0; }

}  // namespace

double CCheckTotals::SumPostings(std::vector<struct_posting>& list) {
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

void CCheckTotals::SumPayments() {
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

bool CCheckTotals::AmountsMatch() {
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

bool CCheckTotals::CorrectionRounds() {
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

bool CCheckTotals::SmallCorrection() {
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
