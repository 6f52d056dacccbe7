// The storage settings read from a real configuration file through the XML reader.

#include <gtest/gtest.h>

#include "platform/TempFolder.h"
#include "tests/support/storage/TestPms.h"

namespace {

using testpms::Pms;

TEST(OperaBaseConfigTest, SettingsAndCodeListsFromTheConfigurationFile) {
    Pms pms;
    testpms::Log log(pms.folder);
    pms.folder.Write(CFiscalINI::kFileName, R"(<?xml version="1.0" encoding="utf-8"?>
<configuration>
  <history>30</history>
  <fiscal_trans_ini><trace>1</trace></fiscal_trans_ini>
  <fidelio_ini>
    <version>OPERA4</version>
    <base_access>)" + pms.ConnectionString() + R"(</base_access>
    <fidelio_schema>OPERA</fidelio_schema>
    <property_code>HOTEL</property_code>
    <language_code>RU</language_code>
    <only_payments>0</only_payments>
    <room_rate_include>1000</room_rate_include>
    <proforma_folio_deposit>1</proforma_folio_deposit>
    <deposit><code>9100</code><description>Deposit</description>
      <online_payment code="9700">web</online_payment></deposit>
    <print_list code="9800">1</print_list>
  </fidelio_ini>
  <micros_ini><discount_code>0</discount_code></micros_ini>
  <pay_mode>
    <pay code="9000"><print>1</print></pay>
    <pay code="9004"><print>2</print></pay>
    <paid code="9000"><print>1</print></paid>
    <put code="9500"><print>1</print></put>
  </pay_mode>
  <general_cashier><cash_shift_loan code="9510">1</cash_shift_loan><cash_shift_drop code="9520">1</cash_shift_drop></general_cashier>
  <additional><pay code="9600"><print>1</print></pay></additional>
  <prepayment><payment code="1000"><posting>P</posting></payment></prepayment>
  <printer_ini><printer>DEFAULT</printer></printer_ini>
</configuration>
)");
    CFiscalINI ini;
    ini.SetLog(&log.log);
    ASSERT_TRUE(ini.LoadFrom({pms.folder.Path()})) << ini.GetLastError();
    ASSERT_TRUE(ini.LoadRules());
    testpms::Storage storage;
    storage.SetLogFile(&log.log);
    storage.SetSideFileFolder(pms.folder.Path());
    ASSERT_TRUE(storage.Open(ini)) << storage.GetLastError();

    const COperaBase::Settings& s = storage.settings;
    EXPECT_EQ(s.version, 1);
    EXPECT_TRUE(s.trace);
    EXPECT_EQ(s.historyDays, 30);
    EXPECT_EQ(s.discountCode, 1);
    EXPECT_EQ(s.languageCode, "RU");
    EXPECT_TRUE(s.payMaster);
    EXPECT_EQ(s.payMasterCode, 9100);
    EXPECT_TRUE(s.proformaDeposit);
    EXPECT_TRUE(storage.FullCheckMode());
    EXPECT_EQ(storage.paymentCodes, (std::vector<int>{9000, 9004}));
    EXPECT_EQ(storage.secondPaymentCodes, (std::vector<int>{9500, 9510, 9520}));
    EXPECT_EQ(storage.depositCodes, (std::vector<int>{9600}));
    EXPECT_EQ(storage.onlineDepositCodes, (std::vector<int>{9700}));
    EXPECT_EQ(storage.codeMapCodes, (std::vector<int>{1000}));
    const std::string& bills = storage.requestCheckNumber.templates[CRequestCheckNumber::BillsOfTheDay];
    EXPECT_NE(bills.find("(fin.trx_code in ('9000','9004','9700','9100'))"), std::string::npos) << bills;
    EXPECT_TRUE(log.Has("History: 30 days"));
    EXPECT_TRUE(log.Has("Pro-Forma Folio Deposit"));

    // The prepared statements run: a bill query on the empty stand-in finds nothing.
    db::Recordset rows;
    ASSERT_TRUE(storage.OpenTemplate(bills, {}, rows)) << storage.GetLastError();
    EXPECT_TRUE(rows.IsEOF());
    EXPECT_TRUE(log.Has("* complete transaction *"));
}

}  // namespace
