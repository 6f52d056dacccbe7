// Every statement template of the Suite8 back-end, resolved by its PrepareTemplates and filled
// with sample values, run on the SQLite stand-in against one seeded Suite8 hotel: the rows are
// those Suite8's Oracle database returns for the same data.

#include <gtest/gtest.h>

#include "tests/support/storage/Suite8Hotel.h"

namespace {

using namespace suite8hotel;

class SuiteEightTemplatesTest : public Suite8HotelTest {
protected:
    void SetUp() override {
        Suite8HotelTest::SetUp();
        Open();
    }
};

TEST_F(SuiteEightTemplatesTest, InvoiceDiscovery) {
    auto& r = storage.requestCheckNumber.templates;
    // One row per due payment of the day's invoices (payment codes 9000 and 9004): 105 is Y, the
    // deposit 106 still counts, invoice 1002 is of the day before.
    EXPECT_EQ(Run(r[CRequestCheckNumber::InvoicesDue], {}),
              (Rows{"501|1001|3000|14.03.2026|1|300", "502|1001|500|14.03.2026|2|~",
                    "504|1003|700|14.03.2026|1|~"}));
    // The prepayment code's postings with their window.
    EXPECT_EQ(Run(r[CRequestCheckNumber::InvoicesDueByWindow], {}), (Rows{"504|1003|200|14.03.2026|1|2"}));
    // Invoices whose rows are marked to be sent again, whatever their date.
    EXPECT_EQ(Run(r[CRequestCheckNumber::InvoicesToSendAgain], {}), (Rows{"503|1002|100|13.03.2026|1|~"}));
    EXPECT_EQ(Run(r[CRequestCheckNumber::PosCheckHeader], {Arg::Number("1")}),
              (Rows{"1|1230042|0|03/14/26 12:30:05|0|0"}));
    // Czech: only new or failed rows, with the invoice's time and the database's time zone.
    Rows czech = Run(CRequestCheckNumber::NewOrFailedOnly(
                         CRequestCheckNumber::WithInvoiceTime(r[CRequestCheckNumber::InvoicesDue])),
                     {});
    // Ordered by that text (the alias is the name ORDER BY finds first).
    ASSERT_EQ(czech.size(), 2u);
    EXPECT_EQ(czech[0].substr(0, 32), "504|1003|700|2026-03-14T09:05:00");
    EXPECT_EQ(czech[1].substr(0, 33), "501|1001|3000|2026-03-14T10:15:00");
    EXPECT_EQ(czech[1].size(), std::string("501|1001|3000|2026-03-14T10:15:00+01:00|1|300").size())
        << czech[1];
}

TEST_F(SuiteEightTemplatesTest, PostingsOfTheDay) {
    auto& f = storage.folio.templates;
    // Payments, deposits and AR postings of the day that are not Y or D, not pro forma; with the
    // folio text in language 2, the facility's name, the status row and the cashier's title and
    // tax number (of the user who posted, 70).
    EXPECT_EQ(
        Sorted(Detail(f[Folio::DayPostings], {Arg::Number("2")},
                      {Folio::PosId, Folio::Department, Folio::PostDate, Folio::Translation,
                       Folio::FiscStatus, Folio::Facility, Folio::ManualSplit, Folio::Currency,
                       Folio::StatusBillNo, Folio::CashierTitle, Folio::CashierTaxId, Folio::StatusMachine})),
        (Rows{"104|9000|14.03.2026|Nalichnye|N|~|~|RUB|1001|Front desk manager|7701000070|WS1",
              "108|9000|14.03.2026|Nalichnye|~|~|~|RUB|~|Front desk manager|7701000070|~",
              "110|9000|14.03.2026|Nalichnye|S|Conference hall|~|RUB|~|Front desk manager|7701000070|~",
              "111|9004|14.03.2026|~|~|~|~|RUB|~|Front desk manager|7701000070|~",
              "114|9000|14.03.2026|Nalichnye|~|~|~|USD|~|Front desk manager|7701000070|~",
              "115|9004|14.03.2026|~|~|~|77|RUB|~|Front desk manager|7701000070|~",
              "116|9100|14.03.2026|~|~|~|~|RUB|~|Front desk manager|7701000070|~"}));
    // Another language has its own text; an unknown one none.
    EXPECT_EQ(Detail(f[Folio::DayPostings], {Arg::Number("1")}, {Folio::PosId, Folio::Translation})[0],
              "104|Cash money");
    EXPECT_EQ(Detail(f[Folio::DayPostings], {Arg::NumberOrNull("")}, {Folio::PosId, Folio::Translation})[0],
              "104|~");
    // Open deposits (ledger 1 and 2) and ledger-3 postings; their dates without separators.
    EXPECT_EQ(Sorted(Detail(f[Folio::OpenPostings], {},
                            {Folio::PosId, Folio::PostDate, Folio::LedgerStatus, Folio::Translation})),
              (Rows{"110|14032026|1|Hall deposit", "114|14032026|2|Dollars"}));
    EXPECT_EQ(Sorted(Detail(f[Folio::LedgerPostings], {},
                            {Folio::PosId, Folio::LedgerStatus, Folio::CashierTitle})),
              (Rows{"111|3|~", "116|3|~"}));
    // The account of the posting in the workstation column: the reservation's main account, the
    // facility's source account, or nothing.
    EXPECT_EQ(Sorted(Detail(CFidelio8Folio::WithAccount(f[Folio::DayPostings], f[Folio::AccountFragment]),
                            {Arg::Number("2")}, {Folio::PosId, Folio::Workstation, Folio::Currency})),
              (Rows{"104|950|RUB", "108|~|RUB", "110|900|RUB", "111|~|RUB", "114|~|USD", "115|950|RUB",
                    "116|~|RUB"}));
}

TEST_F(SuiteEightTemplatesTest, PostingsOfAnInvoice) {
    auto& f = storage.folio.templates;
    const std::vector<size_t> columns = {Folio::PosId,      Folio::Department,  Folio::Kind,
                                         Folio::TaxLink,    Folio::Translation, Folio::FiscStatus,
                                         Folio::PosCheckId, Folio::ArticleCode, Folio::ArticleDescription,
                                         Folio::PrinterId,  Folio::StatusTitle, Folio::Window};
    Rows byNumber = Detail(f[Folio::InvoicePostingsByNumber],
                           {Arg::Number("1001"), Arg::Int(1), Arg::Number("2")}, columns);
    EXPECT_EQ(byNumber, (Rows{"101|1000|0|103|Prozhivanie|~|~|~|~|~|~|1", "102|2000|0|~|~|~|1|501|Cola|~|~|1",
                              "103|1|2|103|~|~|~|~|~|~|~|1", "104|9000|5|~|Nalichnye|N|~|~|~|~|~|1",
                              "105|9004|5|~|~|Y|~|~|~|P1|ST_1_105|1"}));
    // The other series of the same number holds only its own posting; an invoice of the day
    // before is not found by number.
    EXPECT_EQ(Detail(f[Folio::InvoicePostingsByNumber], {Arg::Number("1001"), Arg::Int(2), Arg::Number("2")},
                     {Folio::PosId}),
              (Rows{"106"}));
    EXPECT_TRUE(
        Detail(f[Folio::InvoicePostingsByNumber], {Arg::Number("1002"), Arg::Int(1), Arg::Number("2")}, {1})
            .empty());
    // By id: the same rows, whatever the date, without the cashier columns.
    EXPECT_EQ(Detail(f[Folio::InvoicePostingsById], {Arg::Number("501"), Arg::Number("2")}, columns),
              byNumber);
    EXPECT_EQ(Detail(f[Folio::InvoicePostingsById], {Arg::Number("501"), Arg::Number("2")},
                     {Folio::CashierTitle, Folio::StatusMachine})[3],
              "~|~");
    EXPECT_EQ(Detail(f[Folio::InvoicePostingsById], {Arg::Number("503"), Arg::Number("2")}, {Folio::PosId}),
              (Rows{"107"}));
    // One posting with its department as article, no status columns.
    EXPECT_EQ(Detail(f[Folio::SinglePosting], {Arg::Int(101)},
                     {Folio::PosId, Folio::Translation, Folio::FiscStatus, Folio::ArticleCode,
                      Folio::ArticleDescription, Folio::CashierTitle, Folio::StatusMachine}),
              (Rows{"101|Room 101|~|1000|Accommodation|Front desk manager|~"}));
}

TEST_F(SuiteEightTemplatesTest, RoomRateAndGuestOfAPosting) {
    auto& t = storage.roomRequest.templates;
    auto twice = [](int id) { return std::vector<Arg>{Arg::Int(id), Arg::Int(id)}; };
    // Room of the reservation's current day, or the facility's name.
    EXPECT_EQ(Run(t[CRoomRequest::RoomOfPosting], twice(101)), (Rows{"300|101|~"}));
    EXPECT_EQ(Run(t[CRoomRequest::RoomOfPosting], twice(110)), (Rows{"1|Conference hall|~"}));
    EXPECT_TRUE(Run(t[CRoomRequest::RoomOfPosting], twice(108)).empty());
    // Category id of the room type, or of the facility group.
    EXPECT_EQ(Run(t[CRoomRequest::AccountCategory], {Arg::Int(101)}), (Rows{"101|45|~"}));
    EXPECT_EQ(Run(t[CRoomRequest::AccountCategory], {Arg::Int(110)}), (Rows{"110|55|~"}));
    // Rate and room category of the posting's day and of the current day.
    EXPECT_EQ(Run(t[CRoomRequest::RateOfPosting], twice(101)), (Rows{"101|BAR|~", "101|CORP|~"}));
    EXPECT_EQ(Run(t[CRoomRequest::RoomCategory], twice(101)), (Rows{"101|DBL|~", "101|SGL|~"}));
    // Adults and extra beds of the posting's day; the child does not count.
    EXPECT_EQ(Run(t[CRoomRequest::GuestCount], {Arg::Text("EB"), Arg::Int(101)}), (Rows{"2|1|~"}));
    EXPECT_EQ(Run(t[CRoomRequest::GuestCount], {Arg::Text("CH"), Arg::Int(101)}), (Rows{"2|2|~"}));
    // The category of the reservation's room, or the facility group (the mended second half).
    EXPECT_EQ(Run(t[CRoomRequest::RoomCategoryOfReservation], twice(101)), (Rows{"300|DBL|~"}));
    EXPECT_EQ(Run(t[CRoomRequest::RoomCategoryOfReservation], twice(110)), (Rows{"1|HALLS|~"}));
    // The invoice that an AR payment settles: its allocation leads to posting 104 of invoice 501.
    EXPECT_EQ(Run(t[CRoomRequest::InvoiceOfArPayment], {Arg::Int(111)}), (Rows{"501|1001|~"}));
    // The customer's primary value of a communication type.
    EXPECT_EQ(Run(t[CRoomRequest::CustomerAttributes], {Arg::Number("900"), Arg::Number("1")}),
              (Rows{"900|E-Mail|accounts@globex.example"}));
    EXPECT_EQ(Run(t[CRoomRequest::CustomerAttributes], {Arg::Number("900"), Arg::Number("2")}),
              (Rows{"900|Phone|+7 900 000"}));
}

TEST_F(SuiteEightTemplatesTest, RatesBalancesBlockingAndCashiers) {
    EXPECT_EQ(Run(storage.exchangeRate.templates[CSelectExchangeRate::ExchangeRateSuite8], {}),
              (Rows{"92.5"}));
    // Window 1: charges 4500 + 1200 + 750, payments 22950 (the pro-forma one does not count).
    EXPECT_EQ(Run(storage.exchangeRate.templates[CSelectExchangeRate::WindowBalanceSuite8], {Arg::Int(101)}),
              (Rows{"-16500"}));
    // Window 2: the prepayment posting 200 against the payment 700.
    EXPECT_EQ(Run(storage.exchangeRate.templates[CSelectExchangeRate::WindowBalanceSuite8], {Arg::Int(108)}),
              (Rows{"-500"}));
    // Blocking touches the payment and deposit departments only.
    ASSERT_TRUE(storage.ExecuteTemplate(storage.blockPayments.templates[CQBlockPayments::BlockDepartments],
                                        {Arg::Number("1"), Arg::Number("1")}))
        << storage.GetLastError();
    EXPECT_EQ(
        pms.Rows("select zdco_numericdesc, zdco_disabled_prearr, zdco_disabled_billing from FIDELIO.zdco "
                 "where zdco_disabled_billing=1 order by 1"),
        (Rows{"9000|1|1", "9004|1|1", "9100|1|1"}));
    // The invoice's creator (user 70, not the user 71 who made reservation 501): number, name,
    // title, tax number, workstation; the buyer's name and tax number.
    auto& g = storage.guestInfo.templates;
    EXPECT_EQ(Run(g[CSelectGuestInfo::InvoiceCashier], {Arg::Int(501)}),
              (Rows{"7|Anna|Front desk manager|7701000070|FO-PC1|Globex LLC |7709123456"}));
    // An invoice of a person: no buyer's tax number; no creator entry: the default title.
    EXPECT_EQ(Run(g[CSelectGuestInfo::InvoiceCashier], {Arg::Int(502)}), (Rows{"~|~|Cashier|~|~|~|~"}));
    // The terminal of the creator's last log-in.
    EXPECT_EQ(Run(g[CSelectGuestInfo::InvoiceStation], {Arg::Int(501)}), (Rows{"501|~|~|~|TERM-B|~|~"}));
}

}  // namespace
