#pragma once

// Builders of check lines for the tests of the check and POS suites.

#include <functional>
#include <string>

#include "check/CFiscalCheck.h"
#include "platform/CodePage.h"

namespace testlines {

inline const std::string& Hotel() {
    static const std::string text = platform::Cp1251("Услуги гостиницы");
    return text;
}

inline struct_posting Line(int trxNo, int code, double amount, const std::string& description,
                           const std::string& tax = "1", std::function<void(struct_posting&)> more = {}) {
    struct_posting p;
    p.trx_no = trxNo;
    p.trx_code = code;
    p.trx_amount = amount;
    p.description = description;
    p.tax_group = tax;
    p.line_type = 0;
    if (more) {
        more(p);
    }
    return p;
}

inline struct_posting Pay(int trxNo, int code, double amount, int payKind, const std::string& printCode,
                          std::function<void(struct_posting&)> more = {}) {
    struct_posting p;
    p.trx_no = trxNo;
    p.trx_code = code;
    p.trx_amount = amount;
    p.pay_kind = payKind;
    p.print_code = printCode;
    p.description = "Payment";
    if (more) {
        more(p);
    }
    return p;
}

// A hotel bill as the back-end loads it, on the default device family; a full check unless told.
inline CFiscalCheck Bill(bool fullCheck = true) {
    CFiscalCheck c;
    c.statusCode = kBillCheck;
    c.checkMode = 7;
    c.appendRateCode = fullCheck;
    c.checkNumber = "40211";
    c.depositTemplate.description = "Deposit payment";
    c.depositTemplate.tax_group = "3";
    return c;
}

}  // namespace testlines
