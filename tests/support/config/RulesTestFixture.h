#pragma once

#include <gtest/gtest.h>

#include <functional>
#include <string>

#include "check/CFiscalCheck.h"
#include "tests/support/check/TestLines.h"
#include "tests/support/config/ConfigTestFixture.h"

// A configuration with one entry or more in every payment and tax rule list, and builders of
// check lines as the PMS back-end loads them: unclassified, without device codes.
class RulesTest : public ConfigTest {
protected:
    static constexpr const char* kRules = R"(
<fidelio_ini>
  <version>OPERA</version>
  <service_charge code="3000">SC</service_charge>
  <deposit><online_payment code="9050">4</online_payment></deposit>
</fidelio_ini>
<printer_ini><tax>1</tax></printer_ini>
<pay_mode>
  <pay code="9000"><print>1</print></pay>
  <pay code="9004"><print>2</print><tax>2</tax></pay>
  <pay code="9005"><print>3</print><tax>3</tax></pay>
  <pay code="9006"><print>4</print><tax>2</tax></pay>
  <pay code="9050"><print>2</print></pay>
  <pay code="9060"><print>5</print></pay>
  <pay code="9080"><tax>4</tax></pay>
  <pay room="9999"><print>7</print></pay>
  <put code="9900"><print>1</print></put>
  <paid code="9910"><print>8</print></paid>
  <rebate code="9920"><print>9</print></rebate>
</pay_mode>
<additional><pay code="9060"><print>6</print></pay></additional>
<tax_mode>
  <tax code="2000" type="VAT">2</tax>
  <tax code="2000" type="*">3</tax>
  <tax code="2100" type="VAT">4</tax>
  <tax code="5000"><print>1</print></tax>
  <service_charge code="5100"><print>4</print></service_charge>
  <city_tax code="5200"><print>4</print></city_tax>
  <double_tax code="1000,1010"><print>A</print></double_tax>
  <double_tax code="11,1"><print>B</print></double_tax>
  <double_tax code="21,5"><print>C</print></double_tax>
  <tax udf="CORP"><print>4</print></tax>
  <tax view="3"><print>2</print></tax>
  <tax_system view="2">OSN</tax_system>
  <tax_system view="*">USN</tax_system>
</tax_mode>
<description_mode><description view="3">Window three</description></description_mode>
<discount code="4000">2</discount>
<post_class code="1200">7Z</post_class>
<rollup_minibar code="601">MB</rollup_minibar>
<non_quantity code="1300">1</non_quantity>
<ignore><cashier number="13">SUPERVISOR</cashier><room number="9998">HOUSE</room></ignore>
<general_cashier>
  <cash_shift_loan code="9930">loan</cash_shift_loan>
  <cash_shift_drop code="9940">drop</cash_shift_drop>
</general_cashier>
<deposit><tax code="9100">4</tax></deposit>
<prepayment>
  <payment code="9070"><posting>*1400**1410*</posting><tax>3</tax><description>Prepaid</description>
    <w_description>Предоплата</w_description></payment>
  <payment code="9071"><posting>*1500*</posting><tax>4</tax><description>Advance</description></payment>
</prepayment>
)";

    // Loads the rules above with the extra elements and reads the rule lists.
    void LoadRules(const std::string& extra = "") {
        ASSERT_TRUE(LoadBody(kRules + extra)) << ini.GetLastError();
        ASSERT_TRUE(ini.LoadRules());
    }

    // What the log got after the mark (a size of the log taken before).
    size_t LogMark() { return LogText().size(); }
    bool LoggedSince(size_t mark, const std::string& text) {
        return LogText().find(text, mark) != std::string::npos;
    }

    // A posting as the back-end loads it: not yet classified, no tax.
    static struct_posting Posting(int trxNo, int code, double amount,
                                  const std::function<void(struct_posting&)>& more = {}) {
        struct_posting p;
        p.trx_no = trxNo;
        p.trx_code = code;
        p.trx_amount = amount;
        p.description = "Posting";
        if (more) {
            more(p);
        }
        return p;
    }

    // A payment as the back-end loads it: no device type yet.
    static struct_posting Payment(int trxNo, int code, double amount,
                                  const std::function<void(struct_posting&)>& more = {}) {
        struct_posting p = Posting(trxNo, code, amount, more);
        if (p.description == "Posting") {
            p.description = "Payment";
        }
        return p;
    }

    // A bill of the default device family, payments only unless told.
    static CFiscalCheck Bill(bool fullCheck = false) {
        CFiscalCheck check = testlines::Bill(fullCheck);
        check.cashierId = "5";
        check.room = "101";
        return check;
    }
};
