// What FiscoraService costs while nothing is due. The service runs for real (ServiceFolder: a
// copy of the program in a folder of its own, the printer-manager simulator in this process) on
// the demo hotel's PMS with a history of 1,000,000 transactions and a busy open date of 1,000
// more bills, everything registered, polling every 100 ms (base_monitoring). After it settled,
// the CPU time of its process over the measuring time (/proc/<pid>/stat) gives its share of one
// core, and the read calls it made (syscr of /proc/<pid>/io: read, pread64 and the like) per
// polling cycle. With --strace, strace -c -f is then attached to it for as long again and its
// count of pread64 calls per cycle printed. The figures are the median of the rounds, with the
// machine's load average.
//   cmake --preset release && cmake --build --preset release --target idle_cpu_bench
//   build/release/tools/idle_cpu_bench/idle_cpu_bench [--transactions N] [--bills N] [--seconds S]
//       [--rounds N] [--full] [--strace] [--program FiscoraService] [--setup SQL] [--folder DIR]
// --full runs the demo configuration in full-check mode instead of payments only;
// --program runs another build of the service (for a figure before a change); --setup runs
// statements (the stand-in's dialect) on the PMS before the service starts, for example to drop
// an index; --folder keeps the service's folder there instead of the temporary folder.

#include <signal.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "BenchHotel.h"
#include "ServiceFolder.h"
#include "platform/ChildProcess.h"
#include "platform/FileSystem.h"
#include "platform/TempFolder.h"
#include "platform/Text.h"

