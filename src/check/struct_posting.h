#pragma once

#include <cstdint>
#include <string>

#include "check/CheckStatus.h"

// One line of a check: a posting (goods or service), a payment, or a line that composition
// removed. Every list of the check uses the fields that matter to it.
struct struct_posting {
    int32_t trx_no = 0;
    int32_t trx_code = 0;
    int32_t pay_kind = 12;
    std::string print_code;
    std::string tax_group;
    std::string print_code2;
    int32_t line_type = 21;
    std::string post_with_tax;
    std::string print_text;
    std::string print_code_ext;
    std::string description;
    std::u16string w_description;  // at most 100 wide characters
    std::string room = "0";
    std::string cashier_id;
    double trx_amount = 0;
    double posted_amount = 0;
    double price_per_unit = 0;
    double net_amount = 0;
    int32_t code_number = 0;
    bool tax_included = false;
    double extra_amount1 = 0;
    double extra_amount2 = 0;
    double extra_amount3 = 0;
    std::string code_text;
    std::string subgroup;
    std::string tax_type;
    std::string currency;
    double exchange_rate = 1.0;
    double quantity = 1.0;
    // The text of the line's status row as read ("" while it has none); a letter of
    // CheckStatusLetter once the row is there.
    std::string fisc_status;
    bool HasLetter(CheckStatusLetter letter) const { return fisc_status == LetterText(letter); }
    void SetLetter(CheckStatusLetter letter) { fisc_status = LetterText(letter); }
    bool HasRegisteredLetter() const { return RegisteredLetter(ParseLetter(fisc_status)); }
    // What this payment's own status row holds of an earlier Czech registration: the code (FIK
    // or PKP), the BKP and the printer. A payment registered as a check of its own carries these,
    // never those of another payment of its bill.
    std::string status_title;
    std::string status_shift;
    std::string status_printer;
    std::string reference;
    std::string recpt_no;
    int32_t folio_view = 0;
    int32_t bill_no = 0;
    bool excluded = false;
    int32_t package_link = 0;
    std::string product;
    std::string text_block;  // free text area of up to 200 bytes
    int32_t added_by = 0;
    int32_t deposit_flag = 0;
    int32_t deposit_no = 0;
    std::string business_date;
    double guest_account_debit = 0;
    std::string cheque_number;
    bool pos_flag = false;
    int32_t pos_number = 0;
    double pos_amount = 0;
    int32_t article_code = 0;
    std::string article_description;
    std::string rate_code;
    int32_t adj_trx_code = 0;
    bool recalculate = false;
    std::string category;
    std::string category_block;  // free text area of up to 200 bytes
    bool printed = false;
    double change_due = 0;
    double line_amount = 0;
    double item_amount = 0;
    double share_discount = 0;
    double share_service = 0;
    std::string machine;
    std::string agent;
    // The code is a printer code already (POS expansion converts each posting once).
    bool code_converted = false;
    // Its tax sums came from its tax lines at the tax pass; its own amount adds nothing more.
    bool taxed_by_lines = false;

    static constexpr size_t kWideDescriptionSize = 100;

    // Back to the defaults.
    void Clear() { *this = struct_posting(); }
    // The amount in the base currency, the exchange rate applied as composition applies it (a
    // rate below 1 divides, above multiplies; a rate of 0 or less is ignored).
    double BaseAmount() const;
    // The line's code as the check text shows it: its code text, or else its numeric code.
    std::string CodeText() const;
    // Doubles every "'" of a text.
    static std::string DoubleQuotes(const std::string& text);
};

// The device codes of a line as the rules set them, from pay_kind to print_code_ext.
struct struct_print_code {
    int32_t pay_kind = 12;
    std::string print_code;
    std::string tax_group;
    std::string print_code2;
    int32_t line_type = 21;
    std::string post_with_tax;
    std::string print_text;
    std::string print_code_ext;

    // The device codes a line carries now.
    static struct_print_code Of(const struct_posting& line) {
        return {line.pay_kind,  line.print_code,    line.tax_group,  line.print_code2,
                line.line_type, line.post_with_tax, line.print_text, line.print_code_ext};
    }
};
