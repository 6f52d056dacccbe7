// The Suite8 back-end on the seeded Suite8 hotel: what its finders make of the postings and
// invoices, how it writes their status, blocks payments, checks government codes and finds POS
// checks.

#include <gtest/gtest.h>

#include <algorithm>
#include <set>

#include "shared/GetCheckResult.h"
#include "tests/support/storage/Suite8Hotel.h"

namespace {

using namespace suite8hotel;

std::vector<int> Numbers(const std::vector<struct_posting>& lines) {
    std::vector<int> out;
    for (const struct_posting& line : lines) {
        out.push_back(line.trx_no);
    }
    return out;
}

const struct_posting* Line(const std::vector<struct_posting>& lines, int trxNo) {
    for (const struct_posting& line : lines) {
        if (line.trx_no == trxNo) {
            return &line;
        }
    }
    return nullptr;
}

size_t Count(const std::string& text, const std::string& part) {
    size_t n = 0;
    for (size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) {
        ++n;
    }
    return n;
}

class SuiteEightBackEndTest : public Suite8HotelTest {
protected:
    // Without the deposit posting: no pay-master flag, so no deposit finder runs first.
    void WithoutPayMaster() { config.values.erase("//fidelio_ini/deposit/code"); }
    void PaymentsOnly() { config.fullCheck = false; }

    std::vector<CFiscalCheck> Invoices() {
        std::vector<CFiscalCheck> checks;
        storage.FindInvoices(checks);
        return checks;
    }
    // status|bill_no|recpt_no|attempt|reference of a status row ("" when there is none).
    std::string StatusRow(int trxNo) {
        Rows rows = pms.Rows(text::Format(
            "select qel_fisc_status, bill_no, recpt_no, attempt, reference from qel_financial_transactions "
            "where trx_no=%d",
            trxNo));
        return rows.empty() ? "" : rows[0];
    }
    std::string Status(int trxNo) {
        std::string row = StatusRow(trxNo);
        return row.substr(0, row.find('|'));
    }
    // What the worker does with a check it registers.
    void Register(CFiscalCheck& check) {
        ASSERT_TRUE(storage.SetCheckStatus(check, CheckStatusLetter::NotRegistered))
            << storage.GetLastError();
        ASSERT_TRUE(storage.SetCheckStatus(check, CheckStatusLetter::Registered)) << storage.GetLastError();
    }
};

TEST_F(SuiteEightBackEndTest, InvoicesAreGroupedByNumberAndSeries) {
    WithoutPayMaster();
    Open();
    std::vector<CFiscalCheck> checks = Invoices();
    // Invoice 1001 in series 1 (two due payment rows) and series 2 are two checks; 1003 a third.
    ASSERT_EQ(checks.size(), 3u);
    EXPECT_EQ(checks[0].checkNumber, "1001");
    EXPECT_EQ(checks[0].receiptNumber, "501");
    EXPECT_EQ(checks[0].folioNumber, "300");
    EXPECT_EQ(checks[0].billDate, "14.03.2026");
    EXPECT_EQ(checks[0].statusCode, kBillCheck);
    EXPECT_EQ(Numbers(checks[0].postings), (std::vector<int>{101, 102, 103}));
    EXPECT_EQ(checks[1].checkNumber, "1001");
    EXPECT_EQ(checks[1].receiptNumber, "502");
    EXPECT_EQ(Numbers(checks[1].payments), (std::vector<int>{106}));
    EXPECT_EQ(checks[1].payments[0].fisc_status, "D");
    EXPECT_EQ(checks[2].checkNumber, "1003");
    EXPECT_EQ(storage.CurrentBusinessDate(), "14.03.2026");
    // Lines carry the translated text, the cashier, the POS check and the article.
    const struct_posting* dinner = Line(checks[0].postings, 102);
    ASSERT_NE(dinner, nullptr);
    EXPECT_EQ(dinner->description, "Restaurant");
    EXPECT_EQ(dinner->cheque_number, "1");
    EXPECT_TRUE(dinner->pos_flag);
    EXPECT_EQ(dinner->article_code, 501);
    EXPECT_EQ(Line(checks[0].postings, 101)->description, "Prozhivanie");
    EXPECT_EQ(checks[0].payments[0].cashier_id, "7");
    EXPECT_EQ(checks[0].cashierPosition, "Front desk manager");
}

TEST_F(SuiteEightBackEndTest, TaxLineIsLinkedToItsPostingAndPackagePartsToTheirPosting) {
    WithoutPayMaster();
    // The dinner was split off the room posting; a split from a posting of another invoice is none.
    pms.Run("update FIDELIO.zpos set zpos_internalsplit_zpos_id=101 where zpos_id=102");
    pms.Run("update FIDELIO.zpos set zpos_internalsplit_zpos_id=108 where zpos_id=101");
    Open();
    std::vector<CFiscalCheck> checks = Invoices();
    ASSERT_FALSE(checks.empty());
    const struct_posting* room = Line(checks[0].postings, 101);
    const struct_posting* tax = Line(checks[0].postings, 103);
    const struct_posting* dinner = Line(checks[0].postings, 102);
    ASSERT_TRUE(room && tax && dinner);
    // The room names its tax by the tax line's department; the tax line is added by the room.
    EXPECT_EQ(room->code_number, 1);
    EXPECT_EQ(room->added_by, 0);
    EXPECT_EQ(tax->line_type, 5);
    EXPECT_EQ(tax->added_by, 101);
    EXPECT_FALSE(tax->tax_included);
    EXPECT_EQ(dinner->code_number, 0);
    EXPECT_EQ(dinner->package_link, 101);
    EXPECT_EQ(room->package_link, 0);
}

TEST_F(SuiteEightBackEndTest, APaymentInStatusYIsNeverRegisteredAgain) {
    WithoutPayMaster();
    Open();
    std::vector<CFiscalCheck> checks = Invoices();
    ASSERT_FALSE(checks.empty());
    // 105 (a part of split 77) was registered already: the invoice goes on without it.
    EXPECT_EQ(Numbers(checks[0].payments), (std::vector<int>{104}));
    EXPECT_TRUE(log.Has("Payment 105 of invoice 1001 is fiscalised already"));
    Register(checks[0]);
    EXPECT_EQ(Status(104), "Y");
    EXPECT_EQ(StatusRow(105), "Y|1001|501|2|~");
    // Nothing of the invoice is offered again.
    for (const CFiscalCheck& check : Invoices()) {
        EXPECT_NE(check.receiptNumber, "501");
    }
}

TEST_F(SuiteEightBackEndTest, PaymentsOnlyMakesACheckPerPostingAndClosesPartsOfAFiscalisedSplit) {
    WithoutPayMaster();
    PaymentsOnly();
    config.values["//fidelio_ini/base_currency"] = "RUB";
    Open();
    std::vector<CFiscalCheck> checks;
    storage.GetChecks(checks);
    std::vector<int> found;
    for (const CFiscalCheck& check : checks) {
        ASSERT_EQ(check.payments.size(), 1u);
        EXPECT_EQ(check.statusCode, kPaymentCheck);
        found.push_back(check.payments[0].trx_no);
    }
    // 115 belongs to split 77, whose other piece 105 is Y: closed with Y, not offered.
    EXPECT_EQ(std::set<int>(found.begin(), found.end()), (std::set<int>{104, 108, 110, 111, 114}));
    EXPECT_EQ(Status(115), "Y");
    EXPECT_TRUE(log.Has("Splited payment"));
    for (const CFiscalCheck& check : checks) {
        const struct_posting& p = check.payments[0];
        if (p.trx_no == 104) {
            EXPECT_EQ(check.room, "101");
            EXPECT_EQ(check.folioNumber, "300");
            EXPECT_EQ(check.station, "WS1");
            EXPECT_EQ(check.cashierId, "7");
            EXPECT_EQ(check.cashierTaxId, "7701000070");
            EXPECT_EQ(check.profileId, "900");
        } else if (p.trx_no == 110) {
            EXPECT_EQ(check.room, "Conference hall");
            EXPECT_EQ(check.folioNumber, "1");
        } else if (p.trx_no == 114) {
            // Posted in US dollars: the check takes the foreign price, the posted amount is the
            // amount in roubles.
            EXPECT_EQ(p.currency, "USD");
            EXPECT_DOUBLE_EQ(p.trx_amount, 100);
            EXPECT_DOUBLE_EQ(p.posted_amount, 9250);
        }
    }
    // The split part stays closed in the next cycle too.
    storage.GetChecks(checks);
    for (const CFiscalCheck& check : checks) {
        EXPECT_NE(check.payments[0].trx_no, 115);
    }
}

TEST_F(SuiteEightBackEndTest, SplitOfAFiscalisedDepositGivesItsOtherPartsTheDepositStatus) {
    WithoutPayMaster();
    pms.Run("update qel_financial_transactions set qel_fisc_status='D' where trx_no=105");
    Open();
    std::vector<CFiscalCheck> checks = Invoices();
    ASSERT_FALSE(checks.empty());
    EXPECT_TRUE(log.Has("Check split payment"));
    EXPECT_TRUE(log.Has("Original status: D"));
    EXPECT_TRUE(log.Has("Set status for 115 to D"));
    EXPECT_EQ(StatusRow(115), "D|~|~|0|~");
    // The deposit itself stays in the invoice, which consumes it.
    EXPECT_EQ(Numbers(checks[0].payments), (std::vector<int>{104, 105}));
}

// A part of a manual split whose other part was registered (Y) on an earlier day's invoice is
// that registration: closed Y ("Splited payment") and never offered. A part of the same day is
// registered with its own invoice.
TEST_F(SuiteEightBackEndTest, APartOfAPaymentRegisteredOnAnEarlierDayIsClosedNotRegisteredAgain) {
    WithoutPayMaster();
    // The Visa share (posting 115) goes on invoice 1003 (id 504).
    pms.Run("insert into FIDELIO.zpil values (90, 504, 115)");
    Open();
    struct Case {
        const char* registeredOn;  // the posting date of the registered share, posting 105
        bool offered;
    } cases[] = {{"14.03.2026", true}, {"13.03.2026", false}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.registeredOn);
        pms.Run("delete from qel_financial_transactions where trx_no=115");
        pms.Run(text::Format("update FIDELIO.zpos set zpos_postdate=to_date('%s','dd.mm.yyyy') where zpos_id=105",
                             c.registeredOn));
        const CFiscalCheck* invoice = nullptr;
        std::vector<CFiscalCheck> checks = Invoices();
        for (const CFiscalCheck& check : checks) {
            invoice = check.receiptNumber == "504" ? &check : invoice;
        }
        ASSERT_NE(invoice, nullptr);
        std::vector<int> payments = Numbers(invoice->payments);
        EXPECT_EQ(std::count(payments.begin(), payments.end(), 115), c.offered ? 1 : 0);
        EXPECT_EQ(Status(115), c.offered ? "" : "Y");
    }
    EXPECT_TRUE(log.Has("Splited payment"));
    EXPECT_TRUE(log.Has("Payment 115 of invoice 1003 is fiscalised already"));
}

