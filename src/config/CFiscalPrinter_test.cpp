#include "config/CFiscalPrinter.h"

#include <gtest/gtest.h>

#include "check/CFiscalCheck.h"
#include "tests/support/devices/DeviceTestSupport.h"

namespace {

using device_test::FakeConfiguration;
using device_test::Line;
using device_test::Printer;

class RegistryTest : public device_test::TempFolderTest {
protected:
    void SetUp() override {
        TempFolderTest::SetUp();
        for (int i = 1; i <= 4; ++i) {
            configuration.printers.push_back(Printer(std::to_string(i), "127.0.0.1", 9000 + i));
        }
        registry.SetLog(&log);
    }
    // Loads the registry with these lines and print-list mode.
    void Load(const std::vector<CPrintLine>& lines, int mode = 0) {
        configuration.lines = lines;
        configuration.listMode = mode;
        ASSERT_TRUE(registry.Load(configuration)) << registry.GetLastError();
    }
    static struct_posting Posting(int code, double amount) {
        struct_posting p;
        p.trx_code = code;
        p.trx_amount = amount;
        return p;
    }
    static struct_posting Payment(int code, int view, const std::string& udf = "") {
        struct_posting p;
        p.trx_code = code;
        p.trx_amount = 10;
        p.folio_view = view;
        p.cheque_number = udf;
        return p;
    }
    // Name of the printer chosen for the check into a fresh control, or "-" when none.
    std::string Choose(CFiscalCheck& check) {
        CPrinterControl control;
        return registry.ChoosePrinter(check, control) ? control.name : "-";
    }

