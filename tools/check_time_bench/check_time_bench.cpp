// The service's own time per registered check: the worker (CBaseMonitoring, with the real
// configuration, Opera back-end on the SQLite stand-in, rules, composition, printer-manager
// interface, status table, journal and log) registers the demo hotel's open business date on the
// printer-manager simulator in this process, once on the demo PMS and once on a PMS with a
// history of 1,000,000 financial transactions. A manual clock lets every pause of the worker (the
// polling period, the fixed second before each check, the pause after it) pass at once, so the
// time that remains is the service's work (with the outcome journal's two writes to the disk per
// check) and the simulator's answers. The simulator ends its answers with EOT here, so that no
// answer waits for a quiet line (exchange_bench measures that). The answers are timed alone, by
// sending the very messages of the run to the simulator again, and taken off.
//   cmake --preset release && cmake --build --preset release --target check_time_bench
//   build/release/tools/check_time_bench/check_time_bench [--runs N] [transactions ...]

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "ServiceFolder.h"
#include "platform/Event.h"
#include "platform/Socket.h"
#include "platform/TempFolder.h"
#include "platform/Text.h"
#include "service/CBaseMonitoring.h"
#include "tests/support/platform/ManualClock.h"

namespace {

using Clock = std::chrono::steady_clock;

// The worker's pauses as the configuration of the run sets them.
constexpr int64_t kPollMs = 100;
constexpr int64_t kAfterCheckMs = 1;
constexpr int64_t kBeforeCheckMs = CBaseMonitoring::kPreCheckPause;

[[noreturn]] void Fail(const std::string& what) {
    std::fprintf(stderr, "check_time_bench: %s\n", what.c_str());
    std::exit(1);
}

double Ms(Clock::duration d) {
    return std::chrono::duration<double, std::milli>(d).count();
}

double Percentile(std::vector<double> values, double share) {
    if (values.empty()) {
        return 0;
    }
    std::sort(values.begin(), values.end());
    return values[std::min(values.size() - 1,
                           static_cast<size_t>(share * static_cast<double>(values.size())))];
}

// What one run of the worker over the open business date took.
struct Run {
    std::vector<double> checkMs;  // each registered check, from its pause before to its pause after
    double otherMs = 0;           // the rest of the run's cycles: discovery, checks not printed
    size_t cycles = 0;            // polling cycles that found checks
};

bool IsWorkerPause(int64_t ms) { return ms == kPollMs || ms == kAfterCheckMs || ms == kBeforeCheckMs; }

// The worker's pauses pass at once; a device waiting for its answer waits as long as the answer
// takes (its waits are the answer time-out, the settle time or what is left of them, never
// one of the worker's pause lengths in practice).
class BenchClock : public platform::ManualClock {
public:
    using ManualClock::ManualClock;
    bool Wait(platform::Event& event, int64_t ms) override {
        if (IsWorkerPause(ms)) {
            return ManualClock::Wait(event, ms);
        }
        auto start = std::chrono::steady_clock::now();
        bool set = event.Wait(ms);
        Advance(std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - start)
                    .count());
        return set;
    }
};

// One pause of the worker, with the moment it began.
struct Pause {
    Clock::time_point at;
    int64_t ms;
};

Run RunWorker(ServiceFolder& folder, size_t registrations) {
    std::filesystem::current_path(folder.Path());
    BenchClock clock(std::time(nullptr));
    platform::ScopedClock scoped(clock);
    std::vector<Pause> pauses;
    std::mutex lock;
    platform::Event done(true);
    size_t registered = 0;
    clock.SetHook([&](int64_t ms) {
        std::lock_guard<std::mutex> guard(lock);
        pauses.push_back({Clock::now(), ms});
        if (ms == kAfterCheckMs && ++registered == registrations) {
            done.Set();
        }
    });
    CBaseMonitoring worker(nullptr, folder.Path("qelfiscal.log"));
    worker.Log().SetEcho(false);
    std::thread thread([&] { worker.Start(); });
    if (!done.Wait(600000)) {
        worker.Stop();
        thread.join();
        Fail(text::Format("only %zu of %zu checks registered; see %sqelfiscal.log", registered, registrations,
                          folder.Path().c_str()));
    }
    worker.Stop();
    thread.join();

    // A check runs from the pause before it to the pause after it; everything between the
    // polling pause and the first check of a cycle is discovery.
    Run run;
    std::lock_guard<std::mutex> guard(lock);
    for (size_t i = 1; i < pauses.size(); ++i) {
        const Pause& from = pauses[i - 1];
        const Pause& to = pauses[i];
        double ms = Ms(to.at - from.at);
        if (from.ms == kBeforeCheckMs && to.ms == kAfterCheckMs) {
            run.checkMs.push_back(ms);
        } else if (from.ms == kPollMs && to.ms == kPollMs) {
            continue;  // a cycle that found nothing (after the last check)
        } else {
            run.otherMs += ms;
            run.cycles += from.ms == kPollMs;
        }
        if (run.checkMs.size() == registrations) {
            break;
        }
    }
    return run;
}