TEST_F(SuiteEightBackEndTest, SplitWithoutAnyStatusRowIsLeftAlone) {
    WithoutPayMaster();
    pms.Run("delete from qel_financial_transactions where trx_no=105");
    Open();
    ASSERT_FALSE(Invoices().empty());
    EXPECT_TRUE(log.Has("Unknown original status"));
    EXPECT_EQ(Status(115), "");
}

TEST_F(SuiteEightBackEndTest, InvoiceStatusWrites) {
    WithoutPayMaster();
    Open();
    std::vector<CFiscalCheck> checks = Invoices();
    ASSERT_EQ(checks.size(), 3u);
    CFiscalCheck& invoice = checks[2];  // 1003: payment 108 without a row
    invoice.room = "Conference hall A, second floor";
    invoice.station = "FO-PC1";
    ASSERT_TRUE(storage.SetCheckStatus(invoice, CheckStatusLetter::NotRegistered)) << storage.GetLastError();
    EXPECT_EQ(StatusRow(108), "N|1003|504|0|~");
    EXPECT_EQ(pms.Rows("select room, machine, to_char(business_date,'dd.mm.yyyy') from "
                       "qel_financial_transactions where trx_no=108"),
              (Rows{"Conference hall|FO-PC1|14.03.2026"}));
    ASSERT_TRUE(storage.SetCheckStatus(invoice, CheckStatusLetter::Registered));
    EXPECT_EQ(Status(108), "Y");
    // A deposit row of an invoice is left by the invoice's N and Y without the pay-master flag.
    Register(checks[1]);
    EXPECT_EQ(Status(106), "D");
}

