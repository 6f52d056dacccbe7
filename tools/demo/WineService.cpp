#include "WineService.h"

#include "platform/Environment.h"
#include "platform/Text.h"

namespace {

// A suffix of at most 7 characters that no other run on this machine uses at the same time.
std::string UniqueSuffix() {
    static int runs = 0;
    return text::Format("W%03d%03d", platform::ProcessId() % 1000, runs++ % 1000);
}

}  // namespace

WineService::WineService(std::string program) : program(std::move(program)), suffix(UniqueSuffix()) {
    name = "QEL Fiscal " + suffix;
}

WineService::~WineService() {
    if (installed) {
        Stop();
    }
}

bool WineService::IsWindowsProgram(const std::string& program) { return text::EndsWith(program, ".exe"); }

bool WineService::DiscoveryOnLoopback() { return platform::GetEnv("FISCORA_WINE_LOOPBACK_DISCOVERY") == "1"; }

std::string WineService::Wine() {
    std::string wine = platform::GetEnv("FISCORA_WINE");
    return wine.empty() ? "/usr/lib/wine/wine64" : wine;
}

int WineService::Run(const std::string& command, const std::vector<std::string>& arguments) {
    std::vector<std::string> all = {command};
    all.insert(all.end(), arguments.begin(), arguments.end());
    std::string printed;
    int code = RunUnderWine(all, printed);
    output += printed;
    return code;
}

int WineService::RunUnderWine(const std::vector<std::string>& arguments, std::string& printed) {
    std::string raw;
    int code = platform::RunProgram(Wine(), arguments, &raw);
    printed.clear();
    for (size_t i = 0; i < raw.size(); ++i) {
        if (!(raw[i] == '\r' && i + 1 < raw.size() && raw[i + 1] == '\n')) {
            printed += raw[i];
        }
    }
    return code;
}

bool WineService::Start() {
    output.clear();
    if (Run(program, {"install", suffix}) != 0 || output.find(name + " installed.") == std::string::npos) {
        return false;
    }
    installed = true;
    return Run("sc", {"start", name}) == 0;
}

bool WineService::Running() {
    std::string before = output;
    Run("sc", {"query", name});
    bool running = output.find("RUNNING", before.size()) != std::string::npos;
    output = before;
    return running;
}

int WineService::Stop() {
    if (!installed) {
        return -1;
    }
    output.clear();
    Run(program, {"remove", suffix});
    installed = output.find(name + " removed.") == std::string::npos;
    return output.find(name + " stopped.") != std::string::npos ? 0 : -1;
}