// Sends the messages to the simulator again, one connection, one answer each; the milliseconds
// all answers took together.
double AnswerTime(uint16_t port, const std::vector<std::string>& messages) {
    platform::Socket socket;
    uint32_t loopback = 0;
    platform::Socket::Resolve("127.0.0.1", loopback);
    if (!socket.Create(platform::Socket::Kind::Tcp) || !socket.Connect(loopback, port, 3000)) {
        Fail("cannot connect to the simulator");
    }
    socket.SetNoDelay();
    std::vector<char> buffer(65536);
    Clock::duration total{};
    for (const std::string& message : messages) {
        auto start = Clock::now();
        if (!socket.SendAll(message.data(), message.size())) {
            Fail("the simulator took no message");
        }
        std::string answer;
        while (answer.find('\x04') == std::string::npos) {
            if (socket.WaitReadable(3000) != platform::Socket::WaitResult::Ready) {
                Fail("the simulator did not answer");
            }
            long n = socket.Receive(buffer.data(), buffer.size());
            if (n <= 0) {
                Fail("the simulator closed the connection");
            }
            answer.append(buffer.data(), static_cast<size_t>(n));
        }
        total += Clock::now() - start;
    }
    return Ms(total);
}

void Measure(int transactions, int runs) {
    platform::TempFolder temp("fiscora_check_time");
    ServiceFolder folder(temp.Path(), "", std::string(FISCORA_SOURCE_DIR) + "/demo/VuvovaZododAVU.xml");
    pmsgen::Options options;
    options.historyTransactions = transactions;
    std::string error;
    PrinterManagerSim::Options endByte;
    endByte.endByte = true;
    if (!folder.MakePms(options, error) || !folder.StartSimulators({"SIM"}, error, endByte)) {
        Fail(error);
    }
    // POS checks are booked as they are: the client library does not lie beside the bench.
    if (!folder.Configure({{"<check_path></check_path>", "<check_path>" + temp.Path() + "</check_path>"},
                           {"<micros_check_expand>1</micros_check_expand>",
                            "<micros_check_expand>0</micros_check_expand>"}},
                          static_cast<int>(kPollMs))) {
        Fail("cannot write the configuration");
    }
    std::string pms = temp.Path("demo_pms.db");
    std::filesystem::copy_file(pms, temp.Path("pristine.db"));
    size_t registrations = folder.DueRegistrations();

    std::vector<double> checkMs;
    double totalMs = 0;
    double answersMs = 0;
    size_t messages = 0;
    size_t cycles = 0;
    size_t registered = 0;
    for (int r = 0; r < runs; ++r) {
        // Every run starts from the PMS as it was generated.
        for (const char* suffix : {"", "-wal", "-shm"}) {
            std::filesystem::remove(pms + suffix);
        }
        std::filesystem::copy_file(temp.Path("pristine.db"), pms);
        size_t before = folder.Simulator().Messages().size();
        Run run = RunWorker(folder, registrations);
        std::vector<std::string> all = folder.Simulator().Messages();
        messages += all.size() - before;
        answersMs += AnswerTime(
            folder.Simulator().Port(),
            std::vector<std::string>(all.begin() + static_cast<std::ptrdiff_t>(before), all.end()));
        checkMs.insert(checkMs.end(), run.checkMs.begin(), run.checkMs.end());
        for (double ms : run.checkMs) {
            totalMs += ms;
        }
        totalMs += run.otherMs;
        cycles += run.cycles;
        registered += run.checkMs.size();
    }
    double perCheck = static_cast<double>(registered);
    double answerPerCheck = answersMs / perCheck;
    double median = Percentile(checkMs, 0.5);
    std::printf(
        "%9d transactions, %d runs of %zu registered checks in %zu polling cycles:\n"
        "    per check median %7.2f ms (p90 %7.2f), %.1f messages, the printer manager's answers %5.2f ms\n"
        "    own time per check: median %5.2f ms; with the discovery cycles and the check not printed, "
        "mean %5.2f ms\n",
        folder.Pms().transactions, runs, registrations, cycles, median, Percentile(checkMs, 0.9),
        static_cast<double>(messages) / perCheck, answerPerCheck, median - answerPerCheck,
        totalMs / perCheck - answerPerCheck);
    std::fflush(stdout);
    std::filesystem::current_path(FISCORA_SOURCE_DIR);
}

}  // namespace

int main(int argc, char** argv) {
    int runs = 3;
    std::vector<int> sizes;
    for (int i = 1; i < argc; ++i) {
        std::string argument = argv[i];
        if (argument == "--runs" && i + 1 < argc) {
            runs = std::max(1, std::atoi(argv[++i]));
        } else {
            sizes.push_back(std::atoi(argv[i]));
        }
    }
    if (sizes.empty()) {
        sizes = {0, 1000000};
    }
    for (int transactions : sizes) {
        Measure(transactions, runs);
    }
    return 0;
}