TEST_F(SuiteEightBackEndTest, AnInvoiceOfOneSeriesLeavesTheRowsOfTheOtherSeriesAlone) {
    WithoutPayMaster();
    // The other series' row as its own registration wrote it: the same invoice number.
    pms.Run(
        "update qel_financial_transactions set qel_fisc_status='N', bill_no=1001, title='1_1001_502' where "
        "trx_no=106");
    Open();
    std::vector<CFiscalCheck> checks = Invoices();
    ASSERT_EQ(checks.size(), 3u);
    CFiscalCheck& first = checks[0];  // 1001 of series 1, payment 104
    ASSERT_EQ(checks[1].receiptNumber, "502");
    ASSERT_TRUE(storage.SetCheckStatus(first, CheckStatusLetter::NotRegistered));
    first.SetPrintedFileName("2_1001_501");
    ASSERT_TRUE(storage.SaveCheckFileName(first));
    EXPECT_EQ(pms.Rows("select trx_no, title from qel_financial_transactions where trx_no in (104, 106) order by 1"),
              (Rows{"104|2_1001_501", "106|1_1001_502"}));
    first.printerId = "P2";
    first.fiscalNumber = "F900";
    first.printerName = "2";
    ASSERT_TRUE(storage.SaveFiscalData(first));
    ASSERT_TRUE(storage.SetCheckStatus(first, CheckStatusLetter::Registered));
    EXPECT_EQ(pms.Rows("select trx_no, qel_fisc_status, check_number, attempt from qel_financial_transactions "
                       "where trx_no in (104, 105, 106) order by trx_no"),
              (Rows{"104|Y|F900|2", "105|Y|F77|2", "106|N|~|~"}));
}

TEST_F(SuiteEightBackEndTest, AnInvoiceReadBackWithoutItsFullCheckFlagStillWritesEveryRowOfItsOwn) {
    WithoutPayMaster();
    pms.Run("delete from qel_financial_transactions where trx_no=105");
    pms.Run("update qel_financial_transactions set bill_no=1001, title='1_1001_502' where trx_no=106");
    Open();
    std::vector<CFiscalCheck> checks = Invoices();
    ASSERT_FALSE(checks.empty());
    ASSERT_EQ(Numbers(checks[0].payments), (std::vector<int>{104, 105}));
    ASSERT_TRUE(storage.SetCheckStatus(checks[0], CheckStatusLetter::NotRegistered));
    // What a registration kept on disk comes back as: its kind, numbers and payments only.
    CFiscalCheck kept;
    kept.statusCode = checks[0].statusCode;
    kept.checkNumber = checks[0].checkNumber;
    kept.payments = checks[0].payments;
    kept.printerId = "P3";
    kept.fiscalNumber = "F901";
    kept.printerName = "1";
    ASSERT_FALSE(kept.appendRateCode);
    ASSERT_TRUE(storage.SaveFiscalData(kept)) << storage.GetLastError();
    ASSERT_TRUE(storage.SetCheckStatus(kept, CheckStatusLetter::Registered)) << storage.GetLastError();
    EXPECT_EQ(pms.Rows("select trx_no, qel_fisc_status, check_number from qel_financial_transactions "
                       "where trx_no in (104, 105, 106) order by trx_no"),
              (Rows{"104|Y|F901", "105|Y|F901", "106|D|~"}));
}

TEST_F(SuiteEightBackEndTest, DepositRowsFollowTheInvoiceWithThePayMasterFlag) {
    Open();
    std::vector<CFiscalCheck> checks = Invoices();
    ASSERT_EQ(checks.size(), 3u);
    ASSERT_EQ(checks[1].payments[0].trx_no, 106);
    ASSERT_TRUE(storage.SetCheckStatus(checks[1], CheckStatusLetter::NotRegistered));
    EXPECT_EQ(Status(106), "D");  // never back to N
    ASSERT_TRUE(storage.SetCheckStatus(checks[1], CheckStatusLetter::Registered));
    EXPECT_EQ(Status(106), "Y");
}

TEST_F(SuiteEightBackEndTest, StatusOfPaymentAndDepositChecks) {
    WithoutPayMaster();
    PaymentsOnly();
    Open();
    struct Case {
        int statusCode;
        const char* letter;
        const char* stored;
    };
    // Deposits are fiscalised as D; a check registered like a deposit keeps D for N.
    const Case cases[] = {{2, "Y", "Y"}, {1, "Y", "D"}, {20, "Y", "D"},
                          {4, "N", "D"}, {4, "Y", "Y"}, {21, "Y", "Y"}};
    int trxNo = 400;
    for (const Case& c : cases) {
        CFiscalCheck check = storage.NewCheck();
        check.SetStatusCode(static_cast<CheckStatusCode>(c.statusCode));
        struct_posting payment;
        payment.trx_no = ++trxNo;
        payment.trx_code = 9000;
        payment.business_date = "14.03.2026";
        check.payments.push_back(payment);
        ASSERT_TRUE(storage.SetCheckStatus(check, *ParseLetter(c.letter))) << storage.GetLastError();
        EXPECT_EQ(Status(trxNo), c.stored) << c.statusCode << " " << c.letter;
    }
}

// In full-check mode a check of one posting writes its first posting's row, an invoice every row
// of it; unlike Opera, a refund of a payment (3) is an invoice here and cash and pay-master
// checks are single postings.
TEST_F(SuiteEightBackEndTest, FullCheckModeWritesSinglePostingKindsToTheirFirstRowOnly) {
    WithoutPayMaster();
    Open();
    struct Case {
        CheckStatusCode kind;
        CheckStatusLetter asked;
        std::string first, second;
    };
    using L = CheckStatusLetter;
    const Case cases[] = {
        {kPaymentCheck, L::Registered, "Y", "N"},       {kDepositCheck, L::Registered, "D", "N"},
        {kOtherDeposit, L::Registered, "D", "N"},       {kDepositLikeCheck, L::NotRegistered, "D", "N"},
        {kLegacyPaymentKind5, L::Registered, "Y", "N"}, {kCashLoan, L::Registered, "Y", "N"},
        {kCashPickup, L::Registered, "Y", "N"},         {kPayMasterCheck, L::Registered, "Y", "N"},
        {kReceivablePayment, L::Registered, "Y", "N"},  {kRefundCheck, L::Registered, "Y", "Y"},
        {kBillCheck, L::Registered, "Y", "Y"}};
    int trxNo = 600;
    for (const Case& c : cases) {
        CFiscalCheck check = storage.NewCheck();
        check.SetStatusCode(c.kind);
        check.checkNumber = std::to_string(trxNo);
        for (int i = 0; i < 2; ++i) {
            struct_posting payment;
            payment.trx_no = ++trxNo;
            payment.trx_code = 9000;
            payment.business_date = "14.03.2026";
            check.payments.push_back(payment);
        }
        ASSERT_TRUE(storage.SetCheckStatus(check, c.asked)) << storage.GetLastError();
        EXPECT_EQ(Status(trxNo - 1), c.first) << c.kind;
        EXPECT_EQ(Status(trxNo), c.second) << c.kind;
        EXPECT_EQ(storage.IsInvoiceCheck(check), c.second == "Y") << c.kind;
    }
}

