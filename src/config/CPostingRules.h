#pragma once

#include <cstddef>
#include <string>

#include "check/CFiscalCheck.h"

class CRuleLists;
class RuleSettings;

// The rules that classify the postings of a check before composition: their kind, tax, deposit
// and prepayment tax, posting attribute, minibar articles, quantity mode and adjustment codes;
// and, after composition, the taxes and descriptions by folio window.
class CPostingRules {
public:
    CPostingRules(const RuleSettings& settings, CFiscalCheck& check);

    // Every posting classified, then the minibar, no-quantity and adjustment-code passes.
    void Apply();
    // Tax and description of every posting from the lists by folio window.
    void ApplyWindowRules();
    // Postings without a tax get the tax of the chosen printer (when it has one).
    void ApplyPrinterTax(const std::string& tax);

private:
    // Kind, tax, deposit tax, prepayment and posting attribute of one posting. The device codes
    // are worked on in a copy that goes back to the posting at the end.
    void Classify(size_t index);
    void ChooseKind(const struct_posting& posting, struct_print_code& code) const;
    void ChooseTax(const struct_posting& posting, struct_print_code& code) const;
    void ApplyPrepayment(struct_posting& posting, struct_print_code& code) const;
    void ApplyPostingAttribute(const struct_posting& posting, struct_print_code& code) const;
    void ApplyMinibarArticles();
    void ApplyAdjustmentCodes();

    const RuleSettings& settings;
    const CRuleLists& lists;
    CFiscalCheck& check;
};
