#include "service/ServiceControl.h"

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <cstdio>
#include <functional>

#include "platform/Environment.h"
#include "platform/FileSystem.h"
#include "platform/SystemdUnits.h"
#include "platform/TempFolder.h"
#include "platform/Text.h"
#include "service/ServicePaths.h"
#include "tests/support/platform/ManualClock.h"

namespace {

// Captures what the installer prints.
class Output {
public:
    Output() : file(std::tmpfile()) {}
    ~Output() { std::fclose(file); }
    FILE* Get() { return file; }
    std::string Text() {
        std::fflush(file);
        std::rewind(file);
        std::string result;
        char buffer[512];
        size_t n;
        while ((n = std::fread(buffer, 1, sizeof buffer, file)) > 0) {
            result.append(buffer, n);
        }
        return result;
    }

private:
    FILE* file;
};

class ServiceControlTest : public ::testing::Test {
public:
    void SetUp() override {
        platform::MakeDirectories(temp.Path() + "units");
        platform::SetEnv("FISCORA_SYSTEMD_DIR", temp.Path() + "units");
        platform::SetEnv("FISCORA_SYSTEMCTL", "/bin/true");
    }
    void TearDown() override {
        ::unsetenv("FISCORA_SYSTEMD_DIR");
        ::unsetenv("FISCORA_SYSTEMCTL");
    }
    // A stand-in for systemctl that records every call. is-active answers the states given, one
    // a call, the last one for ever; a call whose first word is in failing fails with a message.
    void FakeSystemctl(const std::string& states = "active deactivating deactivating inactive",
                       const std::string& failing = "") {
        std::string script = temp.File("systemctl");
        platform::WriteFile(script,
                            "#!/bin/sh\n"
                            "echo \"$@\" >> " +
                                temp.File("calls") +
                                "\n"
                                "case \" " +
                                failing +
                                " \" in *\" $1 \"*) echo \"Failed to $1: Access denied\" >&2; exit 1;; esac\n"
                                "if [ \"$1\" = is-active ]; then\n"
                                "  n=$(cat " +
                                temp.File("n") +
                                " 2>/dev/null || echo 1)\n"
                                "  echo $((n+1)) > " +
                                temp.File("n") +
                                "\n"
                                "  set -- " +
                                states +
                                "\n"
                                "  [ $n -gt $# ] && n=$#\n"
                                "  eval echo \\${$n}\n"
                                "fi\n");
        ::chmod(script.c_str(), 0755);
        platform::SetEnv("FISCORA_SYSTEMCTL", script);
    }
    // Runs the command line; what it printed goes to out and err.
    int Run(const std::vector<std::string>& words) {
        ServiceControl control(out.Get(), err.Get());
        std::vector<std::string> arguments = {"FiscoraService"};
        arguments.insert(arguments.end(), words.begin(), words.end());
        return control.Main(arguments);
    }
    std::string Unit(const std::string& name) {
        std::string unit;
        platform::ReadFile(temp.Path() + "units/" + name, unit);
        return unit;
    }
    bool Has(const std::string& text, const std::string& part) {
        return text.find(part) != std::string::npos;
    }

    Output out;
    Output err;
    std::string Calls() {
        std::string content;
        platform::ReadFile(temp.File("calls"), content);
        return content;
    }

    platform::TempFolder temp;
};

}  // namespace

TEST_F(ServiceControlTest, SuffixReplacesServiceCutToSevenCharacters) {
    EXPECT_EQ(ServiceControl::ApplySuffix("QEL Fiscal Service", "Cashdesk1"), "QEL Fiscal Cashdes");
    EXPECT_EQ(ServiceControl::ApplySuffix("QEL Fiscal Service", "Second"), "QEL Fiscal Second");
    EXPECT_EQ(ServiceControl::ApplySuffix("Service of Service", "X"), "X of X");
}