TEST_F(SuiteEightBackEndTest, GovernmentCodesNameThePrintersOfADepartment) {
    config.values["//fidelio_ini/government_code"] = "1";
    Open();
    EXPECT_EQ(storage.governmentCodes["1000"], "*1**3*");
    EXPECT_EQ(storage.governmentCodes["9000"], "*1**2**3*");
    EXPECT_EQ(storage.governmentCodes.count("9004"), 0u);
    struct Case {
        int code;
        int lineType;
        const char* printer;
        bool accepted;
        const char* reason;
    };
    const Case cases[] = {
        {1000, 21, "3", true, ""},
        {1000, 21, "1", true, ""},
        {1000, 21, "2", false,
         "Not found station 2 for code 1000 in government code list *1**3*. Check passed"},
        {9004, 21, "1", false, "No government list for code 9004. Check passed"},
        // A tax line is not a department's posting.
        {9004, 5, "1", true, ""},
    };
    for (const Case& c : cases) {
        CFiscalCheck check = storage.NewCheck();
        struct_posting posting;
        posting.trx_code = c.code;
        posting.line_type = c.lineType;
        check.postings.push_back(posting);
        EXPECT_EQ(storage.ValidateCheck(check, c.printer), c.accepted) << c.code << " " << c.printer;
        if (!c.accepted) {
            EXPECT_EQ(storage.GetLastError(), c.reason);
            EXPECT_TRUE(log.Has(c.reason));
        }
    }
    // A department without a code is looked for again in the PMS before it is refused: read at
    // Open and once more for 9004.
    EXPECT_EQ(Count(log.Text(), "Read government codes"), 2u);
    pms.Run("update FIDELIO.zdco set zdco_govcode='2' where zdco_id=4");
    CFiscalCheck visa = storage.NewCheck();
    struct_posting posting;
    posting.trx_code = 9004;
    visa.postings.push_back(posting);
    EXPECT_TRUE(storage.ValidateCheck(visa, "2"));
    EXPECT_TRUE(log.Has("9004 : *2*"));
}

TEST_F(SuiteEightBackEndTest, WithoutGovernmentCodesEveryCheckPasses) {
    Open();
    CFiscalCheck check = storage.NewCheck();
    struct_posting posting;
    posting.trx_code = 4242;
    check.postings.push_back(posting);
    EXPECT_TRUE(storage.ValidateCheck(check, "2"));
    EXPECT_FALSE(log.Has("Read government codes"));
}

TEST_F(SuiteEightBackEndTest, BlockingSwitchesBothFlagsOfThePaymentDepartments) {
    Open();
    auto flags = [this] {
        return pms.Rows(
            "select zdco_numericdesc, zdco_disabled_prearr, zdco_disabled_billing from FIDELIO.zdco order by "
            "1");
    };
    ASSERT_TRUE(storage.BlockPayments(true, "printer lost")) << storage.GetLastError();
    // Payment codes and, with the pay-master flag, the deposit code.
    EXPECT_EQ(flags(),
              (Rows{"1|0|0", "1000|0|0", "2000|0|0", "8000|0|0", "9000|1|1", "9004|1|1", "9100|1|1"}));
    ASSERT_TRUE(storage.BlockPayments(false, ""));
    EXPECT_EQ(flags(),
              (Rows{"1|0|0", "1000|0|0", "2000|0|0", "8000|0|0", "9000|0|0", "9004|0|0", "9100|0|0"}));
}

TEST_F(SuiteEightBackEndTest, CzechFindsInvoicesToSendAgainOnlyWhenNothingIsDue) {
    WithoutPayMaster();
    config.printerType = 10;
    Open();
    // New or failed rows only (the deposit row of 502 is neither), with the invoice's time.
    std::vector<CFiscalCheck> checks = Invoices();
    ASSERT_EQ(checks.size(), 2u);
    EXPECT_EQ(checks[0].checkNumber, "1003");
    EXPECT_EQ(checks[1].checkNumber, "1001");
    EXPECT_EQ(checks[1].billDate.substr(0, 19), "2026-03-14T10:15:00");
    // The sale time notes its day in the form of every other business date.
    EXPECT_EQ(storage.CurrentBusinessDate(), "14.03.2026");
    // Registered (a status row keeps the sale's time as a date), nothing of the day is due: the
    // invoice marked to be sent again comes.
    Register(checks[0]);
    EXPECT_EQ(pms.Rows("select to_char(business_date,'yyyy-mm-dd hh24:mi:ss') from qel_financial_transactions "
                       "where trx_no=108"),
              (Rows{"2026-03-14 09:05:00"}));
    Register(checks[1]);
    checks = Invoices();
    ASSERT_EQ(checks.size(), 1u);
    EXPECT_EQ(checks[0].checkNumber, "1002");
    EXPECT_EQ(checks[0].receiptNumber, "503");
    // Of the day before, loaded by its id.
    EXPECT_EQ(Numbers(checks[0].payments), (std::vector<int>{107}));
}

