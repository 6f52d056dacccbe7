#pragma once

#include <string>
#include <vector>

// Where the service finds its configuration and keeps its log, its check journal and its health
// file. Run from any folder, everything is in the program folder (the self-contained install).
// Run as the installed program (the .deb's /usr/sbin/FiscoraService), the places are Debian's:
// /etc/fiscora, /var/log/fiscora, /var/lib/fiscora and /run/fiscora, each with a sub-folder named
// after the unit for an instance installed with a suffix. The folders systemd hands a unit
// (CONFIGURATION_DIRECTORY, LOGS_DIRECTORY, STATE_DIRECTORY, RUNTIME_DIRECTORY) come first.
struct ServicePaths {
    // The service's name when no suffix is applied: the first instance, with the places above.
    static constexpr const char* kDefaultServiceName = "QEL Fiscal Service";
    static constexpr const char* kLogName = "qelfiscal.log";
    static constexpr const char* kHealthName = "fiscora.health";
    // The health of a copy that waits for the property while another service holds it.
    static constexpr const char* kWaitingName = "fiscora.waiting";

    // The configuration file named on the command line; empty when it is looked for.
    std::string configurationFile;
    // Where it is looked for, in order (each with a trailing "/").
    std::vector<std::string> configurationFolders;
    std::string logFile;
    // Folders with a trailing "/": the check journal (and the base of the station folders), the
    // side files of the configuration (AgentDetails.txt, post_converter.txt), the health file.
    std::string journalFolder;
    std::string sideFileFolder;
    std::string runtimeFolder;
    // The working folder the service's unit gives it: the state folder of the installed
    // program, the program folder otherwise.
    std::string workingFolder;
    // The program runs from its installed place.
    bool installed = false;
    // The installed places of an instance installed with a suffix are sub-folders of this name
    // (the unit's name without ".service"); empty for the first instance.
    std::string instance;

    // serviceName picks the instance; namedConfiguration is the file of --config (may be empty).
    static ServicePaths Resolve(const std::string& serviceName, const std::string& namedConfiguration);
    // The same for a given layout, wherever the program runs.
    static ServicePaths Resolve(bool installed, const std::string& serviceName,
                                const std::string& namedConfiguration);
    // The path of the installed program this build was made for.
    static std::string InstalledProgram();
    std::string HealthFile() const { return runtimeFolder + kHealthName; }
    std::string WaitingFile() const { return runtimeFolder + kWaitingName; }
};
