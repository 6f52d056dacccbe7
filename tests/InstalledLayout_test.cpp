// The installed service as its unit starts it: the install rules staged under a folder (as the
// Debian package lays them out), the program run as a user who cannot write its own folder, with
// the folders and the configuration the unit hands it, against the demo PMS and the printer-
// manager simulator. Its log, check journal and health land in Debian's places.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <csignal>
#include <map>

#include "ServiceRun.h"
#include "platform/ChildProcess.h"
#include "platform/Environment.h"
#include "platform/FileSystem.h"
#include "platform/TempFolder.h"
#include "platform/Text.h"

namespace {

bool Has(const std::string& text, const std::string& part) {
    return text.find(part) != std::string::npos;
}

// The [Service] settings of a unit file, by name (the last of a repeated one).
std::map<std::string, std::string> ServiceSettings(const std::string& unit) {
    std::map<std::string, std::string> settings;
    for (const std::string& line : text::Split(unit, '\n')) {
        size_t eq = line.find('=');
        if (eq != std::string::npos && line[0] != '#') {
            settings[line.substr(0, eq)] = line.substr(eq + 1);
        }
    }
    return settings;
}

TEST(InstalledLayoutTest, TheUnitsUserWritesLogJournalAndHealthIntoDebiansPlaces) {
    platform::TempFolder stage("fiscora-stage");
    std::string root = stage.Path();
    std::string installOutput;
    ASSERT_EQ(platform::RunProgram("/bin/sh",
                                   {"-c", "DESTDIR=\"$1\" exec cmake --install \"$2\"", "sh", root,
                                    platform::GetEnv("FISCORA_BINARY_DIR")},
                                   &installOutput, true),
              0)
        << installOutput;
    std::string unitText = stage.Read("lib/systemd/system/qel-fiscal-service.service");
    std::map<std::string, std::string> unit = ServiceSettings(unitText);
    std::vector<std::string> exec = text::Split(unit["ExecStart"], ' ');
    ASSERT_EQ(exec.size(), 3u) << unitText;
    ASSERT_EQ(exec[1], "--config");
    ASSERT_EQ(exec[2], "/etc/fiscora/VuvovaZododAVU.xml");
    ASSERT_EQ(unit["WorkingDirectory"], "/var/lib/fiscora/");
    ASSERT_EQ(unit["User"], "fiscora");
    for (const char* key : {"StateDirectory", "LogsDirectory", "RuntimeDirectory"}) {
        ASSERT_EQ(unit[key], "fiscora") << key;
    }
    // What systemd does for the unit: its folders, owned by its user, named in the environment.
    std::string state = root + "var/lib/fiscora/";
    std::string logs = root + "var/log/fiscora/";
    std::string runtime = root + "run/fiscora/";
    for (const std::string& folder : {state, logs, runtime}) {
        ASSERT_TRUE(platform::MakeDirectories(folder));
    }

    ServiceRun run;
    ASSERT_TRUE(run.MakePms(pmsgen::OpenDay::Small));
    ASSERT_TRUE(run.StartSimulators());
    // The configuration the administrator wrote into /etc/fiscora: the demo's, with the PMS
    // database named by its full path and without POS expansion (no check-database server here).
    ASSERT_TRUE(run.Configure(
        {{"<base_access>sqlite:demo_pms.db</base_access>",
          "<base_access>sqlite:" + run.Path("demo_pms.db") + "</base_access>"},
         {"<micros_check_expand>1</micros_check_expand>", "<micros_check_expand></micros_check_expand>"}}));
    std::string configuration = root + exec[2].substr(1);
    ASSERT_TRUE(platform::CopyFile(run.Path("VuvovaZododAVU.xml"), configuration));

    // A user other than root, who cannot write the program's folder (as under /usr).
    std::vector<std::string> command;
    if (::geteuid() == 0) {
        const std::string nobody = "65534";
        for (const std::string& folder : {state, logs, runtime, run.Path()}) {
            ASSERT_EQ(::chown(folder.c_str(), 65534, 65534), 0) << folder;
        }
        ASSERT_EQ(::chown(run.Path("demo_pms.db").c_str(), 65534, 65534), 0);
        ::chmod(run.Path().c_str(), 0755);
        ::chmod(root.c_str(), 0755);
        ::chmod(configuration.c_str(), 0644);
        command = {"/usr/bin/setpriv", "--reuid=" + nobody, "--regid=" + nobody, "--clear-groups"};
    }
    std::string program = root + exec[0].substr(1);
    std::string programFolder = program.substr(0, program.rfind('/'));
    ASSERT_EQ(::chmod(programFolder.c_str(), 0555), 0);
    command.insert(command.end(), {program, "--config", configuration});
    platform::SetEnv("STATE_DIRECTORY", state);
    platform::SetEnv("LOGS_DIRECTORY", logs);
    platform::SetEnv("RUNTIME_DIRECTORY", runtime);
    platform::ChildProcess service;
    ASSERT_TRUE(service.Start(command[0], std::vector<std::string>(command.begin() + 1, command.end()), state,
                              run.Path("service.out")));

    std::vector<int> due = run.DuePayments();
    bool registered = run.WaitForStatus(due, "Y", 60000);
    std::string log;
    platform::ReadFile(logs + "qelfiscal.log", log);
    ASSERT_TRUE(registered) << log << stage.Read("") << run.Diagnostics();
    std::string health;
    EXPECT_TRUE(platform::ReadFile(runtime + "fiscora.health", health));
    EXPECT_TRUE(Has(health, "database=reachable\n")) << health;

    // The status command as an operator runs it, with the unit's folders.
    std::string report;
    int verdict = platform::RunProgram(program, {"--config", configuration, "status"}, &report, true);
    EXPECT_EQ(verdict, 0) << report;
    EXPECT_TRUE(Has(report, "QEL Fiscal Service: healthy\n")) << report;
    EXPECT_TRUE(Has(report, "last registration ")) << report;

    ASSERT_TRUE(service.Signal(SIGTERM));
    ASSERT_TRUE(service.Wait(15000));
    EXPECT_EQ(service.ExitCode(), 0);
    ::unsetenv("STATE_DIRECTORY");
    ::unsetenv("LOGS_DIRECTORY");
    ::unsetenv("RUNTIME_DIRECTORY");

    platform::ReadFile(logs + "qelfiscal.log", log);
    EXPECT_TRUE(Has(log, "Configuration file " + configuration)) << log;
    EXPECT_TRUE(Has(log, "Successful")) << log;
    EXPECT_TRUE(Has(log, "Stop service")) << log;
    ExpectReconciled(run, {due, IgnoredPayments(run)});
    std::string journal;
    EXPECT_TRUE(platform::ReadFile(state + "ST_1/fisc_today.log", journal) ||
                platform::ReadFile(state + "ST_2/fisc_today.log", journal));
    EXPECT_TRUE(Has(journal, " Station ")) << journal;
    // Nothing went into the program's folder.
    EXPECT_EQ(platform::ListFolder(programFolder), std::vector<std::string>{"FiscoraService"});
    EXPECT_FALSE(platform::FileExists(runtime + "fiscora.health"));
    ::chmod(programFolder.c_str(), 0755);
}

}  // namespace