TEST_F(SuiteEightBackEndTest, CzechRegistrationSettingsAndOfflineLettersStayWithTheInvoiceOfTheirSeries) {
    WithoutPayMaster();
    config.printerType = 10;
    // The other series' invoice of the same number, registered before with its own settings.
    pms.Run(
        "update qel_financial_transactions set qel_fisc_status='N', bill_no=1001, printer_id='CZ0000000001', "
        "site_id='9' where trx_no=106");
    pms.Run("delete from qel_financial_transactions where trx_no=105");
    Open();
    std::vector<CFiscalCheck> checks = Invoices();
    auto found = std::find_if(checks.begin(), checks.end(),
                              [](const CFiscalCheck& c) { return c.receiptNumber == "501"; });
    ASSERT_NE(found, checks.end());
    CFiscalCheck& invoice = *found;
    ASSERT_EQ(Numbers(invoice.payments), (std::vector<int>{104, 105}));
    ASSERT_TRUE(storage.SetCheckStatus(invoice, CheckStatusLetter::NotRegistered));
    invoice.SetField(18, "CZ1212121218");
    invoice.SetField(21, "273");
    invoice.SetField(19, "0");
    invoice.SetField(20, "1");
    ASSERT_TRUE(storage.SaveFiscalResult(invoice)) << storage.GetLastError();
    auto settings = [this] {
        return pms.Rows(
            "select trx_no, qel_fisc_status, printer_id, site_id, flag1, flag2 from qel_financial_transactions "
            "where trx_no in (104, 105, 106) order by trx_no");
    };
    EXPECT_EQ(settings(), (Rows{"104|N|CZ1212121218|273|0|1", "105|N|CZ1212121218|273|0|1", "106|N|CZ0000000001|9|~|~"}));
    // Registered offline: its code came back, the status is F, for its own rows only.
    invoice.printedFileName = "PKP-1";
    ASSERT_TRUE(storage.SetCheckStatus(invoice, CheckStatusLetter::NotRegistered));
    EXPECT_EQ(Status(104), "F");
    EXPECT_EQ(Status(105), "F");
    EXPECT_EQ(Status(106), "N");
    // A check of kind 17 is written F whatever it is told; without a code N stays N.
    CFiscalCheck other = invoice;
    other.SetPrintedFileName("");
    pms.Run("update qel_financial_transactions set qel_fisc_status='N' where trx_no in (104, 105)");
    ASSERT_TRUE(storage.SetCheckStatus(other, CheckStatusLetter::NotRegistered));
    EXPECT_EQ(Status(104), "N");
    other.SetStatusCode(kOfflineRegistration);
    ASSERT_TRUE(storage.SetCheckStatus(other, CheckStatusLetter::Registered));
    EXPECT_EQ(Status(104), "F");
    EXPECT_EQ(Status(106), "N");
}

TEST_F(SuiteEightBackEndTest, PosCheckIsFoundByItsHeaderOrItsReference) {
    Open();
    struct Case {
        const char* reference;
        bool posFlag;
        int posSystem;
        const char* number;
        const char* revenueCentre;
        const char* openTime;
    };
    const Case cases[] = {
        // Without a revenue-centre list: the first three and the last four characters.
        {"1230042", false, 0, "0042", "123", ""},
        {"98712345678", false, 0, "5678", "987", ""},
        // The posting's POS check id: the number and opening time of the POS check.
        {"1", true, 0, "0042", "123", "03/14/26 12:30:05"},
        // An id without a POS check: the reference itself.
        {"9990001", true, 0, "0001", "999", ""},
        // A listed POS system gives the revenue centre; the number stays whole.
        {"1230042", false, 5, "1230042", "17", ""},
        {"1230042", false, 6, "0042", "123", ""},
    };
    storage.rvcMap.clear();
    for (const Case& c : cases) {
        storage.rvcMap =
            c.posSystem == 0 ? std::map<int, std::string>{} : std::map<int, std::string>{{5, "17"}};
        CF8Monitoring::PosCheckKey key = storage.IdentifyPosCheck(c.reference, c.posFlag, c.posSystem);
        EXPECT_EQ(key.number, c.number) << c.reference;
        EXPECT_EQ(key.revenueCentre, c.revenueCentre) << c.reference;
        EXPECT_EQ(key.openTime, c.openTime) << c.reference;
    }
    storage.rvcMap = {{5, "17"}};
    EXPECT_TRUE(storage.IsPosRevenueCenter(5));
    EXPECT_FALSE(storage.IsPosRevenueCenter(6));
    EXPECT_TRUE(log.Has("Check SI code 6 in RVC list"));
}

TEST_F(SuiteEightBackEndTest, StationOfAnInvoiceComesFromItsCreatorUnlessTheListsAreKeyedByAccount) {
    WithoutPayMaster();
    // No workstation remembered for the payment: the station is the invoice's own.
    pms.Run("update qel_financial_transactions set machine=NULL where trx_no=104");
    struct Case {
        int listMode;
        const char* station;
    };
    for (const Case& c : {Case{0, "TERM-B"}, Case{3, "950"}}) {
        SCOPED_TRACE(c.listMode);
        CF8Monitoring backEnd;
        config.listMode = c.listMode;
        backEnd.SetLogFile(&log.log);
        backEnd.SetSideFileFolder(pms.folder.Path());
        ASSERT_TRUE(backEnd.Open(config));
        std::vector<CFiscalCheck> checks;
        backEnd.FindInvoices(checks);
        ASSERT_FALSE(checks.empty());
        EXPECT_EQ(checks[0].station, c.station);
        EXPECT_EQ(checks[0].cashierName, "Anna");
        EXPECT_EQ(checks[0].companyName, "Globex LLC ");
        EXPECT_EQ(checks[0].companyTaxId, "7709123456");
    }
    // A payment that failed at a workstation is printed for that workstation.
    pms.Run("update qel_financial_transactions set machine='WS9' where trx_no=104");
    Open();
    std::vector<CFiscalCheck> checks = Invoices();
    ASSERT_FALSE(checks.empty());
    EXPECT_EQ(checks[0].station, "WS9");
    EXPECT_TRUE(log.Has("Change station to WS9"));
}

TEST_F(SuiteEightBackEndTest, DepositFindersWithThePayMasterFlag) {
    // A window whose posting and payment settle each other: its payment is no deposit.
    pms.Run("insert into FIDELIO.zwin values (3, 3)");
    pms.Run("update FIDELIO.zpos set zpos_zwin_id=3 where zpos_id in (114, 109)");
    pms.Run("update FIDELIO.zpos set zpos_unitprice=9250, zpos_sumupamount=9250 where zpos_id=109");
    Open();
    std::vector<CFiscalCheck> checks;
    storage.GetChecks(checks);
    std::set<int> found;
    for (const CFiscalCheck& check : checks) {
        EXPECT_EQ(check.statusCode, kDepositCheck);
        EXPECT_EQ(check.receiptNumber, std::to_string(check.payments[0].trx_no));
        found.insert(check.payments[0].trx_no);
    }
    EXPECT_EQ(found, (std::set<int>{104, 108, 110, 111, 116}));
    EXPECT_TRUE(log.Has("Window balance for zpos_id 114 = 0.00"));
    // Printer type 8: the open deposits (ledger 1 and 2) by their ledger status.
    CF8Monitoring openDeposits;
    config.printerType = 8;
    openDeposits.SetLogFile(&log.log);
    ASSERT_TRUE(openDeposits.Open(config));
    openDeposits.GetChecks(checks);
    ASSERT_EQ(checks.size(), 2u);
    EXPECT_EQ(checks[0].payments[0].trx_no, 110);
    EXPECT_EQ(checks[0].statusCode, kDepositCheck);
    EXPECT_EQ(checks[0].checkNumber, "110");
    EXPECT_EQ(checks[1].payments[0].trx_no, 114);
    EXPECT_EQ(checks[1].statusCode, kOtherDeposit);
}

