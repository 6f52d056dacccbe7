// lgx_bench: GetCheck round trips through libLGXClient.so against the check-database simulator
// on 127.0.0.1:5196. Prints the median and the spread of the call times.
//
//   tools/check_db_sim/private_net.sh build/release/tools/lgx_bench/lgx_bench [calls] [library]
//
// Run it in a private network namespace (the wrapper) so that port 5196 is free and the
// discovery broadcast stays inside; it broadcasts to 127.255.255.255 only.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "CheckDbSimulator.h"
#include "platform/DynamicLibrary.h"
#include "platform/Environment.h"
#include "platform/Text.h"
#include "shared/GetCheckResult.h"

namespace {

// A dinner check of twelve lines, the size of a usual restaurant bill.
std::string DinnerCheck() {
    std::string lines;
    for (int i = 0; i < 10; ++i) {
        lines += text::Format(
            "%s{\"type\":\"M\",\"objnum\":%d,\"name\":\"Dish number %d\",\"qty\":1,\"ttl\":\"%d.50\",\"tax\":1,"
            "\"mgnum\":2,\"mgname\":\"Food\",\"fgnum\":21,\"fgname\":\"Main courses\"}",
            i ? "," : "", 1000 + i, i, 10 + i);
    }
    lines += ",{\"type\":\"S\",\"objnum\":9500,\"name\":\"Service 10%\",\"qty\":1,\"ttl\":\"14.95\",\"tax\":0}";
    lines += ",{\"type\":\"T\",\"objnum\":1,\"name\":\"Visa\",\"ttl\":\"164.45\"}";
    return "{\"uws\":2,\"rvc\":5,\"cknum\":1234,\"open_time\":\"2019-05-30T12:34:56\",\"close_time\":"
           "\"2019-05-30T14:00:00\",\"total\":\"164.45\",\"tremp\":11,\"waiter\":\"Anna\",\"tbl\":7,\"gst\":4,"
           "\"trans_void\":false,\"adj_check\":false,\"dtl\":[" +
           lines + "],\"tax\":[{\"type\":\"A\",\"taxnum\":1,\"name\":\"VAT 20%\",\"rate\":20,\"ttl\":\"24.91\","
                   "\"txbl\":\"124.59\"}]}";
}

}  // namespace

int main(int argc, char** argv) {
    const int calls = argc > 1 ? std::max(10, text::ToInt(argv[1])) : 2000;
    const std::string libraryPath = argc > 2 ? argv[2] : LGX_CLIENT_PATH;

    platform::SetEnv("LGX_BROADCAST_ADDRESS", "127.255.255.255");
    const std::filesystem::path folder = std::filesystem::temp_directory_path() / "lgx_bench";
    std::filesystem::create_directories(folder);
    std::filesystem::current_path(folder);
    std::filesystem::remove("LGXConfig.json");
    std::filesystem::remove("LGXClient.log");

    CheckDbSimulator::Options options;
    options.configText = "{\"serveraddress\":\"127.0.0.1\",\"keepdays\":400}";
    CheckDbSimulator simulator(options);
    simulator.AddCheck(DinnerCheck());
    std::string error;
    if (!simulator.Start(error)) {
        std::fprintf(stderr, "lgx_bench: %s\n", error.c_str());
        return 1;
    }
    int failures = 0;
    std::vector<double> micros;
    {
        platform::DynamicLibrary library;
        if (!library.Load(libraryPath)) {
            std::fprintf(stderr, "lgx_bench: %s\n", library.GetLastError().c_str());
            return 1;
        }
        auto getCheck = reinterpret_cast<GetCheckFunction>(library.Symbol("GetCheck"));
        if (!getCheck) {
            std::fprintf(stderr, "lgx_bench: no GetCheck in %s\n", libraryPath.c_str());
            return 1;
        }
        // The first call starts discovery and the channel; it is not counted.
        const auto first = std::chrono::steady_clock::now();
        const int firstCode = getCheck(5, 1234, "05/30/19 12:34:56")->code;
        const double firstMs =
            std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - first).count();
        std::printf("first call (discovery, connect): %.1f ms, code %d\n", firstMs, firstCode);
        micros.reserve(static_cast<size_t>(calls));
        for (int i = 0; i < calls; ++i) {
            const auto start = std::chrono::steady_clock::now();
            GetCheckResult* result = getCheck(5, 1234, "05/30/19 12:34:56");
            const auto stop = std::chrono::steady_clock::now();
            if (result->code != 0 || result->check.dtl.size() != 12) {
                ++failures;
            }
            micros.push_back(std::chrono::duration<double, std::micro>(stop - start).count());
        }
    }
    simulator.Stop();
    std::sort(micros.begin(), micros.end());
    auto at = [&](double q) { return micros[static_cast<size_t>(q * static_cast<double>(micros.size() - 1))]; };
    std::printf("GetCheck round trips: %d calls, %d failed\n", calls, failures);
    std::printf("median %.1f us  p90 %.1f us  p99 %.1f us  min %.1f us  max %.1f us\n", at(0.5), at(0.9), at(0.99),
                micros.front(), micros.back());
    std::filesystem::current_path(std::filesystem::temp_directory_path());
    std::filesystem::remove_all(folder);
    return failures == 0 ? 0 : 1;
}
