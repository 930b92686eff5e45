// How fast the scanner reads C source: bytes per second of ScanFunctions over
// a large file, beside counting its line feeds (the least any reader of the
// text must do) in the same run.
//
// The file is named by KELPIN_BENCH_SOURCE (scripts/bench fetches one).
#include <benchmark/benchmark.h>

#include "bench_source.h"

#include <algorithm>
#include <string>

#include "scanner/lookup.h"
#include "scanner/scanner.h"

namespace {

using kelpin::bench::BenchSource;

struct Counts {
    long begins = 0;
    long ends = 0;
};

void CountBegin(std::int32_t, const char*, void* context) {
    ++static_cast<Counts*>(context)->begins;
}
int CountEnd(std::int32_t, void* context) {
    ++static_cast<Counts*>(context)->ends;
    return 1;
}

void ScanWholeFile(benchmark::State& state) {
    const std::string& text = BenchSource();
    Counts counts;
    for (auto _ : state) {
        counts = {};
        kelpin::ScanFunctions(text.c_str(), CountBegin, CountEnd, &counts);
        benchmark::DoNotOptimize(counts);
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * text.size()));
    state.counters["functions"] = static_cast<double>(counts.begins);
}
BENCHMARK(ScanWholeFile)->Unit(benchmark::kMillisecond);

// The lookup with the caret on the last line: a scan to the end of the text.
void FindFunctionAtLastLine(benchmark::State& state) {
    const std::string& text = BenchSource();
    const auto caretLine =
        static_cast<std::int32_t>(std::count(text.begin(), text.end(), '\n')) + 1;
    for (auto _ : state) {
        kelpin::CurrentFunction found = kelpin::FindCurrentFunction(text.c_str(), caretLine);
        benchmark::DoNotOptimize(found);
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * text.size()));
}
BENCHMARK(FindFunctionAtLastLine)->Unit(benchmark::kMillisecond);

// The peer: counting line feeds, as a line counter does.
void CountLineFeeds(benchmark::State& state) {
    const std::string& text = BenchSource();
    for (auto _ : state) {
        auto lines = std::count(text.begin(), text.end(), '\n');
        benchmark::DoNotOptimize(lines);
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * text.size()));
}
BENCHMARK(CountLineFeeds)->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
