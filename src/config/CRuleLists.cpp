#include "config/CRuleLists.h"

#include <cstdlib>

#include "platform/Text.h"

namespace {

template <typename Map>
void DropEmpty(Map& map) {
    std::erase_if(map, [](const auto& entry) { return entry.second.empty(); });
}

}  // namespace

void CRuleLists::Read(CXMLParser& reader, int32_t printerType) {
    *this = CRuleLists();
    reader.ReadIntMap(payPrint, "//pay_mode/pay[@code='xxxx']/print", "code");
    reader.ReadIntMap(payTax, "//pay_mode/pay[@code='xxxx']/tax", "code");
    reader.ReadIntMap(putPrint, "//pay_mode/put[@code='xxxx']/print", "code");
    reader.ReadIntMap(paidPrint, "//pay_mode/paid[@code='xxxx']/print", "code");
    reader.ReadIntMap(rebatePrint, "//pay_mode/rebate[@code='xxxx']/print", "code");
    reader.ReadMap(roomPayMaster, "//pay_mode/pay[@room='xxxx']/print", "room");
    reader.ReadPairMap(taxByCodeAndType, "//tax_mode/tax[@code='xxxx' and @type='yyyy']", "code", "type");
    reader.ReadIntMap(taxes, "//tax_mode/tax[@code='xxxx']/print", "code");
    // The key is the whole code list of the entry ("1000,1010"); the reader takes it as text.
    reader.ReadMap(doubleTaxes, "//tax_mode/double_tax[@code='xxxx']/print", "code");
    reader.ReadMap(udfTaxes, "//tax_mode/tax[@udf='xxxx']/print", "udf");
    reader.ReadIntMap(viewTaxes, "//tax_mode/tax[@view='xxxx']/print", "view");
    reader.ReadMap(taxSystems, "//tax_mode/tax_system[@view='xxxx']", "view");
    reader.ReadIntMap(additionalDeposits, "//additional/pay[@code='xxxx']/print", "code");
    reader.ReadIntMap(payLimits, "//pay_mode/pay[@code='xxxx']/limit", "code");
    reader.ReadIntMap(postingAttributes, "//post_class[@code='xxxx']", "code");
    reader.ReadIntMap(onlineDeposits, "//fidelio_ini/deposit/online_payment[@code='xxxx']", "code");
    reader.ReadIntMap(depositTaxes, "//deposit/tax[@code='xxxx']", "code");
    if (printerType == 9) {
        // The Mongolian tax API knows one tax per posting code (the plain tax list read above),
        // and city taxes of their own.
        doubleTaxes.clear();
        taxByCodeAndType.clear();
        reader.ReadIntMap(cityTaxes, "//tax_mode/city_tax[@code='xxxx']/print", "code");
    }
    reader.ReadIntMap(serviceChargeTaxes, "//tax_mode/service_charge[@code='xxxx']/print", "code");
    reader.ReadIntMap(discounts, "//discount[@code='xxxx']", "code");
    reader.ReadIntMap(ignoredCashiers, "//ignore/cashier[@number='xxxx']", "number");
    reader.ReadIntMap(ignoredRooms, "//ignore/room[@number='xxxx']", "number");
    reader.ReadIntMap(cashLoans, "//general_cashier/cash_shift_loan[@code='xxxx']", "code");
    reader.ReadIntMap(cashDrops, "//general_cashier/cash_shift_drop[@code='xxxx']", "code");
    reader.ReadIntMap(serviceCharges, "//fidelio_ini/service_charge[@code='xxxx']", "code");
    reader.ReadIntMap(viewDescriptions, "//description_mode/description[@view='xxxx']", "view");
    reader.ReadIntMap(rollupMinibar, "//rollup_minibar[@code='xxxx']", "code");
    reader.ReadIntMap(nonQuantity, "//non_quantity[@code='xxxx']", "code");
    reader.ReadMap(interfaceCashiers, "//fidelio_ini/interface[@cashier='xxxx']", "cashier");
    reader.ReadIntMap(prepaymentPostings, "//prepayment/payment[@code='xxxx']/posting", "code");
    reader.ReadIntMap(prepaymentTaxes, "//prepayment/payment[@code='xxxx']/tax", "code");
    reader.ReadIntMap(prepaymentDescriptions, "//prepayment/payment[@code='xxxx']/description", "code");
    reader.ReadWideIntMap(prepaymentWideDescriptions, "//prepayment/payment[@code='xxxx']/w_description",
                          "code");
    // In lists that exist for their values an entry without one is none: it comes from an
    // element that serves another list (a <tax code=".." type=".."> for the plain tax list, a
    // <payment> without <posting>). The payment lists keep theirs, since a listed payment code
    // is a known one even without its device type.
    // The limit list keeps every pay code: a code without a limit has limit 0.
    for (IntMap* list :
         {&payTax, &taxes, &viewTaxes, &onlineDeposits, &depositTaxes, &cityTaxes, &serviceChargeTaxes,
          &viewDescriptions, &prepaymentPostings, &prepaymentTaxes, &prepaymentDescriptions}) {
        DropEmpty(*list);
    }
    for (TextMap* list : {&taxByCodeAndType, &doubleTaxes, &udfTaxes, &taxSystems}) {
        DropEmpty(*list);
    }
}

