// FiscoraService.exe of the windows preset under Debian's wine64, as a Windows administrator runs
// it: installed and removed through wine's service control manager, started there, and the demo
// day registered against the embedded PMS and the printer-manager simulator (which run natively
// on 127.0.0.1), and a restaurant payment expanded through LGXClient.dll. scripts/windows.sh test
// runs this program after the windows preset's build, in a private network namespace where the
// machine allows it.
#include <gtest/gtest.h>

#include "ServiceRun.h"
#include "WineService.h"
#include "platform/Environment.h"
#include "platform/FileSystem.h"
#include "platform/TempFolder.h"
#include "platform/Text.h"

namespace {

// FISCORA_WINDOWS_BINARY_DIR, else build/windows of the source tree.
std::string WindowsProgram() {
    std::string folder = platform::GetEnv("FISCORA_WINDOWS_BINARY_DIR");
    return (folder.empty() ? SourceDir() + "build/windows" : folder) + "/FiscoraService.exe";
}

// What the program printed; code receives its exit code.
std::string Wine(const std::vector<std::string>& arguments, int* code = nullptr) {
    std::string output;
    int exitCode = WineService::RunUnderWine(arguments, output);
    if (code) {
        *code = exitCode;
    }
    return output;
}

bool Has(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

class WineTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(platform::FileExists(WindowsProgram())) << WindowsProgram() << ": build the windows preset";
        ASSERT_TRUE(ServiceFolder::CopyProgram(WindowsProgram(), folder.Path()));
    }

    platform::TempFolder folder{"fiscora-wine"};
    std::string program = folder.Path("FiscoraService.exe");
};

TEST_F(WineTest, InstallUnderASuffixListsTheServiceAndRemoveDeletesIt) {
    const std::string name = "QEL Fiscal Cashdes";
    // Commands are case-sensitive: "Install" does nothing, and says nothing.
    int code = -1;
    EXPECT_EQ(Wine({program, "Install", "Cashdesk1"}, &code), "");
    EXPECT_EQ(code, 0);
    Wine({"sc", "query", name}, &code);
    EXPECT_NE(code, 0) << "no such service yet";

    EXPECT_EQ(Wine({program, "install", "Cashdesk1"}, &code), name + " installed.\n");
    EXPECT_EQ(code, 0);
    std::string query = Wine({"sc", "query", name}, &code);
    EXPECT_EQ(code, 0) << query;
    EXPECT_TRUE(Has(query, "SERVICE_NAME: " + name)) << query;
    EXPECT_TRUE(Has(query, "TYPE               : 110")) << query;
    EXPECT_TRUE(Has(query, "STOPPED")) << query;
    // Started on demand, normal error control, the local system account, the path in quotes
    // (a folder with blanks in its name is started as itself).
    std::string key = Wine({"reg", "query", "HKLM\\System\\CurrentControlSet\\Services\\" + name});
    EXPECT_TRUE(Has(key, "DisplayName    REG_SZ    " + name)) << key;
    EXPECT_TRUE(Has(key, "Start    REG_DWORD    0x3")) << key;
    EXPECT_TRUE(Has(key, "ErrorControl    REG_DWORD    0x1")) << key;
    EXPECT_TRUE(Has(key, "ObjectName    REG_SZ    LocalSystem")) << key;
    EXPECT_TRUE(Has(key, "ImagePath    REG_SZ    \"") && Has(key, "FiscoraService.exe\"\n")) << key;

    // The control manager's refusal is printed and ends with a failure code.
    std::string again = Wine({program, "install", "Cashdesk1"}, &code);
    EXPECT_TRUE(text::StartsWith(again, "CreateService failed - ") && text::EndsWith(again, " (0x431)\n")) << again;
    EXPECT_EQ(code, 1);

    // Not running: nothing to stop, only the deletion.
    EXPECT_EQ(Wine({program, "remove", "Cashdesk1"}, &code), name + " removed.\n");
    EXPECT_EQ(code, 0);
    Wine({"sc", "query", name}, &code);
    EXPECT_NE(code, 0);
    std::string missing = Wine({program, "remove", "Cashdesk1"}, &code);
    EXPECT_TRUE(text::StartsWith(missing, "OpenService failed - ") && text::EndsWith(missing, " (0x424)\n"))
        << missing;
    EXPECT_EQ(code, 1);

    // The console commands print on Windows too.
    EXPECT_EQ(Wine({program, "--version"}, &code), "QEL Fiscal Service v.5.09.56\n");
    EXPECT_EQ(code, 0);
    EXPECT_TRUE(Has(Wine({program, "--help"}, &code), "status [SUFFIX] [--json]"));
    EXPECT_EQ(code, 0);
    std::string status = Wine({program, "status"}, &code);
    EXPECT_EQ(code, 3) << status;
    EXPECT_TRUE(text::StartsWith(status, "QEL Fiscal Service: unknown (configuration: VuvovaZododAVU.xml file FAILED "
                                         "to load File was not found in "))
        << status;
}

