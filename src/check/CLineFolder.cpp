#include "check/CLineFolder.h"

#include <string>
#include <vector>

#include "check/LineTools.h"
#include "platform/Text.h"

using namespace linetools;

namespace {

// Lines of one package share a package_link; a link of 0 is no package.
bool SamePackage(const struct_posting& a, const struct_posting& b) {
    return a.package_link != 0 && a.package_link == b.package_link;
}

}  // namespace

void CLineFolder::Taxes() {
    if (check.amountMode == 2) {
        return;
    }
    for (double& sum : check.taxSums) {
        sum = 0;
    }
    PackageDebits();
    check.LogText("Pre - taxes");
    TaxPass();
    check.LogText("Taxes");
}

// A package line that is charged on top of the package raises the guest-account debit of the
// package's components, which later stand for the whole package.
void CLineFolder::PackageDebits() {
    std::vector<struct_posting>& list = check.postings;
    for (size_t k = 0; k < list.size(); ++k) {
        const struct_posting& line = list[k];
        if (line.line_type != 5 || line.tax_included || line.guest_account_debit == 0) {
            continue;
        }
        for (size_t e = 0; e < list.size(); ++e) {
            struct_posting& component = list[e];
            if (e != k && component.excluded && SamePackage(component, line) && component.guest_account_debit != 0) {
                component.guest_account_debit += line.trx_amount;
                component.code_number = line.trx_code;
            }
        }
    }
}

// A posting takes the tax group and device code of its tax lines (type 7 lines added by it).
// With tax lines of several groups the posting keeps the first group and its code, and code_text
// and subgroup list every group, separated by ",". A posting without tax lines is summed by
// OwnTaxSums once composition is done.
void CLineFolder::TaxPass() {
    std::vector<struct_posting>& list = check.postings;
    for (size_t p = 0; p < list.size(); ++p) {
        struct_posting& posting = list[p];
        if (posting.line_type == 5 || posting.line_type == 6 || posting.line_type == 7 || posting.excluded) {
            continue;
        }
        std::vector<std::string> groups;
        for (size_t t = 0; t < list.size() && posting.trx_no != 0; ++t) {
            const struct_posting& taxLine = list[t];
            if (t == p || taxLine.line_type != 7 || taxLine.added_by != posting.trx_no) {
                continue;
            }
            if (groups.empty()) {
                posting.tax_group = taxLine.tax_group;
                posting.print_code2 = taxLine.print_code2;
            }
            bool known = false;
            for (const std::string& g : groups) {
                known = known || g == taxLine.tax_group;
            }
            if (!known) {
                groups.push_back(taxLine.tax_group);
            }
            AddTaxSums(posting, taxLine);
        }
        posting.taxed_by_lines = !groups.empty();
        if (groups.size() > 1) {
            posting.code_text = text::Join(groups, ",");
            posting.subgroup = posting.code_text;
        }
    }
}

// Groups "0" to "3" fill a pair (base, tax); group "4" only the last element, with its tax.
void CLineFolder::AddTaxSums(const struct_posting& posting, const struct_posting& taxLine) {
    bool net = taxLine.tax_included && posting.net_amount != 0;
    AddToGroup(taxLine.tax_group, net ? posting.net_amount : posting.trx_amount, taxLine.trx_amount);
}

// A PMS whose tax groups come from the tax lists generates no tax lines: its postings add
// themselves by their own group, as composition leaves them (packages absorbed, lines that make
// no part of the sale dropped), so that the sums describe what is registered.
void CLineFolder::OwnTaxSums() {
    if (check.amountMode == 2) {
        return;
    }
    for (const struct_posting& posting : check.postings) {
        if (posting.line_type != 5 && posting.line_type != 6 && posting.line_type != 7 && !posting.excluded &&
            !posting.taxed_by_lines) {
            AddOwnTaxSums(posting);
        }
    }
}

// The tax of a posting without tax lines is what its amount holds beyond its net amount when the
// tax is included, else nothing; a posting without a group counts in the group that the
// registration gives it (the service template's, see CheckSigns). In group "4" (vouchers) the
// amount itself is the sum.
void CLineFolder::AddOwnTaxSums(const struct_posting& posting) {
    const std::string& group = posting.tax_group.empty() ? check.serviceTemplate.tax_group : posting.tax_group;
    if (group == "4") {
        AddToGroup(group, 0, posting.trx_amount);
        return;
    }
    bool net = posting.tax_included && posting.net_amount != 0;
    AddToGroup(group, net ? posting.net_amount : posting.trx_amount,
               net ? posting.trx_amount - posting.net_amount : 0);
}

void CLineFolder::AddToGroup(const std::string& group, double base, double tax) {
    if (group.size() != 1 || group[0] < '0' || group[0] > '4') {
        return;
    }
    if (group[0] == '4') {
        check.taxSums[9] += tax;
        return;
    }
    int pair = 2 * (group[0] - '0');
    check.taxSums[pair] += base;
    check.taxSums[pair + 1] += tax;
}

