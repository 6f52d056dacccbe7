// device_idle_cpu: measures the processor time that idle device interfaces cost.
//   device_idle_cpu --port N [--printers 10] [--seconds 60]
// Connects the given number of printer-manager interfaces to a printer manager on
// 127.0.0.1:N (run printer_manager_sim in another process, so its own work is not counted),
// opens every channel with one identity query, then stays idle and reports the processor time
// of this process over the period as a share of one core.
#include <chrono>
#include <cstdio>
#include <ctime>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "config/CFiscalINI.h"
#include "devices/CNewInterface.h"
#include "log/CLogFile.h"
#include "platform/Text.h"

namespace {

// A configuration with no file behind it: every key reads as empty.
class EmptyConfiguration : public CFiscalINI {
public:
    std::string ReadParameter(const std::string&) override { return ""; }
};

}  // namespace

int main(int argc, char** argv) {
    int port = 0;
    int printers = 10;
    int seconds = 60;
    for (int i = 1; i + 1 < argc; i += 2) {
        std::string arg = argv[i];
        int value = text::ToInt(argv[i + 1]);
        if (arg == "--port") {
            port = value;
        } else if (arg == "--printers") {
            printers = value;
        } else if (arg == "--seconds") {
            seconds = value;
        }
    }
    if (port <= 0 || printers <= 0 || seconds <= 0) {
        std::fprintf(stderr, "usage: device_idle_cpu --port N [--printers 10] [--seconds 60]\n");
        return 2;
    }

    CLogFile log;
    log.SetEcho(false);
    log.Open("/tmp/device_idle_cpu.log", true);
    EmptyConfiguration configuration;
    std::vector<std::unique_ptr<CNewInterface>> devices;
    for (int n = 1; n <= printers; ++n) {
        auto device = std::make_unique<CNewInterface>();
        device->Configure(configuration);
        device->SetLog(&log);
        CPrinterControl printer;
        printer.name = std::to_string(n);
        printer.deviceSettings.host = "127.0.0.1";
        printer.deviceSettings.port = port;
        if (!device->Connect(printer)) {
            std::fprintf(stderr, "printer %d: %s\n", n, device->GetLastError().c_str());
            return 1;
        }
        FiscMessage message;
        message.SetHeaderId(printer.name);
        if (!device->SendAndWait(message.BuildConfig(2), 0, nullptr)) {
            std::fprintf(stderr, "printer %d: %s\n", n, device->GetLastError().c_str());
            return 1;
        }
        devices.push_back(std::move(device));
    }

    std::clock_t cpuStart = std::clock();
    auto wallStart = std::chrono::steady_clock::now();
    std::this_thread::sleep_for(std::chrono::seconds(seconds));
    double cpuSeconds = static_cast<double>(std::clock() - cpuStart) / CLOCKS_PER_SEC;
    double wallSeconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - wallStart).count();

    int open = 0;
    for (const auto& device : devices) {
        open += device->channel.IsClosed() ? 0 : 1;
    }
    std::printf("%d printers, %d channels open, idle %.1f s: processor time %.6f s = %.4f %% of one core\n",
                printers, open, wallSeconds, cpuSeconds, 100.0 * cpuSeconds / wallSeconds);
    for (auto& device : devices) {
        device->Disconnect();
    }
    return 0;
}