TEST_F(ServiceControlTest, InstallWritesOneHardenedUnitAndSaysHowToStartIt) {
    FakeSystemctl();
    EXPECT_EQ(Run({"install", "Cashdesk1"}), 0);
    EXPECT_EQ(
        out.Text(),
        "QEL Fiscal Cashdes installed.\nStart it with: systemctl enable --now qel-fiscal-cashdes.service\n");
    EXPECT_EQ(err.Text(), "");
    std::vector<std::string> units = platform::ListFolder(temp.Path() + "units");
    ASSERT_EQ(units, std::vector<std::string>{"qel-fiscal-cashdes.service"});
    std::string unit = Unit(units[0]);
    std::string folder = platform::ProgramFolder();
    for (const std::string& line : std::vector<std::string>{
             "Description=QEL Fiscal Cashdes\n", "Type=notify\n",
             "ExecStart=" + platform::SystemdUnits::ExecWord(platform::ProgramPath()) + "\n",
             "WorkingDirectory=" + folder + "\n", "ReadWritePaths=" + folder + "\n", "ProtectSystem=strict\n",
             "NoNewPrivileges=yes\n", "CapabilityBoundingSet=\n", "SystemCallFilter=@system-service\n",
             "WantedBy=multi-user.target\n"}) {
        EXPECT_TRUE(Has(unit, line)) << line << unit;
    }
    EXPECT_EQ(Calls(), "daemon-reload\n");
}

TEST_F(ServiceControlTest, ExecStartWordsAreQuotedAndKeptFromExpansion) {
    struct Case {
        const char* word;
        const char* written;
    } cases[] = {
        {"/opt/fiscora/FiscoraService", "/opt/fiscora/FiscoraService"},
        {"/opt/QEL Fiscal/FiscoraService", "\"/opt/QEL Fiscal/FiscoraService\""},
        {"/opt/100%/FiscoraService", "/opt/100%%/FiscoraService"},
        {"/opt/$HOME/x", "/opt/$$HOME/x"},
        {"/opt/a\"b\\c", "\"/opt/a\\\"b\\\\c\""},
        {"", "\"\""},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(platform::SystemdUnits::ExecWord(c.word), c.written) << c.word;
    }
    EXPECT_EQ(platform::SystemdUnits::PathValue("/opt/QEL Fiscal/", true), "\"/opt/QEL Fiscal/\"");
    EXPECT_EQ(platform::SystemdUnits::PathValue("/opt/QEL Fiscal/", false), "/opt/QEL Fiscal/");
    EXPECT_EQ(platform::SystemdUnits::PathValue("/opt/5%/", false), "/opt/5%%/");
}

