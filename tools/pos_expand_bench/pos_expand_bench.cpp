// pos_expand_bench: the Opera back-end's ExpandPosCheck of a hotel check of 20 postings whose
// restaurant posting becomes a dinner of twelve POS lines, (1) with a GetCheck in process that
// answers a parsed check, the service's own cost, and (2) through the built libLGXClient.so
// against the check-database simulator on 127.0.0.1:5196, the round trip included.
//
//   tools/check_db_sim/private_net.sh build/release/tools/pos_expand_bench/pos_expand_bench
//
// Run it in a private network namespace (the wrapper): port 5196 must be free and the discovery
// broadcast, which goes to 127.255.255.255 only, stays inside.
#include <benchmark/benchmark.h>

#include <filesystem>
#include <memory>
#include <string>

#include "CheckDbSimulator.h"
#include "platform/Environment.h"
#include "platform/Text.h"
#include "storage/CDovozEderarezev.h"

namespace {

const char* const kReference = "005123420190530123456";

// Ten dishes, a discount, a service charge and the tender.
std::string DinnerCheck() {
    std::string lines;
    for (int i = 0; i < 10; ++i) {
        lines += text::Format(
            "{\"type\":\"M\",\"objnum\":%d,\"name\":\"Dish number %d\",\"qty\":%d,\"ttl\":\"%d.50\","
            "\"tax\":128,\"taxps\":%d},",
            1000 + i, i, 1 + i % 3, 10 + i, i % 2);
    }
    lines +=
        "{\"type\":\"D\",\"objnum\":9001,\"name\":\"Discount\",\"ttl\":\"-10.00\",\"tax\":128},"
        "{\"type\":\"S\",\"objnum\":9500,\"name\":\"Service 10%\",\"ttl\":\"14.95\",\"tax\":128},"
        "{\"type\":\"T\",\"objnum\":1,\"name\":\"Visa\",\"ttl\":\"154.95\"}";
    return "{\"uws\":2,\"rvc\":5,\"cknum\":1234,\"open_time\":\"2019-05-30T12:34:56\",\"total\":\"154.95\","
           "\"dtl\":[" +
           lines + "]}";
}

CFiscalCheck HotelCheck() {
    CFiscalCheck check;
    for (int i = 0; i < 20; ++i) {
        struct_posting p;
        p.trx_no = p.trx_code = 1000 + i;
        p.description = text::Format("Posting %d", i);
        p.trx_amount = i == 7 ? 154.95 : 100;
        p.print_text = "4;4;";
        if (i == 7) {
            p.cheque_number = kReference;
        }
        check.postings.push_back(p);
    }
    return check;
}

GetCheckResult parsed;

GetCheckResult* InProcessGetCheck(int, int, const char*) {
    return &parsed;
}

void Expand(benchmark::State& state, CDovozEderarezev& storage) {
    const CFiscalCheck hotel = HotelCheck();
    for (auto _ : state) {
        CFiscalCheck check = hotel;
        storage.ExpandPosCheck(kReference, 0, false, check);
        if (check.postings.size() != 31) {
            state.SkipWithError("the posting was not expanded");
            break;
        }
        benchmark::DoNotOptimize(check.postings.data());
    }
}

void BM_ExpandInProcess(benchmark::State& state) {
    parsed.check.Clear();
    parsed.check.FromJson(DinnerCheck());
    CDovozEderarezev storage;
    storage.clientLibrary.Bind(InProcessGetCheck);
    Expand(state, storage);
}
BENCHMARK(BM_ExpandInProcess);

void BM_ExpandThroughLibrary(benchmark::State& state) {
    platform::SetEnv("LGX_BROADCAST_ADDRESS", "127.255.255.255");
    std::filesystem::path folder = std::filesystem::temp_directory_path() / "pos_expand_bench";
    std::filesystem::create_directories(folder);
    std::filesystem::current_path(folder);
    CheckDbSimulator::Options options;
    options.configText = "{\"serveraddress\":\"127.0.0.1\",\"keepdays\":400}";
    CheckDbSimulator simulator(options);
    simulator.AddCheck(DinnerCheck());
    std::string error;
    if (!simulator.Start(error)) {
        state.SkipWithError(error.c_str());
        return;
    }
    auto storage = std::make_unique<CDovozEderarezev>();
    storage->clientLibrary.SetFolder(LGX_CLIENT_FOLDER);
    if (!storage->LoadClientLibrary()) {
        state.SkipWithError(storage->GetLastError().c_str());
        return;
    }
    // The first call starts the discovery and the channel; the loop measures the calls after.
    CFiscalCheck first = HotelCheck();
    storage->ExpandPosCheck(kReference, 0, false, first);
    Expand(state, *storage);
}
BENCHMARK(BM_ExpandThroughLibrary)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
