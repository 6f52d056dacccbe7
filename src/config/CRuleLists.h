#pragma once

#include <cstdint>
#include <string>

#include "config/CXMLParser.h"

// The keyed payment and tax rule lists of the configuration file. Keys are PMS codes (payment,
// posting or tax codes, cashiers, rooms, folio windows); values are mostly device codes.
//
// Two kinds of lookup: Has asks whether a code is listed at all (ignore lists, payment codes the
// service knows, cash operations); Find asks for the value and treats an empty one as none, since
// an entry without its value only appears where several lists share one element name (a
// <pay code=".."> with a <tax> child but no <print>). Lists that exist only for their values
// (taxes, limits, prepayments, ...) drop such entries when they are read.
class CRuleLists {
public:
    using IntMap = CXMLParser::IntMap;
    using TextMap = CXMLParser::TextMap;
    using WideIntMap = CXMLParser::WideIntMap;

    // Reads every list in the order of the file's reference; printer type 9 has no double taxes
    // and no taxes by code and type, but city taxes.
    void Read(CXMLParser& reader, int32_t printerType);
    // The lists as the log shows them: one line per non-empty list, each starting with "\n".
    std::string Describe() const;

    static bool Has(const IntMap& map, int key) { return map.count(key) != 0; }
    static bool Has(const TextMap& map, const std::string& key) { return map.count(key) != 0; }
    static bool Find(const IntMap& map, int key, std::string& value);
    static bool Find(const TextMap& map, const std::string& key, std::string& value);
    // Keys of lists keyed by a number that the PMS hands over as text (cashiers, rooms): only a
    // text that is a whole decimal number can match, so that "" or "PM" never stands for 0.
    static bool HasNumber(const IntMap& map, const std::string& number);

    // The code is one the service registers: a key of the pay, put, paid, rebate, cash-loan,
    // cash-drop or additional-deposit list.
    bool IsPaymentRegistered(int code) const;
    // Values of every double-tax entry whose comma-separated code list names the code, joined
    // by "/".
    std::string DoubleTaxes(int code) const;

    IntMap payPrint;                        // //pay_mode/pay[@code]/print: device payment type
    IntMap payTax;                          // //pay_mode/pay[@code]/tax: tax of every posting of the check
    IntMap putPrint;                        // //pay_mode/put[@code]/print: deposits put in (cash loans)
    IntMap paidPrint;                       // //pay_mode/paid[@code]/print: paid-out payments
    IntMap rebatePrint;                     // //pay_mode/rebate[@code]/print
    TextMap roomPayMaster;                  // //pay_mode/pay[@room]/print: payments to a pseudo room
    TextMap taxByCodeAndType;               // //tax_mode/tax[@code and @type]: "code+type", type "*" = any
    IntMap taxes;                           // //tax_mode/tax[@code]/print
    TextMap doubleTaxes;                    // //tax_mode/double_tax[@code]/print: key is a code list
    TextMap udfTaxes;                       // //tax_mode/tax[@udf]/print
    IntMap viewTaxes;                       // //tax_mode/tax[@view]/print
    TextMap taxSystems;                     // //tax_mode/tax_system[@view]: "*" = any window
    IntMap additionalDeposits;              // //additional/pay[@code]/print
    IntMap payLimits;                       // //pay_mode/pay[@code]/limit
    IntMap postingAttributes;               // //post_class[@code]
    IntMap onlineDeposits;                  // //fidelio_ini/deposit/online_payment[@code]
    IntMap depositTaxes;                    // //deposit/tax[@code]
    IntMap cityTaxes;                       // //tax_mode/city_tax[@code]/print (printer type 9)
    IntMap serviceChargeTaxes;              // //tax_mode/service_charge[@code]/print
    IntMap discounts;                       // //discount[@code]
    IntMap ignoredCashiers;                 // //ignore/cashier[@number]
    IntMap ignoredRooms;                    // //ignore/room[@number]
    IntMap cashLoans;                       // //general_cashier/cash_shift_loan[@code]
    IntMap cashDrops;                       // //general_cashier/cash_shift_drop[@code]
    IntMap serviceCharges;                  // //fidelio_ini/service_charge[@code]
    IntMap viewDescriptions;                // //description_mode/description[@view]
    IntMap rollupMinibar;                   // //rollup_minibar[@code]
    IntMap nonQuantity;                     // //non_quantity[@code]
    TextMap interfaceCashiers;              // //fidelio_ini/interface[@cashier]
    IntMap prepaymentPostings;              // //prepayment/payment[@code]/posting: "*code*" per posting
    IntMap prepaymentTaxes;                 // //prepayment/payment[@code]/tax
    IntMap prepaymentDescriptions;          // //prepayment/payment[@code]/description
    WideIntMap prepaymentWideDescriptions;  // //prepayment/payment[@code]/w_description
};