    FakeConfiguration configuration;
    CFiscalPrinter registry;
};

TEST_F(RegistryTest, LoadTakesPrintersLinesModeAndManagerPort) {
    configuration.values["//print_manager/port"] = "7100";
    Load({Line("FO1", {"1"})}, 4);
    EXPECT_EQ(registry.printers.size(), 4u);
    EXPECT_EQ(registry.lines.size(), 1u);
    EXPECT_EQ(registry.listMode, 4);
    EXPECT_EQ(registry.managerSettings.port, 7100);
    EXPECT_TRUE(LogHas("Port for printer manager: 7100"));

    CFiscalPrinter failing;
    configuration.failPrinters = true;
    EXPECT_FALSE(failing.Load(configuration));
    EXPECT_EQ(failing.GetLastError(), "line 1 : printer 9 not defined");
}

TEST_F(RegistryTest, PostingCodesChooseTheirLineAndConflictsGiveStatus22) {
    Load({Line("FO1", {"1"}), Line("1000", {"2"}, 7), Line("2000", {"2", "3"}, 7), Line("3000", {"3"}, 7)});
    struct Case {
        std::vector<struct_posting> postings;
        std::string printer;
        int status;
    };
    const std::vector<Case> cases = {
        {{Posting(1000, 10), Posting(2000, 20)}, "2", 23},   // both codes name printer 2 first
        {{Posting(1000, 10), Posting(3000, 20)}, "1", 22},   // another printer: by station instead
        {{Posting(1000, 10), Posting(4000, 20)}, "1", 22},   // unmapped after a mapped one
        {{Posting(4000, 10), Posting(3000, 20)}, "3", 23},   // unmapped before any is passed over
        {{Posting(3000, 0), Posting(1000, 20)}, "2", 23},    // a zero posting has no say
        {{Posting(1000, 10), Posting(3000, 0)}, "2", 23},
    };
    for (size_t i = 0; i < cases.size(); ++i) {
        CFiscalCheck check;
        check.station = "FO1";
        check.postings = cases[i].postings;
        EXPECT_EQ(Choose(check), cases[i].printer) << "case " << i;
        EXPECT_EQ(CodeNumber(check.statusCode), cases[i].status) << "case " << i;
        EXPECT_EQ(check.printerName, cases[i].printer) << "case " << i;
    }
    EXPECT_TRUE(LogHas("Select printer error. Code 3000"));
    EXPECT_TRUE(LogHas("Select printer error. Code 4000"));
    EXPECT_TRUE(LogHas("Select printer 2: 127.0.0.1 : 9002"));
}

TEST_F(RegistryTest, StationWithFolioWindowKeysAreTriedInOrder) {
    // Each case offers a set of lines; the earliest key in the order view, station+view,
    // station+*, payment code wins.
    struct Case {
        std::vector<CPrintLine> lines;
        std::string printer;
    };
    const std::vector<Case> cases = {
        {{Line("9", {"4"}), Line("FO1+*", {"3"}), Line("FO1+2", {"2"}), Line("2", {"1"})}, "1"},
        {{Line("9", {"4"}), Line("FO1+*", {"3"}), Line("FO1+2", {"2"})}, "2"},
        {{Line("9", {"4"}), Line("FO1+*", {"3"})}, "3"},
        {{Line("X", {"1"}), Line("9", {"4"})}, "4"},
        {{Line("FO1+2", {"2"}, 7), Line("FO1", {"3"})}, "3"},  // a posting-code line is not a mode line
    };
    for (size_t i = 0; i < cases.size(); ++i) {
        Load(cases[i].lines, 4);
        CFiscalCheck check;
        check.station = " fo 1";  // spaces and case do not matter
        check.payments = {Payment(9, 2)};
        EXPECT_EQ(Choose(check), cases[i].printer) << "case " << i;
    }
}

TEST_F(RegistryTest, UserDefinedFieldKeysAndCheckKeys) {
    Load({Line("VIP", {"2"}), Line("VIP+3", {"3"}), Line("9", {"4"}), Line("X", {"1"})}, 3);
    CFiscalCheck check;
    check.payments = {Payment(9, 3, "VIP")};
    EXPECT_EQ(Choose(check), "2");
    check.payments = {Payment(9, 3, "GOLD")};
    EXPECT_EQ(Choose(check), "4");  // no user-defined line: the payment code

    // Check keys: code+station, code+*, group+station, group+*, group, station, then cashier.
    struct Case {
        std::vector<CPrintLine> lines;
        std::string printer;
    };
    const std::vector<Case> cases = {
        {{Line("X", {"4"}), Line("5+FO1", {"1"}), Line("5+*", {"2"}), Line("FO1", {"3"})}, "1"},
        {{Line("X", {"4"}), Line("5+*", {"2"}), Line("TOUR+FO1", {"3"})}, "2"},
        {{Line("X", {"4"}), Line("TOUR+FO1", {"3"}), Line("TOUR+*", {"2"})}, "3"},
        {{Line("X", {"4"}), Line("TOUR+*", {"2"}), Line("TOUR", {"1"})}, "2"},
        {{Line("X", {"4"}), Line("TOUR", {"1"}), Line("FO1", {"3"})}, "1"},
        {{Line("X", {"4"}), Line("FO1", {"3"}), Line("ANNA", {"2"})}, "3"},
        {{Line("X", {"4"}), Line("ANNA", {"2"})}, "2"},
    };
    for (size_t i = 0; i < cases.size(); ++i) {
        Load(cases[i].lines, 0);
        CFiscalCheck withKeys;
        withKeys.station = "Fo1 ";
        withKeys.groupName = "tour";
        withKeys.cashierId = " an na";
        withKeys.payments = {Payment(5, 1)};
        EXPECT_EQ(Choose(withKeys), cases[i].printer) << "case " << i;
    }
}

TEST_F(RegistryTest, DefaultLinesAndTheFirstLine) {
    CFiscalCheck check;
    check.station = "NOWHERE";

    Load({Line("FO1", {"3"}), Line("FO2", {"2"})});
    EXPECT_EQ(Choose(check), "3");  // no match, no default: the first line

    Load({Line("FO1", {"3"}), Line("DEFAULT", {"2"})});
    EXPECT_EQ(Choose(check), "2");
    EXPECT_TRUE(LogHas("Printer line for DEFAULT selected"));

    // A default line without printers: a control that names no printer, and the reason.
    Load({Line("FO1", {"3"}), Line("DEF", {})});
    CPrinterControl control;
    EXPECT_TRUE(registry.ChoosePrinter(check, control));
    EXPECT_EQ(control.name, "");
    EXPECT_EQ(control.deviceSettings.port, 9001);
    EXPECT_EQ(registry.GetLastError(), "Printer for DEF not found. Check saving.");
    EXPECT_EQ(registry.SelectPrintLine("NOWHERE", true, 0), CFiscalPrinter::kDefaultWithoutPrinters);
    EXPECT_EQ(registry.SelectPrintLine("FO1", true, 0), 0);
    EXPECT_EQ(registry.SelectPrintLine("FO1", false, 7), CFiscalPrinter::kNoLine);
    EXPECT_EQ(registry.SelectPrintLine("fo1", false, 0), CFiscalPrinter::kNoLine);  // keys are exact
}

TEST_F(RegistryTest, ReservePrintersFollowTheLineUntilItEnds) {
    Load({Line("FO1", {"1", "2"})});
    CFiscalCheck check;
    check.station = "FO1";
    CPrinterControl control;
    ASSERT_TRUE(registry.ChoosePrinter(check, control));
    EXPECT_EQ(control.name, "1");
    EXPECT_EQ(control.lineIndex, 0);
    ASSERT_TRUE(registry.ChoosePrinter(check, control));
    EXPECT_EQ(control.name, "2");
    EXPECT_EQ(control.lineIndex, 1);
    EXPECT_EQ(control.deviceSettings.port, 9002);
    EXPECT_EQ(check.printerName, "2");
    EXPECT_FALSE(registry.ChoosePrinter(check, control));
    control.Reset();
    ASSERT_TRUE(registry.ChoosePrinter(check, control));
    EXPECT_EQ(control.name, "1");
}

}  // namespace
