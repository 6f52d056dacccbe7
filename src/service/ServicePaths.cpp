#include "service/ServicePaths.h"

#include "platform/Environment.h"
#include "platform/FileSystem.h"
#include "platform/SystemdUnits.h"
#include "platform/Text.h"

namespace {

std::string WithSlash(const std::string& folder) {
    return folder.empty() || folder.back() == '/' ? folder : folder + "/";
}

// A folder systemd handed the unit (the first when it names several), else the fallback.
std::string FromSystemd(const char* variable, const std::string& fallback) {
    std::string value = platform::GetEnv(variable);
    if (value.empty()) {
        return fallback;
    }
    return WithSlash(text::Split(value, ':').front());
}

std::string Absolute(const std::string& path) {
    return path.empty() || path[0] == '/' ? path : platform::CurrentFolder() + path;
}

}  // namespace

std::string ServicePaths::InstalledProgram() {
    return FISCORA_INSTALLED_PROGRAM;
}

ServicePaths ServicePaths::Resolve(const std::string& serviceName, const std::string& namedConfiguration) {
    return Resolve(platform::ProgramPath() == InstalledProgram(), serviceName, namedConfiguration);
}

ServicePaths ServicePaths::Resolve(bool installed, const std::string& serviceName,
                                   const std::string& namedConfiguration) {
    ServicePaths paths;
    std::string program = platform::ProgramFolder();
    paths.installed = installed;
    std::string configuration = program, logs = program, state = program, runtime = program;
    if (paths.installed) {
        // A second instance keeps its files apart, in folders named after its unit.
        std::string instance;
        if (serviceName != kDefaultServiceName) {
            std::string unit = platform::SystemdUnits::UnitName(serviceName);
            paths.instance = unit.substr(0, unit.rfind('.'));
            instance = paths.instance + "/";
        }
        configuration = WithSlash(FISCORA_CONFIGURATION_FOLDER) + instance;
        logs = WithSlash(FISCORA_LOG_FOLDER) + instance;
        state = WithSlash(FISCORA_STATE_FOLDER) + instance;
        runtime = WithSlash(FISCORA_RUNTIME_FOLDER) + instance;
    }
    configuration = FromSystemd("CONFIGURATION_DIRECTORY", configuration);
    paths.logFile = FromSystemd("LOGS_DIRECTORY", logs) + kLogName;
    paths.journalFolder = FromSystemd("STATE_DIRECTORY", state);
    paths.runtimeFolder = FromSystemd("RUNTIME_DIRECTORY", runtime);
    paths.workingFolder = paths.installed ? paths.journalFolder : program;
    paths.configurationFile = Absolute(namedConfiguration);
    if (!paths.configurationFile.empty()) {
        paths.sideFileFolder = paths.configurationFile.substr(0, paths.configurationFile.rfind('/') + 1);
    } else {
        paths.sideFileFolder = configuration;
        // The working folder first, as the service always looked there.
        paths.configurationFolders = {platform::CurrentFolder(), configuration};
    }
    return paths;
}