TEST_F(SuiteEightBackEndTest, ArPostingsNameTheInvoiceTheySettle) {
    WithoutPayMaster();
    config.values["//fidelio_ini/ar_payments"] = "1";
    Open();
    std::vector<CFiscalCheck> checks;
    storage.FindArPostings(checks);
    ASSERT_EQ(checks.size(), 1u);
    EXPECT_EQ(checks[0].statusCode, kReceivablePayment);
    EXPECT_EQ(checks[0].checkNumber, "111");
    EXPECT_EQ(checks[0].folioNumber, "1001");
    EXPECT_TRUE(log.Has("Invoice: 1001"));
}

TEST_F(SuiteEightBackEndTest, AtMostSixteenPostingsAndElevenInvoicesACycle) {
    WithoutPayMaster();
    for (int i = 0; i < 20; ++i) {
        pms.Run(
            text::Format("insert into FIDELIO.zpos (zpos_id, zpos_zdco_id, zpos_unitprice, zpos_cdt, "
                         "zpos_zcas_id, zpos_postdate, "
                         "zpos_zwin_id) values (%d, 3, 10, 5, 1, to_date('14.03.2026','dd.mm.yyyy'), 1)",
                         1000 + i));
        pms.Run(
            text::Format("insert into FIDELIO.zinv values (%d, %d, 1, to_date('14.03.2026','dd.mm.yyyy'), "
                         "NULL, NULL)",
                         2000 + i, 3000 + i));
        pms.Run(text::Format("insert into FIDELIO.zpil values (%d, %d, %d)", 5000 + i, 2000 + i, 1000 + i));
    }
    Open();
    EXPECT_EQ(Invoices().size(), 11u);
    PaymentsOnly();
    CF8Monitoring payments;
    payments.SetLogFile(&log.log);
    ASSERT_TRUE(payments.Open(config));
    std::vector<CFiscalCheck> checks;
    payments.GetChecks(checks);
    EXPECT_EQ(checks.size(), 16u);
}

// Invoice 1002 of the day before was marked S, posting 112 of that day left N: each comes after
// what the open date holds, with its own business date, within the days of //earlier_days.
TEST_F(SuiteEightBackEndTest, InvoicesAndPostingsOfClosedDatesComeAfterTheDaysWithTheirOwnDate) {
    WithoutPayMaster();
    pms.Run("update qel_financial_transactions set business_date=to_date('13.03.2026','dd.mm.yyyy') where trx_no=107");
    pms.Run("insert into qel_financial_transactions (trx_no, qel_fisc_status, business_date) values (112, 'N', "
            "to_date('13.03.2026','dd.mm.yyyy'))");
    Open();
    std::vector<CFiscalCheck> checks;
    storage.GetChecks(checks);
    ASSERT_EQ(checks.size(), 4u);
    EXPECT_TRUE(checks[2].closedBusinessDate.empty());
    EXPECT_EQ(checks[3].checkNumber, "1002");
    EXPECT_EQ(checks[3].receiptNumber, "503");
    EXPECT_EQ(checks[3].closedBusinessDate, "13.03.2026");
    EXPECT_EQ(Numbers(checks[3].payments), (std::vector<int>{107}));
    EXPECT_TRUE(log.Has("Invoice 1002 of the closed business date 13.03.2026 taken up"));
    EXPECT_EQ(storage.CurrentBusinessDate(), "14.03.2026");

    config.values["//earlier_days"] = "0";
    CF8Monitoring never;
    never.SetLogFile(&log.log);
    ASSERT_TRUE(never.Open(config));
    never.GetChecks(checks);
    EXPECT_EQ(checks.size(), 3u);

    config.values["//earlier_days"] = "1";
    PaymentsOnly();
    CF8Monitoring payments;
    payments.SetLogFile(&log.log);
    ASSERT_TRUE(payments.Open(config));
    payments.GetChecks(checks);
    // Payments only: the payment of the invoice marked S and the posting left N, each a check.
    std::vector<int> closed;
    for (const CFiscalCheck& check : checks) {
        if (!check.closedBusinessDate.empty()) {
            EXPECT_EQ(check.statusCode, kPaymentCheck);
            EXPECT_EQ(check.closedBusinessDate, "13.03.2026");
            closed.push_back(check.payments.at(0).trx_no);
        }
    }
    EXPECT_EQ(closed, (std::vector<int>{107, 112}));
    ASSERT_GE(checks.size(), 2u);
    EXPECT_FALSE(checks[checks.size() - 2].closedBusinessDate.empty());
    EXPECT_EQ(payments.CurrentBusinessDate(), "14.03.2026");
}

TEST_F(SuiteEightBackEndTest, BusinessDateChangeClearsOldRowsWithoutAPause) {
    WithoutPayMaster();
    PaymentsOnly();
    config.values["//history"] = "30";
    pms.Run(
        "insert into qel_financial_transactions (trx_no, qel_fisc_status, business_date) values (1, 'Y', "
        "to_date('01.01.2025','dd.mm.yyyy'))");
    Open();
    std::vector<CFiscalCheck> checks;
    int64_t before = clock.MonotonicMs();
    storage.CheckBusinessDate();
    storage.GetChecks(checks);
    storage.CheckBusinessDate();
    EXPECT_FALSE(log.Has("Business date was changed"));
    pms.Run("update FIDELIO.wgbs set wgbs_datevalue=to_date('15.03.2026','dd.mm.yyyy')");
    pms.Run("update FIDELIO.zpos set zpos_postdate=to_date('15.03.2026','dd.mm.yyyy') where zpos_id=108");
    storage.GetChecks(checks);
    EXPECT_EQ(storage.CurrentBusinessDate(), "15.03.2026");
    storage.CheckBusinessDate();
    EXPECT_TRUE(log.Has("Business date was changed. Clear old transactions."));
    EXPECT_TRUE(log.Has("Completed"));
    EXPECT_EQ(Status(1), "");
    EXPECT_EQ(clock.MonotonicMs(), before);
    // Once: the previous date is the new one from the next find on.
    storage.GetChecks(checks);
    storage.CheckBusinessDate();
    EXPECT_EQ(Count(log.Text(), "Business date was changed"), 1u);
}

