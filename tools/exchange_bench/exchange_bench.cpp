// exchange_bench: how long one registration's exchanges with the printer manager take.
//   exchange_bench [--checks 200] [--settle 50]
// A printer-manager interface registers the same bill again and again on the simulator in this
// process: file message and check (and, with the shift kept, the shift query) per registration,
// each answer read as the manager sends it. Three forms of answer: as the protocol gives it (no
// end byte: each answer is whole once the line stays quiet for the settle time), with FS EOT
// (whole at once), and in two pieces. Reports the median and p90 of one registration's time and
// of one exchange's.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <string>
#include <vector>

#include "PrinterManagerSim.h"
#include "config/CFiscalINI.h"
#include "devices/CNewInterface.h"
#include "log/CLogFile.h"
#include "platform/TempFolder.h"
#include "platform/Text.h"

namespace {

using Clock = std::chrono::steady_clock;

// A configuration with no file behind it: keys read from a map.
class BenchConfiguration : public CFiscalINI {
public:
    std::map<std::string, std::string> values;
    std::string ReadParameter(const std::string& path) override {
        auto found = values.find(path);
        return found == values.end() ? "" : found->second;
    }
};

double Percentile(std::vector<double> values, double share) {
    std::sort(values.begin(), values.end());
    return values[std::min(values.size() - 1, static_cast<size_t>(share * static_cast<double>(values.size())))];
}

CFiscalCheck Bill() {
    CFiscalCheck check;
    check.checkNumber = "B1001";
    check.folioNumber = "F77";
    check.cashierId = "7";
    check.cashierName = "Anna";
    check.room = "101";
    check.checkMode = 7;
    struct_posting night;
    night.trx_code = 1000;
    night.description = "Room night";
    night.trx_amount = night.net_amount = 100;
    night.tax_group = "1";
    struct_posting cash;
    cash.trx_code = 9;
    cash.print_code = "1";
    cash.description = "Cash";
    cash.trx_amount = 100;
    check.postings = {night};
    check.payments = {cash};
    check.postingsTotal = check.paymentsTotal = check.netTotal = 100;
    return check;
}

void Measure(const char* form, bool endByte, int splitPauseMs, bool shift, int checks, const std::string& settle,
             CLogFile& log) {
    PrinterManagerSim::Options options;
    options.endByte = endByte;
    options.splitPauseMs = splitPauseMs;
    PrinterManagerSim sim(options);
    std::string error;
    if (!sim.Start(error)) {
        std::fprintf(stderr, "exchange_bench: %s\n", error.c_str());
        std::exit(1);
    }
    BenchConfiguration configuration;
    configuration.values["//printer_ini/answer_settle"] = settle;
    configuration.values["//printer_ini/save_shift_number"] = shift ? "1" : "0";
    CNewInterface device;
    device.Configure(configuration);
    device.SetLog(&log);
    CPrinterControl printer;
    printer.name = "1";
    printer.deviceSettings.name = "1";
    printer.deviceSettings.host = "127.0.0.1";
    printer.deviceSettings.port = sim.Port();
    printer.deviceSettings.mode = 1;
    device.Connect(printer);
    std::vector<double> registrationMs;
    size_t before = 0;
    for (int i = 0; i <= checks; ++i) {
        CFiscalCheck check = Bill();
        auto start = Clock::now();
        bool registered = device.PrintCheck(check, false);
        double ms = std::chrono::duration<double, std::milli>(Clock::now() - start).count();
        if (!registered) {
            std::fprintf(stderr, "exchange_bench: not registered: %s\n", device.GetLastError().c_str());
            std::exit(1);
        }
        // The first registration also asks the printer's identity once.
        if (i == 0) {
            before = sim.Messages().size();
        } else {
            registrationMs.push_back(ms);
        }
    }
    double exchanges = static_cast<double>(sim.Messages().size() - before) / checks;
    double median = Percentile(registrationMs, 0.5);
    std::printf("%-34s settle %3lld ms: %.0f exchanges per registration, registration median %6.1f ms (p90 %6.1f), "
                "per exchange %5.1f ms\n",
                form, static_cast<long long>(device.AnswerSettleMs()), exchanges, median,
                Percentile(registrationMs, 0.9), median / exchanges);
    std::fflush(stdout);
    sim.Stop();
}

}  // namespace

int main(int argc, char** argv) {
    int checks = 200;
    std::string settle = "50";
    for (int i = 1; i + 1 < argc; i += 2) {
        std::string arg = argv[i];
        if (arg == "--checks") {
            checks = std::max(1, std::atoi(argv[i + 1]));
        } else if (arg == "--settle") {
            settle = argv[i + 1];
        }
    }
    platform::TempFolder temp("fiscora_exchange_bench");
    CLogFile log;
    log.SetEcho(false);
    log.Open(temp.Path("exchange_bench.log"), true);
    for (bool shift : {false, true}) {
        std::printf("%s\n", shift ? "with the shift asked before every check:" : "file message and check:");
        Measure("no end byte (as the protocol gives)", false, 0, shift, checks, settle, log);
        Measure("FS EOT after every answer", true, 0, shift, checks, settle, log);
        Measure("no end byte, in two pieces 10 ms", false, 10, shift, checks, settle, log);
    }
    return 0;
}
