#include "service/ServiceControl.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <sys/stat.h>

#include "platform/Environment.h"
#include "platform/FileSystem.h"
#include "platform/ManualClock.h"
#include "platform/TempFolder.h"

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
protected:
    void SetUp() override {
        platform::MakeDirectories(temp.Path() + "units");
        platform::SetEnv("FISCORA_SYSTEMD_DIR", temp.Path() + "units");
        platform::SetEnv("FISCORA_SYSTEMCTL", "/bin/true");
    }
    void TearDown() override {
        ::unsetenv("FISCORA_SYSTEMD_DIR");
        ::unsetenv("FISCORA_SYSTEMCTL");
    }
    // A stand-in for systemctl that reports the unit active, then deactivating twice, then
    // inactive, and records every call.
    void FakeSystemctl() {
        std::string script = temp.File("systemctl");
        platform::WriteFile(script,
                            "#!/bin/sh\n"
                            "echo \"$@\" >> " + temp.File("calls") + "\n"
                            "if [ \"$1\" = is-active ]; then\n"
                            "  n=$(cat " + temp.File("n") + " 2>/dev/null || echo 0)\n"
                            "  echo $((n+1)) > " + temp.File("n") + "\n"
                            "  case $n in 0) echo active;; 1|2) echo deactivating;; *) echo inactive;; esac\n"
                            "fi\n");
        ::chmod(script.c_str(), 0755);
        platform::SetEnv("FISCORA_SYSTEMCTL", script);
    }
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

TEST_F(ServiceControlTest, InstallWritesOneUnitNamingTheService) {
    Output out;
    ServiceControl control(out.Get());
    EXPECT_EQ(control.Main({"FiscoraService", "install", "Cashdesk1"}), 0);
    EXPECT_EQ(out.Text(), "QEL Fiscal Cashdes installed.\n");
    std::vector<std::string> units = platform::ListFolder(temp.Path() + "units");
    ASSERT_EQ(units, std::vector<std::string>{"qel-fiscal-cashdes.service"});
    std::string unit;
    platform::ReadFile(temp.Path() + "units/" + units[0], unit);
    EXPECT_NE(unit.find("Description=QEL Fiscal Cashdes\n"), std::string::npos);
    EXPECT_NE(unit.find("Type=notify\n"), std::string::npos);
    EXPECT_NE(unit.find("ExecStart=" + platform::ProgramPath() + "\n"), std::string::npos);
    EXPECT_NE(unit.find("WorkingDirectory=" + platform::ProgramFolder() + "\n"), std::string::npos);
}

TEST_F(ServiceControlTest, InstallTwiceFailsWithTheSystemText) {
    Output out;
    ServiceControl control(out.Get());
    control.Main({"FiscoraService", "install"});
    control.Main({"FiscoraService", "install"});
    EXPECT_EQ(out.Text(), "QEL Fiscal Service installed.\nCreateService failed - File exists (0x11)\n");
}

TEST_F(ServiceControlTest, InstallIntoAMissingFolderFails) {
    platform::SetEnv("FISCORA_SYSTEMD_DIR", temp.Path() + "nowhere");
    Output out;
    ServiceControl control(out.Get());
    EXPECT_EQ(control.Main({"FiscoraService", "install"}), 0);
    EXPECT_EQ(out.Text(), "OpenSCManager failed - No such file or directory (0x2)\n");
}

TEST_F(ServiceControlTest, CommandsAreCaseSensitiveAndOthersDoNothing) {
    for (const char* command : {"Install", "REMOVE", "start", ""}) {
        Output out;
        ServiceControl control(out.Get());
        EXPECT_EQ(control.Main({"FiscoraService", command}), 0);
        EXPECT_EQ(out.Text(), "");
        EXPECT_TRUE(platform::ListFolder(temp.Path() + "units").empty());
    }
}

TEST_F(ServiceControlTest, RemoveOfAStoppedServiceOnlyDeletesIt) {
    Output out;
    ServiceControl control(out.Get());
    control.Main({"FiscoraService", "install", "Second"});
    control.Main({"FiscoraService", "remove", "Second"});
    EXPECT_EQ(out.Text(), "QEL Fiscal Second installed.\nQEL Fiscal Second removed.\n");
    EXPECT_TRUE(platform::ListFolder(temp.Path() + "units").empty());
}

TEST_F(ServiceControlTest, RemoveOfAMissingServiceFails) {
    Output out;
    ServiceControl control(out.Get());
    control.Main({"FiscoraService", "remove"});
    EXPECT_EQ(out.Text(), "OpenService failed - No such file or directory (0x2)\n");
}

TEST_F(ServiceControlTest, RemoveStopsARunningServicePrintingDotsEverySecond) {
    FakeSystemctl();
    Output out;
    ServiceControl control(out.Get());
    control.Main({"FiscoraService", "install"});
    platform::ManualClock clock;
    platform::ScopedClock scoped(clock);
    control.Main({"FiscoraService", "remove"});
    EXPECT_EQ(out.Text(),
              "QEL Fiscal Service installed.\n"
              "Stopping QEL Fiscal Service...\n"
              "QEL Fiscal Service stopped.\n"
              "QEL Fiscal Service removed.\n");
    EXPECT_EQ(clock.Pauses(), (std::vector<int64_t>{1000, 1000, 1000}));
    std::string calls = Calls();
    EXPECT_NE(calls.find("stop --no-block qel-fiscal-service.service\n"), std::string::npos);
    EXPECT_NE(calls.find("daemon-reload"), std::string::npos);
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
    EXPECT_EQ(output, "QEL Fiscal Cashdes installed.\n");
    output.clear();
    EXPECT_EQ(platform::RunProgram(binary, {"Install"}, &output), 0);
    EXPECT_EQ(output, "");
    EXPECT_EQ(platform::ListFolder(temp.Path()).size(), 1u);
    ::unsetenv("FISCORA_SYSTEMD_DIR");
    ::unsetenv("FISCORA_SYSTEMCTL");
}