TEST_F(ServiceControlTest, InstallFailuresExitNonZeroWithTheReason) {
    struct Case {
        const char* name;
        std::function<void(ServiceControlTest&)> arrange;
        std::string error;
        bool unitLeft;
    } cases[] = {
        {"installed already", [](ServiceControlTest& t) { t.Run({"install"}); },
         "Cannot install QEL Fiscal Service: " + temp.Path() +
             "units/qel-fiscal-service.service exists already (FiscoraService remove takes it away)\n",
         true},
        {"no unit folder",
         [](ServiceControlTest& t) { platform::SetEnv("FISCORA_SYSTEMD_DIR", t.temp.Path() + "nowhere"); },
         "Cannot install QEL Fiscal Service: unit folder " + temp.Path() +
             "nowhere: No such file or directory (0x2)\n",
         false},
        {"reload refused", [](ServiceControlTest& t) { t.FakeSystemctl("", "daemon-reload"); },
         "Cannot install QEL Fiscal Service: systemctl daemon-reload failed: Failed to daemon-reload: Access "
         "denied\n",
         true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        SetUp();
        for (const std::string& unit : platform::ListFolder(temp.Path() + "units")) {
            platform::RemoveFile(temp.Path() + "units/" + unit);
        }
        c.arrange(*this);
        Output failure;
        ServiceControl control(out.Get(), failure.Get());
        EXPECT_EQ(control.Main({"FiscoraService", "install"}), ServiceControl::kFailed);
        EXPECT_EQ(failure.Text(), c.error);
        EXPECT_EQ(platform::FileExists(temp.Path() + "units/qel-fiscal-service.service"), c.unitLeft);
    }
}

TEST_F(ServiceControlTest, InstallNowEnablesAndStartsTheUnit) {
    FakeSystemctl();
    EXPECT_EQ(Run({"install", "--now"}), 0);
    EXPECT_EQ(out.Text(), "QEL Fiscal Service installed.\nQEL Fiscal Service enabled and started.\n");
    EXPECT_EQ(Calls(), "daemon-reload\nenable --now qel-fiscal-service.service\n");

    FakeSystemctl("", "enable");
    EXPECT_EQ(Run({"install", "Second", "--now"}), ServiceControl::kFailed);
    EXPECT_EQ(
        err.Text(),
        "Cannot start QEL Fiscal Second: systemctl enable --now qel-fiscal-second.service failed: Failed to "
        "enable: Access denied\n");
}

TEST_F(ServiceControlTest, CommandLineOptionsAndMistakes) {
    struct Case {
        std::vector<std::string> words;
        int exitCode;
        std::string out;
        std::string err;
    } cases[] = {
        {{"--version"}, 0, "QEL Fiscal Service v.5.09.56\n", ""},
        {{"-V"}, 0, "QEL Fiscal Service v.5.09.56\n", ""},
        {{"--help"}, 0, ServiceControl::Usage(), ""},
        {{"Install"}, 2, "", "FiscoraService: unknown command 'Install'\nTry 'FiscoraService --help'.\n"},
        {{"REMOVE"}, 2, "", "FiscoraService: unknown command 'REMOVE'\nTry 'FiscoraService --help'.\n"},
        {{"install", "a", "b"}, 2, "", "FiscoraService: too many arguments\nTry 'FiscoraService --help'.\n"},
        {{"--verbose"}, 2, "", "FiscoraService: unknown option --verbose\nTry 'FiscoraService --help'.\n"},
        {{"remove", "--now"},
         2,
         "",
         "FiscoraService: --now goes with install\nTry 'FiscoraService --help'.\n"},
        {{"install", "--json"},
         2,
         "",
         "FiscoraService: --json goes with status\nTry 'FiscoraService --help'.\n"},
        {{"--config"}, 2, "", "FiscoraService: option --config needs a file\nTry 'FiscoraService --help'.\n"},
    };
    for (const Case& c : cases) {
        Output o, e;
        ServiceControl control(o.Get(), e.Get());
        std::vector<std::string> arguments = {"FiscoraService"};
        arguments.insert(arguments.end(), c.words.begin(), c.words.end());
        EXPECT_EQ(control.Main(arguments), c.exitCode) << c.words[0];
        EXPECT_EQ(o.Text(), c.out) << c.words[0];
        EXPECT_EQ(e.Text(), c.err) << c.words[0];
    }
    EXPECT_TRUE(platform::ListFolder(temp.Path() + "units").empty());
}

TEST_F(ServiceControlTest, InstallWithANamedConfigurationStartsTheServiceWithIt) {
    EXPECT_EQ(Run({"--config", "/etc/site one.xml", "install"}), 0);
    EXPECT_TRUE(Has(Unit("qel-fiscal-service.service"),
                    "ExecStart=" + platform::SystemdUnits::ExecWord(platform::ProgramPath()) +
                        " --config \"/etc/site one.xml\"\n"));
}

TEST_F(ServiceControlTest, RemoveOfAStoppedServiceDisablesAndDeletesIt) {
    FakeSystemctl("inactive");
    EXPECT_EQ(Run({"install", "Second"}), 0);
    EXPECT_EQ(Run({"remove", "Second"}), 0);
    EXPECT_TRUE(Has(out.Text(), "QEL Fiscal Second removed.\n"));
    EXPECT_FALSE(Has(out.Text(), "Stopping"));
    EXPECT_TRUE(platform::ListFolder(temp.Path() + "units").empty());
    EXPECT_TRUE(Has(Calls(), "disable qel-fiscal-second.service\n"));
}

TEST_F(ServiceControlTest, RemoveFailuresExitNonZero) {
    EXPECT_EQ(Run({"remove"}), ServiceControl::kFailed);
    EXPECT_EQ(err.Text(), "Cannot remove QEL Fiscal Service: there is no " + temp.Path() +
                              "units/qel-fiscal-service.service\n");

    FakeSystemctl("inactive", "disable");
    Run({"install"});
    Output e;
    ServiceControl control(out.Get(), e.Get());
    EXPECT_EQ(control.Main({"FiscoraService", "remove"}), ServiceControl::kFailed);
    EXPECT_EQ(e.Text(),
              "Cannot remove QEL Fiscal Service: systemctl disable failed: Failed to disable: Access "
              "denied\n");
    EXPECT_TRUE(platform::FileExists(temp.Path() + "units/qel-fiscal-service.service"));
}

TEST_F(ServiceControlTest, RemoveStopsARunningServicePrintingDotsEverySecond) {
    FakeSystemctl();
    Run({"install"});
    platform::ManualClock clock;
    platform::ScopedClock scoped(clock);
    EXPECT_EQ(Run({"remove"}), 0);
    EXPECT_EQ(out.Text(),
              "QEL Fiscal Service installed.\n"
              "Start it with: systemctl enable --now qel-fiscal-service.service\n"
              "Stopping QEL Fiscal Service...\n"
              "QEL Fiscal Service stopped.\n"
              "QEL Fiscal Service removed.\n");
    EXPECT_EQ(clock.Pauses(), (std::vector<int64_t>{1000, 1000, 1000}));
    std::string calls = Calls();
    EXPECT_TRUE(Has(calls, "stop --no-block qel-fiscal-service.service\n"));
    EXPECT_TRUE(Has(calls, "disable qel-fiscal-service.service\ndaemon-reload\n"));
}

TEST_F(ServiceControlTest, AServiceThatDoesNotStopWithinAMinuteFailsTheRemove) {
    FakeSystemctl("active");
    Run({"install"});
    platform::ManualClock clock;
    platform::ScopedClock scoped(clock);
    EXPECT_EQ(Run({"remove"}), ServiceControl::kFailed);
    EXPECT_TRUE(Has(out.Text(), "\nQEL Fiscal Service failed to stop.\nQEL Fiscal Service removed.\n"));
    EXPECT_EQ(clock.Pauses().size(), 60u);
}

TEST_F(ServiceControlTest, ErrorTextCarriesTheCode) {
    EXPECT_EQ(ServiceControl::ErrorText(2), "No such file or directory (0x2)");
    EXPECT_EQ(ServiceControl::ErrorText(13), "Permission denied (0xd)");
}

TEST(ServiceProgramTest, InstallFromTheCommandLine) {
    platform::TempFolder temp;
    std::string binary = platform::GetEnv("FISCORA_BINARY_DIR") + "/FiscoraService";
    ASSERT_TRUE(platform::FileExists(binary));
    platform::SetEnv("FISCORA_SYSTEMD_DIR", temp.Path());
    platform::SetEnv("FISCORA_SYSTEMCTL", "/bin/true");
    std::string output;
    EXPECT_EQ(platform::RunProgram(binary, {"install", "Cashdesk1"}, &output), 0);
    EXPECT_EQ(
        output,
        "QEL Fiscal Cashdes installed.\nStart it with: systemctl enable --now qel-fiscal-cashdes.service\n");
    output.clear();
    EXPECT_EQ(platform::RunProgram(binary, {"Install"}, &output, true), 2);
    EXPECT_EQ(output, "FiscoraService: unknown command 'Install'\nTry 'FiscoraService --help'.\n");
    EXPECT_EQ(platform::ListFolder(temp.Path()).size(), 1u);
    ::unsetenv("FISCORA_SYSTEMD_DIR");
    ::unsetenv("FISCORA_SYSTEMCTL");
}

// The unit as systemd itself reads it: a program folder with a blank in its name, verified and
// rated by systemd-analyze (offline, so a machine without a running systemd checks it as well).
TEST(ServiceUnitTest, SystemdAcceptsTheUnitAndRatesItsExposureLow) {
    if (platform::RunProgram("systemd-analyze", {"--version"}, nullptr) != 0) {
        GTEST_SKIP() << "systemd-analyze is not installed (scripts/setup.sh installs it)";
    }
    platform::TempFolder temp;
    std::string folder = temp.Path() + "QEL Fiscal/";
    ASSERT_TRUE(platform::MakeDirectories(temp.Path() + "units") && platform::MakeDirectories(folder));
    ASSERT_TRUE(platform::CopyFile(platform::GetEnv("FISCORA_BINARY_DIR") + "/FiscoraService",
                                   folder + "FiscoraService"));
    ::chmod((folder + "FiscoraService").c_str(), 0755);
    platform::SetEnv("FISCORA_SYSTEMD_DIR", temp.Path() + "units");
    platform::SetEnv("FISCORA_SYSTEMCTL", "/bin/true");
    std::string output;
    EXPECT_EQ(platform::RunProgram(folder + "FiscoraService", {"install"}, &output, true), 0) << output;
    ::unsetenv("FISCORA_SYSTEMD_DIR");
    ::unsetenv("FISCORA_SYSTEMCTL");
    std::string unit = temp.Path() + "units/qel-fiscal-service.service";
    output.clear();
    EXPECT_EQ(platform::RunProgram("systemd-analyze", {"verify", unit}, &output, true), 0) << output;
    output.clear();
    platform::RunProgram("systemd-analyze", {"security", "--offline=true", unit}, &output, true);
    size_t at = output.find("Overall exposure level for qel-fiscal-service.service: ");
    ASSERT_NE(at, std::string::npos) << output;
    double exposure = text::ToDouble(output.substr(at + 56));
    EXPECT_GT(exposure, 0.0) << output;
    EXPECT_LE(exposure, 4.0) << output;
}

// The unit the package installs is the one install would write for the installed program: the
// two cannot drift apart.
TEST(ServiceUnitTest, ThePackagesUnitIsTheUnitOfTheInstalledProgram) {
    std::string packaged;
    ASSERT_TRUE(platform::ReadFile(
        platform::GetEnv("FISCORA_BINARY_DIR") + "/packaging/qel-fiscal-service.service", packaged));
    ServicePaths paths = ServicePaths::Resolve(true, ServiceControl::kDefaultName, "");
    EXPECT_EQ(packaged, ServiceControl::UnitText(ServiceControl::kDefaultName, paths,
                                                 ServicePaths::InstalledProgram(), ""));
    // An instance installed with a suffix keeps its files apart.
    ServicePaths second = ServicePaths::Resolve(true, "QEL Fiscal Second", "");
    std::string unit =
        ServiceControl::UnitText("QEL Fiscal Second", second, ServicePaths::InstalledProgram(), "");
    for (const char* line :
         {"--config /etc/fiscora/qel-fiscal-second/VuvovaZododAVU.xml\n",
          "StateDirectory=fiscora/qel-fiscal-second\n", "LogsDirectory=fiscora/qel-fiscal-second\n",
          "RuntimeDirectory=fiscora/qel-fiscal-second\n",
          "WorkingDirectory=/var/lib/fiscora/qel-fiscal-second/\n"}) {
        EXPECT_NE(unit.find(line), std::string::npos) << line << unit;
    }
}