TEST_F(WineTest, StartedFromAConsoleTheDispatcherCannotConnectAndABoxSaysSo) {
    const std::string boxes = folder.Path("boxes.txt");
    platform::SetEnv("FISCORA_MESSAGE_BOX_FILE", boxes);
    int code = -1;
    Wine({program}, &code);
    platform::SetEnv("FISCORA_MESSAGE_BOX_FILE", "");
    EXPECT_EQ(code, 0);
    std::string shown;
    ASSERT_TRUE(platform::ReadFile(boxes, shown));
    EXPECT_EQ(shown, "DovozEderarezev|50010|StartServiceCtrlDispatcher:Error 1063\n\n");
}

// The demo day of the Linux end-to-end suite, registered by FiscoraService.exe running as a
// service of wine's control manager: every due payment and deposit once, and a second start of
// the service adds nothing.
TEST(WineRegistrationTest, TheDemoDayIsRegisteredOnceByTheServiceUnderWine) {
    ASSERT_TRUE(platform::FileExists(WindowsProgram())) << WindowsProgram() << ": build the windows preset";
    ServiceRun run("demo/VuvovaZododAVU.xml", WindowsProgram());
    ASSERT_TRUE(run.Start(pmsgen::OpenDay::Demo));
    std::vector<int> due = run.DuePayments();
    std::vector<int> deposits = run.DueDeposits();
    ASSERT_EQ(due.size(), 18u);
    ASSERT_EQ(deposits.size(), 6u);
    // The bills left N and S on the two days before come after the day's.
    due.insert(due.end(), run.EarlierPayments().begin(), run.EarlierPayments().end());
    ASSERT_TRUE(run.WaitForStatus(deposits, "D", 180000)) << run.Diagnostics();
    ASSERT_TRUE(run.WaitForStatus(due, "Y", 180000)) << run.Diagnostics();
    ASSERT_TRUE(run.WaitForStatus(run.Pms().ignoredPayments, "Y", 20000)) << run.Diagnostics();
    EXPECT_EQ(run.StopService(), 0) << run.Diagnostics();
    ExpectRegisteredOnce(run, due, deposits, IgnoredPayments(run));

    // The service's own way: the version text from the program's resources, the stop through
    // the control manager, the removal.
    std::string log = run.Log();
    EXPECT_TRUE(Has(log, "QEL Fiscal Service v.5.09.56")) << run.Diagnostics();
    EXPECT_TRUE(Has(log, "Stop service")) << run.Diagnostics();
    EXPECT_FALSE(Has(log, "Unsuccessful")) << run.Diagnostics();
    std::string printed;
    platform::ReadFile(run.Path("service.out"), printed);
    EXPECT_TRUE(Has(printed, " stopped.\n") && Has(printed, " removed.\n")) << printed;

    ExpectASecondStartRegistersNothing(run, due.size() + deposits.size(), 60000);
}

// The restaurant payment that the POS interface posted, registered item by item through
// LGXClient.dll beside FiscoraService.exe, from the check-database server found by discovery on
// loopback; the service stops with the library loaded.
TEST(WineRegistrationTest, TheRestaurantPaymentIsRegisteredItemByItemThroughTheDll) {
    ASSERT_TRUE(WineService::DiscoveryOnLoopback())
        << "the prefix's services need the loopback broadcast address: run scripts/windows.sh test";
    ServiceRun run("demo/VuvovaZododAVU.xml", WindowsProgram());
    pmsgen::Options options;
    options.openDay = pmsgen::OpenDay::Small;
    options.restaurantPayment = true;
    std::string error;
    ASSERT_TRUE(run.ServiceFolder::MakePms(options, error)) << error;
    ASSERT_TRUE(run.StartCheckDatabase(error)) << error;
    ASSERT_TRUE(run.StartSimulators());
    ASSERT_TRUE(run.Configure());
    ASSERT_TRUE(run.StartService()) << run.Diagnostics();
    std::vector<int> due = run.DuePayments();
    ASSERT_EQ(due.size(), 6u);
    ASSERT_TRUE(run.WaitForStatus(due, "Y", 120000)) << run.Diagnostics();
    EXPECT_EQ(run.StopService(), 0) << run.Diagnostics();

    ExpectRegisteredOnce(run, due);
    ServiceRun::Registered document = DocumentOf(run, run.Pms().restaurantPayment);
    ASSERT_EQ(document.items.size(), 5u) << run.Diagnostics();
    EXPECT_EQ(document.items[0].description, "Борщ");
    EXPECT_EQ(document.items[3].kind, "D");
    EXPECT_NEAR(SumOfAmounts(document.items), 2484.90, 0.001);
    EXPECT_EQ(run.CheckDatabase().Connections(), 1);
    EXPECT_TRUE(Has(run.Log(), "Stop service")) << run.Diagnostics();
}

}  // namespace