TEST(SuiteEightSchemaTest, EmptySchemaAddressesTheTablesWithoutOneAndAnEmptyCodeListFails) {
    testpms::Pms pms(false, "sql/sqlite/suite8_schema.sql", "FIDELIO");
    testpms::Log log(pms.folder);
    pms.Run("insert into zdco values (3, 9000, 'Cash', NULL, 0, 0)");
    testpms::FakeConfiguration config;
    config.values = {{"//fidelio_ini/base_access", pms.ConnectionString()}};
    config.version = 2;
    CF8Monitoring storage;
    storage.SetLogFile(&log.log);
    ASSERT_TRUE(storage.Open(config));
    for (std::string* t : storage.AllTemplates()) {
        EXPECT_EQ(t->find("zzzz"), std::string::npos) << *t;
    }
    // No payment code configured: the statements' lists are empty and the database refuses them.
    std::vector<CFiscalCheck> checks;
    storage.GetChecks(checks);
    EXPECT_TRUE(checks.empty());
    EXPECT_TRUE(log.Has("Reading failure"));
    EXPECT_FALSE(storage.GetLastError().empty());
    config.lists["//pay_mode/pay[@code='xxxx']/print"] = {{9000, "1"}};
    CF8Monitoring configured;
    configured.SetLogFile(&log.log);
    ASSERT_TRUE(configured.Open(config));
    ASSERT_TRUE(configured.BlockPayments(true, "")) << configured.GetLastError();
    EXPECT_EQ(pms.Rows("select zdco_disabled_prearr, zdco_disabled_billing from zdco"), (Rows{"1|1"}));
}

}  // namespace

namespace {

using namespace suite8hotel;

class SuiteEightHeaderTest : public Suite8HotelTest {
protected:
    void SetUp() override {
        Suite8HotelTest::SetUp();
        config.values.erase("//fidelio_ini/deposit/code");
    }
    const CFiscalCheck* Check(const std::vector<CFiscalCheck>& checks, int payment) {
        for (const CFiscalCheck& check : checks) {
            if (!check.payments.empty() && check.payments[0].trx_no == payment) {
                return &check;
            }
        }
        return nullptr;
    }
};

TEST_F(SuiteEightHeaderTest, PaymentChecksReadTheCustomerAndTheCategoryTheListsAreKeyedBy) {
    config.fullCheck = false;
    config.values["//fidelio_ini/send_customer_info"] = "1";
    config.values["//fidelio_ini/customer_email"] = "1";
    config.values["//fidelio_ini/customer_number"] = "2";
    struct Case {
        int listMode;
        const char* group;
    };
    // Kind 5: the category id of the room type; kind 6: the category of the reservation's room.
    for (const Case& c : {Case{0, ""}, Case{5, "45"}, Case{6, "DBL"}}) {
        SCOPED_TRACE(c.listMode);
        config.listMode = c.listMode;
        CF8Monitoring backEnd;
        backEnd.SetLogFile(&log.log);
        ASSERT_TRUE(backEnd.Open(config));
        std::vector<CFiscalCheck> checks;
        backEnd.GetChecks(checks);
        const CFiscalCheck* check = Check(checks, 104);
        ASSERT_NE(check, nullptr);
        EXPECT_EQ(check->groupName, c.group);
        EXPECT_EQ(check->email, "accounts@globex.example");
        EXPECT_EQ(check->phone, "+7 900 000");
    }
    EXPECT_TRUE(log.Has("Profile: 900"));
}

TEST_F(SuiteEightHeaderTest, RoomNightNamesItsCategoryGuestsAndRate) {
    pms.folder.Write("post_converter.txt", "1000=Accommodation\nDBL=Double room\n");
    config.values["//fidelio_ini/room_rate_include"] = "1000";
    config.values["//fidelio_ini/extra_bed_code"] = "EB";
    Open();
    std::vector<CFiscalCheck> checks;
    storage.FindInvoices(checks);
    ASSERT_FALSE(checks.empty());
    const struct_posting* night = Line(checks[0].postings, 101);
    ASSERT_NE(night, nullptr);
    // The category is converted too, so it leaves the rate code; adults, extra beds and the rate
    // of the posting's day follow.
    EXPECT_EQ(night->w_description, u"Accommodation Double room");
    EXPECT_EQ(night->rate_code, " 2 / 1BAR");
    // A posting of another code is named by its own conversion only.
    EXPECT_EQ(Line(checks[0].postings, 102)->rate_code, "");
}

TEST_F(SuiteEightHeaderTest, PrepaymentWindowPaysTheInvoiceOfAnotherWindowOnly) {
    config.values["//fidelio_ini/deposit/code"] = "9100";
    Open();
    std::vector<CFiscalCheck> checks;
    storage.FindWindowInvoices(checks);
    ASSERT_EQ(checks.size(), 1u);
    EXPECT_EQ(checks[0].checkNumber, "1003");
    EXPECT_TRUE(checks[0].postings.empty());
    ASSERT_EQ(Numbers(checks[0].payments), (std::vector<int>{108, 109}));
    EXPECT_DOUBLE_EQ(checks[0].payments[1].trx_amount, -200);

    // The prepayment window itself is not registered; once it is paid otherwise, its prepayment
    // postings are done.
    CF8Monitoring prepaymentWindow;
    config.prepaymentView = 2;
    prepaymentWindow.SetLogFile(&log.log);
    ASSERT_TRUE(prepaymentWindow.Open(config));
    checks.clear();
    prepaymentWindow.FindWindowInvoices(checks);
    EXPECT_TRUE(checks.empty());
    EXPECT_EQ(pms.Rows("select qel_fisc_status from qel_financial_transactions where trx_no=109"), Rows{});
    pms.Run("insert into qel_financial_transactions (trx_no, qel_fisc_status) values (108, 'Y')");
    prepaymentWindow.FindWindowInvoices(checks);
    EXPECT_TRUE(checks.empty());
    EXPECT_EQ(pms.Rows("select qel_fisc_status from qel_financial_transactions where trx_no=109"), (Rows{"Y"}));
}

TEST_F(SuiteEightHeaderTest, RefundIsReadWithTheSaleItNames) {
    config.printerType = 9;
    // Invoice 1004 refunds 500 of the sale registered as F77 (invoice 501) for reservation 300.
    pms.Run(
        "insert into FIDELIO.zinv values (505, 1004, 1, to_date('14.03.2026','dd.mm.yyyy'), NULL, 900)");
    pms.Run(
        "insert into FIDELIO.zpos (zpos_id, zpos_zdco_id, zpos_unitprice, zpos_quantity, zpos_cdt, zpos_zcas_id, "
        "zpos_postdate, zpos_comment, zpos_zwin_id, zpos_yres_id) values (117, 3, -500, 1, 5, 1, "
        "to_date('14.03.2026','dd.mm.yyyy'), 'F77', 1, 300)");
    pms.Run("insert into FIDELIO.zpil values (99, 505, 117)");
    Open();
    std::vector<CFiscalCheck> checks;
    storage.FindInvoices(checks);
    const CFiscalCheck* refund = nullptr;
    for (const CFiscalCheck& check : checks) {
        if (check.checkNumber == "1004") {
            refund = &check;
        }
    }
    ASSERT_NE(refund, nullptr);
    EXPECT_EQ(refund->statusCode, kBillRefund);
    EXPECT_EQ(refund->groupName, "F77");
    EXPECT_EQ(refund->companyTaxId, "North");
    EXPECT_TRUE(log.Has("Found 1 checks"));
    EXPECT_TRUE(log.Has("Read bill 501"));
    // The refund's own payment, then the sale's postings and payments; the sale's registered
    // payment (105) stays with the sale, so the return's row writes cannot reach it.
    EXPECT_EQ(Numbers(refund->postings), (std::vector<int>{101, 102, 103}));
    EXPECT_EQ(Numbers(refund->payments), (std::vector<int>{117, 104}));
    // The return names the sale by its title, as on Opera; the sale's total is known, and no
    // return of it was registered before.
    EXPECT_EQ(refund->printedFileName, "ST_1_105");
    double saleTotal = text::ToDouble(pms.Rows("select sum(zpos_unitprice) from FIDELIO.zpos where zpos_id in (104, 105)")[0]);
    EXPECT_NEAR(refund->returnedSaleTotal, saleTotal, 0.001);
    EXPECT_EQ(refund->earlierReturn, "");

    // Registered, a return of the sale is known to the next refund that names it.
    pms.Run("insert into qel_financial_transactions (trx_no, qel_fisc_status, bill_no, check_number) values (117, "
            "'Y', 1004, 'R5')");
    pms.Run("insert into FIDELIO.zinv values (506, 1005, 1, to_date('14.03.2026','dd.mm.yyyy'), NULL, 900)");
    pms.Run(
        "insert into FIDELIO.zpos (zpos_id, zpos_zdco_id, zpos_unitprice, zpos_quantity, zpos_cdt, zpos_zcas_id, "
        "zpos_postdate, zpos_comment, zpos_zwin_id, zpos_yres_id) values (118, 3, -500, 1, 5, 1, "
        "to_date('14.03.2026','dd.mm.yyyy'), 'F77', 1, 300)");
    pms.Run("insert into FIDELIO.zpil values (100, 506, 118)");
    checks.clear();
    storage.FindInvoices(checks);
    refund = nullptr;
    for (const CFiscalCheck& check : checks) {
        refund = check.checkNumber == "1005" ? &check : refund;
    }
    ASSERT_NE(refund, nullptr);
    EXPECT_EQ(refund->earlierReturn, "1004");
    EXPECT_TRUE(log.Has("Sale F77 was returned by bill 1004 (fiscal number R5)"));

    // The sale's rows cannot be read (the database fails the statement): the refund is not
    // emitted without its sale, it waits for the next cycle; the other invoices go on.
    pms.Run("alter table qel_financial_transactions rename column check_number to check_gone");
    checks.clear();
    storage.FindInvoices(checks);
    EXPECT_FALSE(checks.empty());
    for (const CFiscalCheck& check : checks) {
        EXPECT_NE(check.checkNumber, "1005");
    }
    EXPECT_TRUE(log.Has("Request error. Not found original check for refund."));
    EXPECT_TRUE(log.Has("Refund invoice 1005 waits for its sale"));
}

}  // namespace

