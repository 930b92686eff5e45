// The precise scanner beside the add-in's on the same large file, in the
// same run: scripts/bench runs both (KELPIN_BENCH_SOURCE names the file).
#include <benchmark/benchmark.h>

#include "bench_source.h"

#include <string>
#include <string_view>

#include "scanner/precise.h"
#include "scanner/symbols.h"

namespace {

using kelpin::bench::BenchSource;

// The whole file scanned once a run into found; the size of the list that
// list picks out of it is reported under counter.
template <typename Found, typename List>
void WholeFile(benchmark::State& state, void (*scan)(std::string_view, Found*), List list,
               const char* counter) {
    const std::string& text = BenchSource();
    Found found;
    for (auto _ : state) {
        scan(text, &found);
        benchmark::DoNotOptimize(list(found).data());
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * text.size()));
    state.counters[counter] = static_cast<double>(list(found).size());
}

void PreciseScanWholeFile(benchmark::State& state) {
    WholeFile(
        state, kelpin::ScanPrecise,
        [](const kelpin::PreciseScan& scan) -> const auto& { return scan.functions; }, "functions");
}
BENCHMARK(PreciseScanWholeFile)->Unit(benchmark::kMillisecond);

// With every declaration made, as --json and prototypes --precise need.
void PreciseScanAndDeclarations(benchmark::State& state) {
    const std::string& text = BenchSource();
    kelpin::PreciseScan scan;
    std::size_t bytes = 0;
    for (auto _ : state) {
        kelpin::ScanPrecise(text, &scan);
        for (const kelpin::PreciseFunction& f : scan.functions)
            bytes += kelpin::PreciseDeclaration(text, scan, f).size();
        benchmark::DoNotOptimize(bytes);
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * text.size()));
}
BENCHMARK(PreciseScanAndDeclarations)->Unit(benchmark::kMillisecond);

// Symbols of every kind, the functions among them, as tags and symbols need.
void SymbolScanWholeFile(benchmark::State& state) {
    WholeFile(
        state, kelpin::ScanSymbols,
        [](const kelpin::PreciseSymbols& found) -> const auto& { return found.symbols; },
        "symbols");
}
BENCHMARK(SymbolScanWholeFile)->Unit(benchmark::kMillisecond);

} // namespace