// Generated lines (type 7) go into the posting that generated them and into the components of
// their package; a tax already included in the amount adds nothing.
void CLineFolder::ServiceCharges() {
    std::vector<struct_posting>& list = check.postings;
    bool any = false;
    for (size_t l = 0; l < list.size(); ++l) {
        struct_posting& line = list[l];
        if (line.line_type != 7) {
            continue;
        }
        any = true;
        bool found = false;
        for (size_t p = 0; p < list.size(); ++p) {
            struct_posting& parent = list[p];
            if (p == l || line.added_by == 0 || parent.trx_no != line.added_by) {
                continue;
            }
            if (!line.tax_included) {
                Add(parent, line, Amount | Unit);
            }
            line.tax_group = parent.tax_group;
            found = true;
        }
        for (size_t e = 0; e < list.size(); ++e) {
            struct_posting& component = list[e];
            if (e == l || !component.excluded || !SamePackage(component, line)) {
                continue;
            }
            if (!line.tax_included) {
                Add(component, line, Amount | Unit);
            }
            if (line.tax_group.empty()) {
                line.tax_group = component.tax_group;
            }
            found = true;
        }
        if (found) {
            line.trx_code = 0;
        }
    }
    check.RemoveZeroCodePostings();
    if (any) {
        check.LogText("ServiceCharges");
    }
}

void CLineFolder::QuantityStep() {
    Packages();
    if (check.printQuantity == 3) {
        QuantityThree();
    }
}

void CLineFolder::Packages() {
    if (check.amountMode == 2) {
        PackagesPerUnit();
    } else {
        PackagesByDebit();
    }
}

// A package is printed as one of its components (excluded lines) carrying the guest-account
// debit of the whole package; the other lines of the package leave the check.
void CLineFolder::PackagesByDebit() {
    std::vector<struct_posting>& list = check.postings;
    for (size_t d = 0; d < list.size(); ++d) {
        struct_posting& line = list[d];
        if (line.trx_code == 0 || !line.excluded) {
            continue;
        }
        if (line.guest_account_debit == 0) {
            // Another component with a debit will carry the package; the others without one go.
            for (size_t o = 0; o < list.size(); ++o) {
                struct_posting& other = list[o];
                if (o == d || !other.excluded || !SamePackage(other, line)) {
                    continue;
                }
                if (other.guest_account_debit != 0) {
                    line.trx_code = 0;
                    break;
                }
                other.trx_code = 0;
            }
            if (line.trx_code == 0) {
                continue;
            }
        }
        std::string packageTax;
        for (size_t o = 0; o < list.size(); ++o) {
            if (o != d && SamePackage(list[o], line) && !list[o].excluded) {
                packageTax = list[o].tax_group;
                break;
            }
        }
        if (line.guest_account_debit == 0) {
            for (size_t o = 0; o < list.size(); ++o) {
                struct_posting& other = list[o];
                if (o == d || !SamePackage(other, line)) {
                    continue;
                }
                if (other.guest_account_debit == 0) {
                    other.trx_code = 0;
                } else {
                    other.trx_code = line.trx_code;
                    other.description = line.description;
                }
            }
            line.trx_code = 0;
            continue;
        }
        double net = 0;
        for (size_t o = 0; o < list.size(); ++o) {
            struct_posting& other = list[o];
            if (o == d || !SamePackage(other, line)) {
                continue;
            }
            line.code_text = other.code_text;
            if (line.rate_code.empty() && !other.rate_code.empty()) {
                line.rate_code = other.rate_code;
            }
            net += other.net_amount;
            other.trx_code = 0;
        }
        line.trx_amount = line.guest_account_debit;
        if (line.net_amount == 0) {
            line.net_amount = net;
        }
        line.tax_group = packageTax;
        line.excluded = false;
    }
    check.RemoveZeroCodePostings();
    check.LogText("Packages");
}

// Per-unit mode: the lines of a package (package_link = the package posting's trx_no) with the
// same tax and device code are printed with the package: by code, or folded into it.
void CLineFolder::PackagesPerUnit() {
    std::vector<struct_posting>& list = check.postings;
    bool folded = false;
    for (size_t d = 0; d < list.size(); ++d) {
        struct_posting& package = list[d];
        if (package.trx_no == 0 || package.trx_code == 0) {
            continue;
        }
        for (size_t i = 0; i < list.size(); ++i) {
            struct_posting& item = list[i];
            if (i == d || item.package_link != package.trx_no || item.tax_group != package.tax_group ||
                item.print_code2 != package.print_code2) {
                continue;
            }
            folded = true;
            if (check.printQuantity == 0) {
                item.trx_code = package.trx_code;
                item.rate_code = package.rate_code;
            } else {
                Add(package, item, Amount | Posted | Net | Extra3);
                item.trx_code = 0;
            }
        }
    }
    if (folded) {
        check.RemoveZeroCodePostings();
        check.LogText("Packages");
    }
}

// Print-quantity mode 3: one line of hotel services per tax group.
void CLineFolder::QuantityThree() {
    std::vector<struct_posting>& list = check.postings;
    for (size_t i = 0; i < list.size(); ++i) {
        struct_posting& line = list[i];
        if (line.trx_code == 0) {
            continue;
        }
        TakeDescription(line, check.serviceTemplate, "Hotel service");
        for (size_t j = i + 1; j < list.size(); ++j) {
            struct_posting& other = list[j];
            if (other.trx_code != 0 && other.tax_group == line.tax_group) {
                Add(line, other, Amount | Posted | Net | Unit | Extras);
                other.trx_code = 0;
            }
        }
    }
    check.RemoveZeroCodePostings();
    check.LogText("Quantity 3");
    if (list.size() == 1) {
        list[0].trx_amount = check.paymentsTotal;
    }
}