namespace {

using namespace suite8hotel;

// What the stand-in for the client library's GetCheck answers, and what it was asked.
GetCheckResult posAnswer;
std::vector<std::string> posAsked;

GetCheckResult* FakeGetCheck(int rvc, int cknum, const char* openTime) {
    posAsked.push_back(text::Format("%d %d %s", rvc, cknum, openTime));
    return &posAnswer;
}

void PosAnswer(int code, const std::vector<std::string>& details) {
    posAnswer = GetCheckResult();
    posAnswer.code = code;
    posAnswer.replyError = code == 0 ? "" : "No such check";
    for (const std::string& json : details) {
        posAnswer.check.dtl.emplace_back(json);
    }
}

TEST_F(Suite8HotelTest, PosPostingIsExpandedIntoTheItemsOfItsPosCheckWhenTheSumsAgree) {
    config.values.erase("//fidelio_ini/deposit/code");
    Open();
    storage.clientLibrary.Bind(FakeGetCheck);
    struct Case {
        int code;
        const char* steak;
        std::vector<int> expanded;  // trx_no of the postings after the expansion (POS items: objnum)
        const char* logged;
    };
    const Case cases[] = {
        {0, "500.00", {101, 1001, 1002, 103}, "1200.00 0 1"},
        {0, "400.00", {101, 102, 103}, "Fidelio check sum 1200.00, Interface check sum 1100.00"},
        {1, "500.00", {101, 102, 103}, "Interface check 1 not expanded"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.logged);
        std::vector<CFiscalCheck> checks;
        storage.FindInvoices(checks);
        ASSERT_FALSE(checks.empty());
        CFiscalCheck& invoice = checks[0];
        PosAnswer(c.code, {R"({"type":"M","objnum":1001,"name":"Borscht","qty":1,"ttl":"700.00"})",
                           std::string(R"({"type":"M","objnum":1002,"name":"Steak","qty":1,"ttl":")") + c.steak +
                               R"("})",
                           R"({"type":"T","objnum":1,"name":"Card","ttl":"1200.00"})"});
        posAsked.clear();
        // The dinner's posting names POS check 1: its number 1230042 and opening time.
        storage.ExpandPosCheck("1", 0, true, invoice);
        EXPECT_EQ(posAsked, std::vector<std::string>{"123 42 03/14/26 12:30:05"});
        EXPECT_EQ(Numbers(invoice.postings), c.expanded);
        EXPECT_TRUE(log.Has(c.logged));
    }
}

}  // namespace
