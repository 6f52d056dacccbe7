// FiscoraService started in a folder that holds nothing but its configuration: the configuration
// is read and logged; the demo configuration starts and waits for its PMS database, bad
// configurations stop start-up with a clear message in the log and on standard error where they
// are found. It never crashes.
#include <dlfcn.h>
#include <gtest/gtest.h>
#include <sqlite3.h>

#include <filesystem>

#include "ServiceRun.h"
#include "platform/Environment.h"
#include "platform/FileSystem.h"
#include "platform/TempFolder.h"
#include "platform/Text.h"

namespace {

struct ProgramRun {
    int exitCode = -1;
    std::string output;  // standard output and standard error
    std::string log;     // qelfiscal.log
};

// Copies the service into the folder, so that its program folder (and with it its log) is that
// folder too, and runs it there with a time limit, after which it is told to stop. The client
// library beside it is then replaced by the given file, or removed when that is empty.
ProgramRun RunService(const platform::TempFolder& folder, int seconds = 30,
                      const char* clientLibrary = "libLGXClient.so") {
    ProgramRun run;
    if (!ServiceFolder::CopyProgram(ServiceBinary(), folder.Path())) {
        ADD_FAILURE() << "cannot copy " << ServiceBinary();
        return run;
    }
    if (std::string(clientLibrary) != "libLGXClient.so") {
        platform::RemoveFile(folder.Path("libLGXClient.so"));
        if (*clientLibrary) {
            std::filesystem::copy_file(clientLibrary, folder.Path("libLGXClient.so"));
        }
    }
    run.exitCode = platform::RunProgram(
        "/bin/sh",
        {"-c", "unset NOTIFY_SOCKET; cd \"$1\" && exec timeout \"$2\" ./FiscoraService 2>&1", "sh",
         folder.Path(), std::to_string(seconds)},
        &run.output);
    run.log = folder.Read("qelfiscal.log");
    return run;
}

std::string DemoConfiguration() {
    std::string content;
    EXPECT_TRUE(platform::ReadFile(SourceDir() + "demo/VuvovaZododAVU.xml", content));
    return content;
}

bool Has(const std::string& text, const std::string& part) {
    return text.find(part) != std::string::npos;
}

TEST(StartupConfigurationTest, DemoConfigurationIsLoggedAndWaitsForItsPmsDatabase) {
    platform::TempFolder folder;
    // With a misspelt optional setting, which is told once and otherwise read as missing.
    folder.Write("VuvovaZododAVU.xml", text::ReplaceAll(DemoConfiguration(), "block_payments>", "block_paymnets>"));
    ProgramRun run = RunService(folder, 4);
    // Ended by the time limit's stop signal, not by a failed start-up.
    EXPECT_EQ(run.exitCode, 124) << run.output;
    EXPECT_FALSE(Has(run.output, "start-up failed")) << run.output;
    for (const std::string& line :
         {"Configuration file " + folder.Path("VuvovaZododAVU.xml"), std::string("Fidelio version: OPERA"),
          std::string("Printer 1:"), std::string("127.0.0.1 : 4050 // tax: 1"), std::string("Printer 2:"),
          std::string("Line FO1 printers: 1 2"), std::string("Line FO2 printers: 2 1"),
          std::string("Line DEF printers: 1 2"), std::string("Posting code 5010 printers: 2 1"),
          std::string("Printer type 7"),
          std::string("Wait answer 7000 ms, wait next check 1000 ms, base monitoring 3000 ms"),
          std::string("Resort: DEMO"), std::string("Start service"),
          // The folder has no demo_pms.db: every cycle says so, and the service goes on.
          std::string("unable to open database file: demo_pms.db"), std::string("Stop service")}) {
        EXPECT_TRUE(Has(run.log, line)) << line << "\n" << run.log;
    }
    EXPECT_FALSE(Has(run.log, "Can't read parameter")) << run.log;
    const std::string warning =
        "Configuration: Unknown element <block_paymnets> in <fidelio_ini>, not read; did you mean <block_payments>?";
    EXPECT_TRUE(Has(run.log, warning)) << run.log;
    EXPECT_EQ(run.log.find(warning), run.log.rfind(warning));
}

struct BadCase {
    const char* name;
    // Every occurrence replaced in the demo configuration; nullptr leaves the folder without one.
    const char* from;
    const char* to;
    const char* message;
};

TEST(StartupConfigurationTest, BadConfigurationStopsStartUpWithItsMessage) {
    const BadCase cases[] = {
        {"no file", nullptr, nullptr, "File was not found"},
        {"not well-formed", "</fidelio_ini>", "", "Start-end tags mismatch"},
        {"unknown version", "<version>OPERA</version>", "<version>OPERA6</version>",
         "Unknown Fidelio version"},
        {"empty printer list", "<tcpip_ini ", "<not_a_printer ", "Empty printer list!"},
        {"unknown printer", "<print_list station=\"FO2\">2,1<", "<print_list station=\"FO2\">2,3<",
         "line FO2 : printer 3 not defined"},
        {"no print list", "print_list", "no_print_list", "Can't read print list"},
        {"misspelt printer address", "ip_address=\"127.0.0.1\" port=", "ip_adress=\"127.0.0.1\" port=",
         "printer 1 (tcpip_ini num=\"1\"): attribute ip_address is missing (ip_adress is no attribute of "
         "tcpip_ini: did you mean ip_address?)"},
        {"letter in a port", "port=\"4050\"", "port=\"405O\"",
         "printer 1 (tcpip_ini num=\"1\"): attribute port is \"405O\", not a whole number"},
    };
    for (const BadCase& c : cases) {
        SCOPED_TRACE(c.name);
        platform::TempFolder folder;
        std::string message = c.message;
        if (c.from) {
            folder.Write("VuvovaZododAVU.xml", text::ReplaceAll(DemoConfiguration(), c.from, c.to));
        }
        ProgramRun run = RunService(folder);
        EXPECT_EQ(run.exitCode, 1) << run.output;
        EXPECT_TRUE(Has(run.output, "Fiscora: start-up failed: ")) << run.output;
        EXPECT_TRUE(Has(run.output, message)) << run.output;
        EXPECT_TRUE(Has(run.log, message)) << run.log;
    }
}

// The demo configuration expands POS checks: the service does not start without a client library
// that exports GetCheck, and says why.
TEST(StartupConfigurationTest, PosExpansionWithoutItsClientLibraryStopsStartUp) {
    // A shared object that loads but exports no GetCheck: the SQLite library of this program.
    Dl_info sqlite{};
    ASSERT_NE(dladdr(reinterpret_cast<void*>(&sqlite3_libversion), &sqlite), 0);
    const struct {
        const char* library;
        const char* message;
    } cases[] = {{"", "Can't load libLGXClient.so"}, {sqlite.dli_fname, "Error load GetCheck"}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.message);
        platform::TempFolder folder;
        folder.Write("VuvovaZododAVU.xml", DemoConfiguration());
        ProgramRun run = RunService(folder, 30, c.library);
        EXPECT_EQ(run.exitCode, 1) << run.output;
        EXPECT_TRUE(Has(run.output, std::string("Fiscora: start-up failed: ") + c.message)) << run.output;
        EXPECT_TRUE(Has(run.log, c.message)) << run.log;
        EXPECT_FALSE(Has(run.log, "Start service")) << run.log;
    }
}

}  // namespace
