// Replies a hostile or broken check-database server may send, and what reading them costs:
// texts full of escapes (decoded in one pass, so time grows with the length, not its square),
// a million closing brackets, and frames that never end.
//   cmake --preset release && cmake --build --preset release --target hostile_input_bench
//   build/release/tools/hostile_input_bench/hostile_input_bench

#include <benchmark/benchmark.h>

#include <string>

#include "client_library/ChannelParser.h"
#include "platform/Text.h"
#include "shared/CLGXCheck.h"

namespace {

// A text of the given size that is nothing but escapes.
std::string Escapes(size_t bytes) {
    std::string text;
    text.reserve(bytes);
    while (text.size() + 2 <= bytes) {
        text += "\\n";
    }
    return text;
}

void BM_JsonUnescape(benchmark::State& state) {
    const std::string text = Escapes(static_cast<size_t>(state.range(0)));
    for (auto _ : state) {
        benchmark::DoNotOptimize(JsonHelper::JsonUnescape(text));
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * state.range(0));
}
BENCHMARK(BM_JsonUnescape)->Arg(400 << 10)->Arg(800 << 10)->Arg(10 << 20)->Unit(benchmark::kMillisecond);

void BM_ReadCheckWithEscapedName(benchmark::State& state) {
    const std::string json = "{\"dtl\":[{\"type\":\"M\",\"name\":\"" + Escapes(static_cast<size_t>(state.range(0))) + "\"}]}";
    for (auto _ : state) {
        CLGXCheck check(json);
        benchmark::DoNotOptimize(check.dtl.size());
    }
}
BENCHMARK(BM_ReadCheckWithEscapedName)->Arg(400 << 10)->Arg(800 << 10)->Unit(benchmark::kMillisecond);

void BM_ReadCheckOfClosingBrackets(benchmark::State& state) {
    const std::string json = "{" + std::string(static_cast<size_t>(state.range(0)), ']');
    for (auto _ : state) {
        CLGXCheck check(json);
        benchmark::DoNotOptimize(check.dtl.size());
    }
}
BENCHMARK(BM_ReadCheckOfClosingBrackets)->Arg(1000000)->Unit(benchmark::kMillisecond);

void BM_ReplaceAllDense(benchmark::State& state) {
    const std::string text(static_cast<size_t>(state.range(0)), 'a');
    for (auto _ : state) {
        benchmark::DoNotOptimize(text::ReplaceAll(text, "a", "bc"));
    }
}
BENCHMARK(BM_ReplaceAllDense)->Arg(1 << 20)->Arg(10 << 20)->Unit(benchmark::kMillisecond);

// A frame without its end byte, fed until the parser gives it up.
void BM_EndlessFrame(benchmark::State& state) {
    const std::string head = "\x01Get\x1c" "01\x1c";
    for (auto _ : state) {
        ChannelParser parser;
        for (char c : head) {
            parser.Feed(static_cast<unsigned char>(c));
        }
        size_t fed = 0;
        while (parser.Feed('x') == ChannelParser::Result::Pending) {
            ++fed;
        }
        benchmark::DoNotOptimize(fed);
    }
}
BENCHMARK(BM_EndlessFrame)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
