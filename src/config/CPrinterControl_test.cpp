#include "config/CPrinterControl.h"

#include <gtest/gtest.h>

#include "tests/support/devices/DeviceTestSupport.h"

namespace {

using device_test::TempFolderTest;

TEST(PrinterControlTest, ConnectionTextNamesHostAndPortOrNothing) {
    CPrinterControl printer;
    printer.deviceSettings.host = "10.0.0.5";
    printer.deviceSettings.port = 5000;
    EXPECT_EQ(printer.ConnectionText(), "10.0.0.5 : 5000");
    printer.deviceSettings.host.clear();
    EXPECT_EQ(printer.ConnectionText(), "");
}

TEST(PrinterControlTest, MessagePortIsAClientConnection) {
    CPrinterControl printer;
    printer.SetMessagePort("127.0.0.1", "7001");
    EXPECT_EQ(printer.messageSettings.host, "127.0.0.1");
    EXPECT_EQ(printer.messageSettings.port, 7001);
    EXPECT_EQ(printer.messageSettings.mode, 1);
}

TEST(PrinterControlTest, ResetKeepsHeaderSlipAndGtinLists) {
    CPrinterControl printer = device_test::Printer("3", "127.0.0.1", 9000);
    printer.tax = "1";
    printer.noReference = "1";
    printer.lineIndex = 2;
    printer.testCommand = true;
    printer.netAmountSupport = true;
    printer.SetMessagePort("127.0.0.1", "7001");
    printer.headerLines = {"HOTEL"};
    printer.slipLines = {"Thank you"};
    printer.gtinCodes = {1000};
    CPrinterControl copy = printer;
    copy.Reset();
    EXPECT_EQ(copy.name, "");
    EXPECT_EQ(copy.deviceSettings.host, "");
    EXPECT_EQ(copy.messageSettings.port, 0);
    EXPECT_EQ(copy.tax, "");
    EXPECT_EQ(copy.noReference, "");
    EXPECT_EQ(copy.lineIndex, -1);
    EXPECT_FALSE(copy.testCommand);
    EXPECT_FALSE(copy.netAmountSupport);
    EXPECT_EQ(copy.headerLines, printer.headerLines);
    EXPECT_EQ(copy.slipLines, printer.slipLines);
    EXPECT_EQ(copy.gtinCodes, printer.gtinCodes);
    EXPECT_EQ(printer.name, "3");  // the copy is a value
}

using PrinterControlFileTest = TempFolderTest;

TEST_F(PrinterControlFileTest, HeaderFileLinesAndFont) {
    CPrinterControl printer;
    platform::WriteFile(Path("header.txt"), "GRAND HOTEL\r\nMain street 1\r\n");
    EXPECT_TRUE(printer.ReadHeaderFile(Path("header.txt"), ""));
    EXPECT_EQ(printer.headerLines, (std::vector<std::string>{"GRAND HOTEL", "Main street 1"}));
    EXPECT_EQ(printer.headerFont, "1");
    EXPECT_TRUE(printer.ReadHeaderFile(Path("header.txt"), "3"));
    EXPECT_EQ(printer.headerLines.size(), 4u);
    EXPECT_EQ(printer.headerFont, "3");

    platform::WriteFile(Path("empty.txt"), "");
    EXPECT_FALSE(printer.ReadHeaderFile(Path("empty.txt"), "2"));
    EXPECT_EQ(printer.lastError, "Header file " + Path("empty.txt") + " is empty");
    EXPECT_EQ(printer.headerFont, "3");
    EXPECT_FALSE(printer.ReadHeaderFile(Path("missing.txt"), ""));
    EXPECT_EQ(printer.lastError, "Can't open file " + Path("missing.txt"));
}

TEST_F(PrinterControlFileTest, GtinFileCodesAndText) {
    CPrinterControl printer;
    EXPECT_EQ(printer.GtinText(), "");
    printer.ReadGtinFile(Path("missing.txt"));
    EXPECT_TRUE(printer.gtinCodes.empty());

    platform::WriteFile(Path("gtin.txt"), "1,2,3\r\n");
    printer.ReadGtinFile(Path("gtin.txt"));
    EXPECT_EQ(printer.GtinText(), "GTIN PRODUCT CODES: 1 2 3 ");

    platform::WriteFile(Path("more.txt"), "1000, 2000x,abc,\n\n40\n");
    printer.ReadGtinFile(Path("more.txt"));
    EXPECT_EQ(printer.gtinCodes, (std::vector<int32_t>{1, 2, 3, 1000, 2000, 0, 40}));
    EXPECT_TRUE(printer.HasGtin(2000));
    EXPECT_FALSE(printer.HasGtin(2001));
}

TEST_F(PrinterControlFileTest, SideFilesLongerThanTheirLimitAreRefusedWithTheReason) {
    CPrinterControl printer;
    platform::WriteFile(Path("gtin.txt"), std::string(CPrinterControl::kMaxGtinFileBytes, '1') + ",2\n");
    printer.ReadGtinFile(Path("gtin.txt"));
    EXPECT_TRUE(printer.gtinCodes.empty());
    EXPECT_EQ(printer.lastError, "GTIN file " + Path("gtin.txt") + " is longer than 65536 bytes");
    // At the limit the file is read.
    platform::WriteFile(Path("gtin.txt"), "7," + std::string(CPrinterControl::kMaxGtinFileBytes - 2, ' '));
    printer.ReadGtinFile(Path("gtin.txt"));
    EXPECT_EQ(printer.gtinCodes, std::vector<int32_t>{7});

    platform::WriteFile(Path("header.txt"), std::string(CPrinterControl::kMaxHeaderFileBytes + 1, 'H'));
    EXPECT_FALSE(printer.ReadHeaderFile(Path("header.txt"), ""));
    EXPECT_EQ(printer.lastError, "Header file " + Path("header.txt") + " is longer than 65536 bytes");
    EXPECT_TRUE(printer.headerLines.empty());
    // A device stands for a file that never ends.
    EXPECT_FALSE(printer.ReadHeaderFile("/dev/zero", ""));
    EXPECT_EQ(printer.lastError, "Header file /dev/zero is longer than 65536 bytes");
}

}  // namespace
