#pragma once

#include <string>
#include <vector>

// FiscoraService.exe run as a Windows service under Debian's wine64, the way an administrator
// runs it: installed under a name of its own through wine's service control manager, started
// there, and stopped and deleted by its own "remove". The wine prefix is WINEPREFIX's (scripts/
// windows.sh keeps one under build/).
class WineService {
public:
    // program: FiscoraService.exe in the folder it runs from.
    explicit WineService(std::string program);
    // Removes the service when it is still installed.
    ~WineService();
    WineService(const WineService&) = delete;
    WineService& operator=(const WineService&) = delete;

    static bool IsWindowsProgram(const std::string& program);
    static std::string Wine();
    // Whether the services of the prefix hold the client library's discovery to loopback:
    // scripts/windows.sh puts the broadcast address into the prefix's system environment (a
    // service of the control manager gets that, not this process's) and says so with
    // FISCORA_WINE_LOOPBACK_DISCOVERY=1.
    static bool DiscoveryOnLoopback();
    // Runs a program under wine; what it printed, its lines ended by "\n" as on Linux (a Windows
    // console program ends them with "\r\n").
    static int RunUnderWine(const std::vector<std::string>& arguments, std::string& printed);

    // "install <suffix>", then the control manager starts it; false (with what was printed in
    // Output()) when either failed.
    bool Start();
    bool Running();
    // "remove <suffix>": the stop control, then the deletion. 0 when the service reported it
    // stopped, -1 otherwise.
    int Stop();

    // The name the service is installed under ("QEL Fiscal " and the suffix).
    const std::string& Name() const { return name; }
    const std::string& Output() const { return output; }

private:
    int Run(const std::string& program, const std::vector<std::string>& arguments);

    std::string program;
    std::string suffix;
    std::string name;
    std::string output;
    bool installed = false;
};
