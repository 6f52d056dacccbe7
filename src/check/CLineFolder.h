#pragma once

#include "check/CFiscalCheck.h"

// Folds the generated lines of a check into the postings they belong to: tax lines (with the
// tax sums of the check), service charges, package components, and in print-quantity mode 3
// every posting of a tax group into one.
class CLineFolder {
public:
    explicit CLineFolder(CFiscalCheck& check) : check(check) {}

    // Package debits and the tax pass into taxSums; not in per-unit mode (amountMode 2).
    void Taxes();
    // The postings without tax lines into taxSums, by their group; after composition.
    void OwnTaxSums();
    void ServiceCharges();
    // The package step, then the print-quantity 3 fold.
    void QuantityStep();
    void Packages();

private:
    void PackageDebits();
    void TaxPass();
    void AddTaxSums(const struct_posting& posting, const struct_posting& taxLine);
    void AddOwnTaxSums(const struct_posting& posting);
    void AddToGroup(const std::string& group, double base, double tax);
    void PackagesByDebit();
    void PackagesPerUnit();
    void QuantityThree();

    CFiscalCheck& check;
};