namespace {

constexpr int kPollMs = 100;

[[noreturn]] void Fail(const std::string& what) {
    std::fprintf(stderr, "idle_cpu_bench: %s\n", what.c_str());
    std::exit(1);
}

std::string LoadAverage() {
    std::string text;
    platform::ReadFile("/proc/loadavg", text);
    return text.substr(0, text.find(' '));
}

// CPU seconds (user and system) of a process, its read and write calls and the bytes it wrote so far.
struct Usage {
    double cpuSeconds = 0;
    long long readCalls = 0;
    long long writeCalls = 0;
    long long writtenBytes = 0;
};

Usage UsageOf(int pid) {
    Usage usage;
    std::string stat;
    if (!platform::ReadFile(text::Format("/proc/%d/stat", pid), stat)) {
        Fail("the service is gone");
    }
    // The fields after the command's closing parenthesis: utime and stime are the 12th and 13th.
    std::vector<std::string> fields = text::Split(stat.substr(stat.rfind(')') + 2), ' ');
    usage.cpuSeconds = static_cast<double>(text::ToInt64(fields.at(11)) + text::ToInt64(fields.at(12))) /
                       static_cast<double>(sysconf(_SC_CLK_TCK));
    std::string io;
    platform::ReadFile(text::Format("/proc/%d/io", pid), io);
    for (const std::string& line : text::Split(io, '\n')) {
        if (text::StartsWith(line, "syscr:")) {
            usage.readCalls = text::ToInt64(text::Trim(line.substr(6)));
        } else if (text::StartsWith(line, "syscw:")) {
            usage.writeCalls = text::ToInt64(text::Trim(line.substr(6)));
        } else if (text::StartsWith(line, "wchar:")) {
            usage.writtenBytes = text::ToInt64(text::Trim(line.substr(6)));
        }
    }
    return usage;
}

double Median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

// pread64 calls that strace -c -f counted while attached for the seconds; -1 when it could not.
long long PreadCalls(int pid, int seconds, const std::string& folder) {
    platform::ChildProcess strace;
    std::string report = folder + "strace.txt";
    if (!strace.Start("/usr/bin/strace", {"-c", "-f", "-o", report, "-p", std::to_string(pid)}, folder)) {
        return -1;
    }
    std::this_thread::sleep_for(std::chrono::seconds(seconds));
    strace.Signal(SIGINT);
    strace.Wait(10000);
    std::string text;
    platform::ReadFile(report, text);
    for (const std::string& line : text::Split(text, '\n')) {
        std::vector<std::string> words;
        for (const std::string& word : text::Split(line, ' ')) {
            if (!word.empty()) {
                words.push_back(word);
            }
        }
        // % time, seconds, usecs/call, calls, [errors,] syscall
        if (words.size() >= 5 && words.back() == "pread64") {
            return text::ToInt64(words[3]);
        }
    }
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    int transactions = 1000000;
    int bills = 1000;
    int seconds = 30;
    int rounds = 5;
    bool strace = false;
    bool full = false;
    std::string program = FISCORA_SERVICE;
    std::string setup;
    std::string folderOption;
    for (int i = 1; i < argc; ++i) {
        std::string arg = argv[i];
        bool value = i + 1 < argc;
        if (arg == "--strace") {
            strace = true;
        } else if (arg == "--full") {
            full = true;
        } else if (arg == "--transactions" && value) {
            transactions = text::ToInt(argv[++i]);
        } else if (arg == "--bills" && value) {
            bills = text::ToInt(argv[++i]);
        } else if (arg == "--seconds" && value) {
            seconds = std::max(1, text::ToInt(argv[++i]));
        } else if (arg == "--rounds" && value) {
            rounds = std::max(1, text::ToInt(argv[++i]));
        } else if (arg == "--program" && value) {
            program = argv[++i];
        } else if (arg == "--setup" && value) {
            setup = argv[++i];
        } else if (arg == "--folder" && value) {
            folderOption = argv[++i];
        } else {
            Fail(
                "usage: idle_cpu_bench [--transactions N] [--bills N] [--seconds S] [--rounds N] [--full] "
                "[--strace] "
                "[--program FiscoraService] [--setup SQL] [--folder DIR]");
        }
    }
    platform::TempFolder temporary("fiscora_idle");
    std::string folder = temporary.Path();
    if (!folderOption.empty()) {
        // The service runs in that folder: its name must hold from there too.
        folder = std::filesystem::absolute(folderOption).string() + "/idle_cpu_bench/";
        platform::MakeDirectories(folder);
    }
    ServiceFolder run(folder, program, std::string(FISCORA_SOURCE_DIR) + "/demo/VuvovaZododAVU.xml");
    benchhotel::Hotel hotel = benchhotel::Opera();
    pmsgen::Options options = benchhotel::PmsOptions(hotel, "", transactions, false);
    options.registeredBills = bills;
    std::string error;
    if (!run.MakePms(options, error)) {
        Fail(error);
    }
    if (!run.Execute(benchhotel::RegisterEverything(hotel, run.Pms())) ||
        (!setup.empty() && !run.Execute(setup))) {
        Fail("cannot prepare the PMS");
    }
    if (!run.StartSimulators({"SIM"}, error) ||
        !run.Configure(full ? benchhotel::FullChecks() : benchhotel::Changes(), kPollMs) ||
        !run.StartService()) {
        Fail("cannot start the service: " + error);
    }
    // Settled: started, connected, its first cycles made.
    std::this_thread::sleep_for(std::chrono::seconds(5));
    int pid = run.ServicePid();
    if (pid <= 0 || !run.ServiceRunning()) {
        Fail("the service does not run: " + run.Log());
    }
    std::string load = LoadAverage();
    std::vector<double> shares;
    std::vector<double> reads;
    std::vector<double> writes;
    std::vector<double> written;
    for (int round = 0; round < rounds; ++round) {
        Usage before = UsageOf(pid);
        auto start = std::chrono::steady_clock::now();
        std::this_thread::sleep_for(std::chrono::seconds(seconds));
        Usage after = UsageOf(pid);
        double elapsed = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        double cycles = elapsed * 1000 / kPollMs;
        shares.push_back(100 * (after.cpuSeconds - before.cpuSeconds) / elapsed);
        reads.push_back(static_cast<double>(after.readCalls - before.readCalls) / cycles);
        writes.push_back(static_cast<double>(after.writeCalls - before.writeCalls) / cycles);
        written.push_back(static_cast<double>(after.writtenBytes - before.writtenBytes) / cycles);
    }
    long long preads = strace ? PreadCalls(pid, seconds, folder) : -1;
    std::string loadAfter = LoadAverage();
    bool registered = !run.AllRecords().empty();
    bool failures = run.LogCount("failure") != 0;
    run.Shutdown();
    if (registered || failures) {
        Fail(registered ? "checks were registered: something was due" : "statements failed: see " + folder);
    }
    std::printf(
        "%d transactions, %d bills on the open date, %s, polling every %d ms, load %s-%s: %.2f %% of a core, "
        "%.1f read calls, %.2f write calls and %.0f bytes written per cycle (median of %d rounds of %d s)",
        run.Pms().transactions, bills, full ? "full checks" : "payments only", kPollMs, load.c_str(),
        loadAfter.c_str(), Median(shares), Median(reads), Median(writes), Median(written), rounds, seconds);
    if (strace) {
        std::printf(", strace: %lld pread64 calls in %d s, %.1f per cycle", preads, seconds,
                    static_cast<double>(preads) / (seconds * 1000.0 / kPollMs));
    }
    std::printf("\n");
    return 0;
}
