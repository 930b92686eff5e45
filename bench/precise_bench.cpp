// The precise scanner beside the add-in's on the same large file, in the
// same run: scripts/bench runs both (KELPIN_BENCH_SOURCE names the file).
#include <benchmark/benchmark.h>

#include "bench_source.h"

#include <string>

#include "scanner/precise.h"
#include "scanner/symbols.h"

namespace {

using kelpin::bench::BenchSource;

void PreciseScanWholeFile(benchmark::State& state) {
    const std::string& text = BenchSource();
    kelpin::PreciseScan scan;
    for (auto _ : state) {
        kelpin::ScanPrecise(text, &scan);
        benchmark::DoNotOptimize(scan.functions.data());
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * text.size()));
    state.counters["functions"] = static_cast<double>(scan.functions.size());
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
    const std::string& text = BenchSource();
    kelpin::PreciseSymbols found;
    for (auto _ : state) {
        kelpin::ScanSymbols(text, &found);
        benchmark::DoNotOptimize(found.symbols.data());
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * text.size()));
    state.counters["symbols"] = static_cast<double>(found.symbols.size());
}
BENCHMARK(SymbolScanWholeFile)->Unit(benchmark::kMillisecond);

} // namespace