std::string CRuleLists::Describe() const {
    // Lists whose entries only say "this code is listed" show entries without a value too; the
    // value lists leave out what carries no value.
    constexpr bool kValues = false;
    constexpr bool kAll = true;
    std::string text;
    text += CXMLParser::IntMapToText("Pay codes", payPrint, kValues);
    text += CXMLParser::IntMapToText("Limits", payLimits, kValues);
    text += CXMLParser::IntMapToText("Tax", payTax, kValues);
    text += CXMLParser::MapToText("Room pay master", roomPayMaster, kValues);
    text += CXMLParser::IntMapToText("Discount codes", discounts, kAll);
    text += CXMLParser::IntMapToText("Put codes", putPrint, kValues);
    text += CXMLParser::IntMapToText("Taxes", taxes, kValues);
    text += CXMLParser::MapToText("Taxes", taxByCodeAndType, kValues);
    text += CXMLParser::IntMapToText("City Taxes", cityTaxes, kValues);
    text += CXMLParser::IntMapToText("Service Charge Taxes", serviceChargeTaxes, kValues);
    text += CXMLParser::MapToText("Double Taxes", doubleTaxes, kValues);
    text += CXMLParser::IntMapToText("Service charge codes", serviceCharges, kAll);
    text += CXMLParser::IntMapToText("Ignore cashier", ignoredCashiers, kAll);
    text += CXMLParser::IntMapToText("Ignore room", ignoredRooms, kAll);
    text += CXMLParser::IntMapToText("General cashier loan", cashLoans, kAll);
    text += CXMLParser::IntMapToText("General cashier drop", cashDrops, kAll);
    text += CXMLParser::MapToText("UDF taxes", udfTaxes, kValues);
    text += CXMLParser::IntMapToText("View taxes", viewTaxes, kValues);
    text += CXMLParser::MapToText("Tax system by view", taxSystems, kValues);
    text += CXMLParser::IntMapToText("RollUp minibar codes", rollupMinibar, kAll);
    text += CXMLParser::IntMapToText("Not print with quantity", nonQuantity, kAll);
    text += CXMLParser::IntMapToText("Additional deposit codes", additionalDeposits, kValues);
    text += CXMLParser::IntMapToText("View descriptions", viewDescriptions, kValues);
    text += CXMLParser::IntMapToText("Posting attrubutes", postingAttributes, kAll);
    text += CXMLParser::IntMapToText("Online deposit", onlineDeposits, kValues);
    text += CXMLParser::IntMapToText("Additional deposit tax", depositTaxes, kValues);
    text += CXMLParser::IntMapToText("Prepayment codes", prepaymentPostings, kValues);
    text += CXMLParser::IntMapToText("Prepayment taxes", prepaymentTaxes, kValues);
    text += CXMLParser::IntMapToText("Prepayment descriptions", prepaymentDescriptions, kValues);
    text += CXMLParser::MapToText("Interface cashiers", interfaceCashiers, kAll);
    return text;
}

bool CRuleLists::Find(const IntMap& map, int key, std::string& value) {
    auto found = map.find(key);
    if (found == map.end() || found->second.empty()) {
        return false;
    }
    value = found->second;
    return true;
}

bool CRuleLists::Find(const TextMap& map, const std::string& key, std::string& value) {
    auto found = map.find(key);
    if (found == map.end() || found->second.empty()) {
        return false;
    }
    value = found->second;
    return true;
}

bool CRuleLists::HasNumber(const IntMap& map, const std::string& number) {
    std::string digits = text::Trim(number);
    if (digits.empty()) {
        return false;
    }
    char* end = nullptr;
    long value = std::strtol(digits.c_str(), &end, 10);
    return *end == '\0' && Has(map, static_cast<int>(value));
}

bool CRuleLists::IsPaymentRegistered(int code) const {
    for (const IntMap* list :
         {&payPrint, &putPrint, &paidPrint, &rebatePrint, &cashLoans, &cashDrops, &additionalDeposits}) {
        if (Has(*list, code)) {
            return true;
        }
    }
    return false;
}

std::string CRuleLists::DoubleTaxes(int code) const {
    // An entry names the code when one of its list items is exactly the code.
    std::string wanted = text::Format("%d", code);
    std::string joined;
    for (const auto& [codes, tax] : doubleTaxes) {
        if (!tax.empty() && text::ListHasItem(codes, wanted)) {
            joined += (joined.empty() ? "" : "/") + tax;
        }
    }
    return joined;
}
