#include "config/CPostingRules.h"

#include "config/CRuleLists.h"
#include "config/RuleSettings.h"
#include "platform/CodePage.h"
#include "platform/Text.h"

namespace {

// Narrow descriptions converted from the wide prepayment texts hold at most 250 bytes.
constexpr size_t kNarrowTextLimit = 250;

}  // namespace

CPostingRules::CPostingRules(const RuleSettings& settings, CFiscalCheck& check)
    : settings(settings), lists(settings.rules), check(check) {}

void CPostingRules::Apply() {
    for (size_t i = 0; i < check.postings.size(); ++i) {
        Classify(i);
    }
    if (settings.minibarArticles) {
        ApplyMinibarArticles();
    }
    for (struct_posting& p : check.postings) {
        if (CRuleLists::Has(lists.nonQuantity, p.trx_code)) {
            p.recalculate = true;
        }
    }
    if (!settings.adjustmentCodes.empty()) {
        ApplyAdjustmentCodes();
    }
}

void CPostingRules::Classify(size_t index) {
    struct_posting& posting = check.postings[index];
    struct_print_code code = struct_print_code::Of(posting);
    if (code.line_type == 21) {
        ChooseKind(posting, code);
    }
    if (code.tax_group.empty()) {
        ChooseTax(posting, code);
    }
    // Deposit checks: the tax of the deposit, whatever was found before.
    if (check.statusCode == kDepositCheck || check.statusCode == kDepositLikeCheck) {
        std::string tax;
        code.tax_group = CRuleLists::Find(lists.depositTaxes, posting.trx_code, tax)
                             ? tax
                             : check.depositTemplate.tax_group;
    }
    ApplyPrepayment(posting, code);
    ApplyPostingAttribute(posting, code);
    check.SetPostingPrintCode(index, code);
}

void CPostingRules::ChooseKind(const struct_posting& posting, struct_print_code& code) const {
    if (!posting.cheque_number.empty()) {
        // A POS posting: with interface cashiers configured only theirs are POS items.
        if (lists.interfaceCashiers.empty()) {
            code.line_type = 14;
            return;
        }
        auto cashier = lists.interfaceCashiers.find(posting.cashier_id);
        if (cashier != lists.interfaceCashiers.end()) {
            code.line_type = 14;
            if (code.print_text.empty()) {
                code.print_text = cashier->second;
            }
        }
        return;
    }
    auto discount = lists.discounts.find(posting.trx_code);
    if (discount != lists.discounts.end()) {
        code.line_type = 4;
        code.post_with_tax = discount->second;
    } else if (CRuleLists::Has(lists.serviceCharges, posting.trx_code)) {
        code.line_type = 12;
    } else if (CRuleLists::Has(lists.roomPayMaster, posting.room)) {
        code.line_type = 1;
    } else {
        code.line_type = 0;
    }
}

void CPostingRules::ChooseTax(const struct_posting& posting, struct_print_code& code) const {
    code.print_code2 = lists.DoubleTaxes(posting.trx_code);
    if (!code.print_code2.empty()) {
        code.line_type = 5;
    }

    std::string key = posting.tax_type.empty()
                          ? text::Format("%d", posting.trx_code)
                          : text::Format("%d+%s", posting.trx_code, posting.tax_type.c_str());
    std::string tax;
    if (CRuleLists::Find(lists.taxByCodeAndType, key, tax) ||
        CRuleLists::Find(lists.taxByCodeAndType, text::Format("%d+*", posting.trx_code), tax)) {
        code.tax_group = tax;
        settings.WriteLog(text::Format("Tax %d Rule %s - print %s", posting.trx_code,
                                       posting.tax_type.c_str(), tax.c_str()));
        return;
    }

    // Generated tax, city-tax and service-charge lines are lines of their own on a full check.
    struct TaxList {
        const CRuleLists::IntMap& list;
        int32_t fullCheckType;
    };
    const TaxList byCode[] = {{lists.taxes, 5}, {lists.cityTaxes, 6}, {lists.serviceChargeTaxes, 7}};
    for (const TaxList& candidate : byCode) {
        if (CRuleLists::Find(candidate.list, posting.trx_code, tax)) {
            code.tax_group = tax;
            if (check.appendRateCode) {
                code.line_type = candidate.fullCheckType;
            }
            return;
        }
    }
    // The user-defined field, when configured, arrives in the POS check number.
    if (CRuleLists::Find(lists.udfTaxes, posting.cheque_number, tax) ||
        CRuleLists::Find(lists.viewTaxes, posting.folio_view, tax)) {
        code.tax_group = tax;
    }
}

void CPostingRules::ApplyPrepayment(struct_posting& posting, struct_print_code& code) const {
    std::string tax;
    if (lists.prepaymentPostings.empty() || !CRuleLists::Find(lists.prepaymentTaxes, posting.trx_code, tax)) {
        return;
    }
    code.tax_group = tax;
    auto wide = lists.prepaymentWideDescriptions.find(posting.trx_code);
    std::string narrow;
    if (wide != lists.prepaymentWideDescriptions.end() && !wide->second.empty()) {
        posting.description = platform::Utf16ToCodePage(wide->second, "1251").substr(0, kNarrowTextLimit);
    } else if (CRuleLists::Find(lists.prepaymentDescriptions, posting.trx_code, narrow)) {
        posting.description = narrow;
    }
}

void CPostingRules::ApplyPostingAttribute(const struct_posting& posting, struct_print_code& code) const {
    auto attribute = lists.postingAttributes.find(posting.trx_code);
    if (attribute == lists.postingAttributes.end()) {
        return;
    }
    const std::string& value = attribute->second;
    if (!text::StartsWith(code.print_text, "x")) {
        code.print_text = value;
    } else if (!value.empty()) {
        // A text of "x" marks is a mask: every mark becomes the attribute's first character.
        for (char& c : code.print_text) {
            if (c == 'x') {
                c = value[0];
            }
        }
    }
}

void CPostingRules::ApplyMinibarArticles() {
    for (struct_posting& p : check.postings) {
        if (p.line_type == 5 || p.line_type == 6 || p.article_code == 0 ||
            CRuleLists::Has(lists.rollupMinibar, p.article_code)) {
            continue;
        }
        p.trx_code = p.article_code;
        p.description = p.article_description;
    }
}

void CPostingRules::ApplyAdjustmentCodes() {
    for (struct_posting& p : check.postings) {
        if (p.trx_amount >= 0) {
            continue;
        }
        std::string old = text::Format("%d", p.trx_code);
        auto mapped = settings.adjustmentCodes.find(old);
        if (mapped == settings.adjustmentCodes.end()) {
            continue;
        }
        p.trx_code = mapped->second;
        settings.WriteLog(text::Format("Change adjustment code %s to %d", old.c_str(), p.trx_code));
    }
}

void CPostingRules::ApplyWindowRules() {
    for (struct_posting& p : check.postings) {
        std::string value;
        if (CRuleLists::Find(lists.viewTaxes, p.folio_view, value)) {
            p.tax_group = value;
        }
        if (CRuleLists::Find(lists.viewDescriptions, p.folio_view, value)) {
            p.description = value;
        }
    }
}

void CPostingRules::ApplyPrinterTax(const std::string& tax) {
    if (tax.empty()) {
        return;
    }
    for (struct_posting& p : check.postings) {
        if (p.tax_group.empty()) {
            p.tax_group = tax;
        }
    }
}
