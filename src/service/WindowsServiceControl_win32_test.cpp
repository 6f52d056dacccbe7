#include "service/WindowsServiceControl.h"

#include <gtest/gtest.h>

#include <cstdio>

#include "platform/Environment.h"
#include "platform/FileSystem.h"
#include "platform/ServiceManager.h"

namespace ws = platform::windows_service;
using platform::ServiceManager;

namespace {

// What a command printed.
std::string Command(const std::vector<std::string>& arguments, int* code = nullptr) {
    FILE* out = std::tmpfile();
    WindowsServiceControl control(out);
    int exitCode = control.Main(arguments);
    if (code) {
        *code = exitCode;
    }
    std::rewind(out);
    std::string printed;
    char buffer[512];
    size_t n;
    while ((n = std::fread(buffer, 1, sizeof buffer, out)) > 0) {
        printed.append(buffer, n);
    }
    std::fclose(out);
    return printed;
}

bool Installed(const std::string& name) {
    ServiceManager manager;
    return manager.Open() && manager.OpenService(name);
}

}  // namespace

TEST(WindowsServiceControlTest, TheSuffixReplacesServiceCutToSevenCharacters) {
    struct Case {
        std::string suffix, name;
    } cases[] = {
        {"Cashdesk1", "QEL Fiscal Cashdes"},
        {"Second", "QEL Fiscal Second"},
        {"Bar", "QEL Fiscal Bar"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(WindowsServiceControl::ApplySuffix(WindowsServiceControl::kDefaultName, c.suffix), c.name);
    }
}

// Nothing is accepted while starting; the check point counts only the pending states.
TEST(WindowsServiceControlTest, StatusAcceptsStopOnceStartedAndCountsCheckPointsWhilePending) {
    struct Step {
        ws::State state;
        unsigned waitHint, accepted, checkPoint;
    } steps[] = {
        {ws::State::StartPending, 4000, 0, 1},
        {ws::State::Running, 0, ws::kAcceptStop, 0},
        {ws::State::StopPending, 10000, ws::kAcceptStop, 2},
        {ws::State::StopPending, 10000, ws::kAcceptStop, 3},
        {ws::State::Stopped, 0, ws::kAcceptStop, 0},
    };
    unsigned counter = 0;
    for (const Step& step : steps) {
        ws::Status status = WindowsServiceControl::StatusFor(step.state, 0, step.waitHint, counter);
        EXPECT_EQ(status.controlsAccepted, step.accepted) << static_cast<unsigned>(step.state);
        EXPECT_EQ(status.checkPoint, step.checkPoint) << static_cast<unsigned>(step.state);
        EXPECT_EQ(status.waitHintMs, step.waitHint);
        EXPECT_EQ(status.exitCode, 0u);
    }
}

// A stop that waits for an exchange in flight asks for more time: only a pending state is
// extended, with its check point moved on and the new wait hint.
TEST(WindowsServiceControlTest, OnlyAPendingStateIsExtendedAndItsCheckPointMovesOn) {
    unsigned counter = 0;
    ws::Status stopping = WindowsServiceControl::StatusFor(ws::State::StopPending, 0, 10000, counter);
    ASSERT_TRUE(ws::ExtendedStatus(stopping, 28000));
    EXPECT_EQ(stopping.checkPoint, 2u);
    EXPECT_EQ(stopping.waitHintMs, 28000u);
    EXPECT_EQ(stopping.controlsAccepted, ws::kAcceptStop);
    ws::Status starting = WindowsServiceControl::StatusFor(ws::State::StartPending, 0, 4000, counter);
    ASSERT_TRUE(ws::ExtendedStatus(starting, 9000));
    EXPECT_EQ(starting.checkPoint, counter + 1);
    for (ws::State state : {ws::State::Running, ws::State::Stopped}) {
        ws::Status status = WindowsServiceControl::StatusFor(state, 0, 0, counter);
        EXPECT_FALSE(ws::ExtendedStatus(status, 28000));
        EXPECT_EQ(status.checkPoint, 0u);
        EXPECT_EQ(status.waitHintMs, 0u);
    }
    // Outside a service nothing was reported, so there is nothing to extend.
    EXPECT_FALSE(ws::ExtendPendingWait(28000));
}

TEST(WindowsServiceControlTest, ErrorTextIsTheSystemsMessageWithTheCode) {
    std::string text = WindowsServiceControl::ErrorText(1060);
    EXPECT_EQ(text, platform::SystemErrorText(1060) + " (0x424)");
}

// Through the control manager of the machine (wine's under CI), under a name of this run.
TEST(WindowsServiceControlTest, InstallAndRemoveThroughTheServiceControlManager) {
    const std::string suffix = "U" + std::to_string(platform::ProcessId() % 100000);
    const std::string name = "QEL Fiscal " + suffix;
    int code = -1;
    // Commands are case-sensitive: another spelling does nothing.
    EXPECT_EQ(Command({"FiscoraService.exe", "Install", suffix}, &code), "");
    EXPECT_EQ(code, 0);
    EXPECT_FALSE(Installed(name));

    EXPECT_EQ(Command({"FiscoraService.exe", "install", suffix}, &code), name + " installed.\n");
    EXPECT_EQ(code, 0);
    {
        ServiceManager manager;
        ASSERT_TRUE(manager.Open() && manager.OpenService(name));
        EXPECT_EQ(manager.QueryState(), ServiceManager::State::Stopped);
        // Quoted: a program folder with blanks in its name is started as itself.
        EXPECT_EQ(manager.BinaryPath(), "\"" + platform::ProgramPath() + "\"");
    }
    // A refusal of the control manager is printed and ends with a failure code.
    EXPECT_EQ(Command({"FiscoraService.exe", "install", suffix}, &code),
              "CreateService failed - " + WindowsServiceControl::ErrorText(1073) + "\n");
    EXPECT_EQ(code, WindowsServiceControl::kFailed);
    // A stopped service is only deleted.
    EXPECT_EQ(Command({"FiscoraService.exe", "remove", suffix}, &code), name + " removed.\n");
    EXPECT_EQ(code, 0);
    EXPECT_FALSE(Installed(name));
    EXPECT_EQ(Command({"FiscoraService.exe", "remove", suffix}, &code),
              "OpenService failed - " + WindowsServiceControl::ErrorText(1060) + "\n");
    EXPECT_EQ(code, WindowsServiceControl::kFailed);
}

// The console commands print on Windows too: help, the version, and the status report with its
// exit code (here the folder of the test program holds no configuration: unknown).
TEST(WindowsServiceControlTest, HelpVersionAndStatusPrintWithTheirExitCodes) {
    int code = -1;
    std::string help = Command({"FiscoraService.exe", "--help"}, &code);
    EXPECT_EQ(code, 0);
    EXPECT_NE(help.find("status [SUFFIX] [--json]"), std::string::npos) << help;
    std::string title = ws::LoadStringResource(1, 255);
    EXPECT_EQ(Command({"FiscoraService.exe", "--version"}, &code),
              (title.empty() ? std::string(WindowsServiceControl::kFallbackTitle) : title) + "\n");
    EXPECT_EQ(code, 0);
    std::string status = Command({"FiscoraService.exe", "status", "Second"}, &code);
    EXPECT_EQ(code, 3) << status;
    EXPECT_EQ(status.rfind("QEL Fiscal Second: unknown (configuration: ", 0), 0u) << status;
    std::string json = Command({"FiscoraService.exe", "status", "--json"}, &code);
    EXPECT_EQ(code, 3) << json;
    EXPECT_NE(json.find("\"verdict\":\"unknown\",\"exit_code\":3"), std::string::npos) << json;
}
