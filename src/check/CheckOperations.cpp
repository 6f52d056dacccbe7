// The operations a check offers and the classes that carry them out: the record (CFiscalCheck.cpp)
// knows nothing of its composers, the composers know the record, and only this file knows both.
#include "check/CCheckComposer.h"
#include "check/CCheckConversions.h"
#include "check/CCheckTotals.h"
#include "check/CFiscalCheck.h"
#include "check/CLineMerger.h"
#include "check/CSignChecker.h"

bool CFiscalCheck::Compose() { return CCheckComposer(*this).Compose(); }
double CFiscalCheck::SumPostings(std::vector<struct_posting>& list) { return CCheckTotals(*this).SumPostings(list); }
void CFiscalCheck::SumPayments() { CCheckTotals(*this).SumPayments(); }
bool CFiscalCheck::AmountsMatch() { return CCheckTotals(*this).AmountsMatch(); }
void CFiscalCheck::Merge(std::vector<struct_posting>& list, int mode, bool isPayments) {
    bool own = &list == &postings || &list == &payments;
    CLineMerger(*this).Merge(list, mode, isPayments, own ? &removedLines : nullptr);
}
bool CFiscalCheck::CheckSigns() { return CSignChecker(*this).CheckSigns(); }
bool CFiscalCheck::CheckPaymentSigns() { return CSignChecker(*this).CheckPaymentSigns(); }
double CFiscalCheck::FirstOppositeAmount(const std::vector<struct_posting>& list) const {
    return CSignChecker::FirstOppositeAmount(*this, list);
}
bool CFiscalCheck::NullCheckConversion() { return CCheckConversions(*this).NullCheckConversion(); }
bool CFiscalCheck::RefundDepositConversion() { return CCheckConversions(*this).RefundDepositConversion(); }
bool CFiscalCheck::TryToCreateShortCheck() { return CCheckConversions(*this).TryToCreateShortCheck(); }
void CFiscalCheck::SumByTax(std::vector<struct_posting>& list) { CCheckConversions(*this).SumByTax(list); }
void CFiscalCheck::PaymentsAsPosting() { CCheckConversions(*this).PaymentsAsPosting(); }
void CFiscalCheck::PostingsByTaxNumber() { CCheckConversions(*this).PostingsByTaxNumber(); }
void CFiscalCheck::MergePostings() { Merge(postings, printQuantity, false); }
