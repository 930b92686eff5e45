// The prototype listing against the bare scan it is built on, on one large
// C file: $KELPIN_BENCH_SOURCE (scripts/bench fetches sqlite3.c), else a
// generated file of 5,000 functions.
#include <benchmark/benchmark.h>

#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>

#include "addin/addin.h"
#include "doubles/headless.h"
#include "navigation/navigation.h"
#include "scanner/scanner.h"

namespace {

const std::string& Source() {
    static const std::string text = [] {
        const char* path = std::getenv("KELPIN_BENCH_SOURCE");
        std::ifstream in(path ? path : "", std::ios::binary);
        std::ostringstream out;
        if (in) {
            out << in.rdbuf();
            return out.str();
        }
        for (int i = 0; i < 5000; ++i)
            out << "static int function_" << i
                << "(int a, const char *b)\n{\n    return a + *b;\n}\n\n";
        return out.str();
    }();
    return text;
}

void CountFunction(std::int32_t, const char*, void* context) {
    ++*static_cast<long*>(context);
}

// The peer: the scan alone, its begin handler only counting.
void ScanCountingOnly(benchmark::State& state) {
    long functions = 0;
    for (auto _ : state) {
        functions = 0;
        kelpin::ScanFunctions(Source().c_str(), CountFunction, nullptr, &functions);
        benchmark::DoNotOptimize(functions);
    }
    state.counters["functions"] = static_cast<double>(functions);
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * Source().size()));
}
BENCHMARK(ScanCountingOnly)->Unit(benchmark::kMillisecond);

// The listing text: the scan and the lines it collects.
void PrototypeListing(benchmark::State& state) {
    std::size_t size = 0;
    for (auto _ : state) {
        std::string listing = kelpin::PrototypeListing(Source().c_str(), "C:\\src\\sqlite3.c");
        size = listing.size();
        benchmark::DoNotOptimize(listing.data());
    }
    state.counters["listing_bytes"] = static_cast<double>(size);
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * Source().size()));
}
BENCHMARK(PrototypeListing)->Unit(benchmark::kMillisecond);

// Command 1 on the headless host: the editor text fetched twice, the dialog
// opened, filled and cancelled.
void Command1Headless(benchmark::State& state) {
    using namespace kelpin;
    headless::Reset();
    ResetAddIn();
    HostWindow main = headless::Host().AddMainWindow();
    AddInMain(main, HostEventLoad);
    headless::Host().Main(main)->activeEditor =
        headless::Host().AddEditor(Source(), "C:\\src\\sqlite3.c");
    for (auto _ : state) {
        benchmark::DoNotOptimize(AddInCommand(CmdFunctionPrototypes));
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * Source().size()));
}
BENCHMARK(Command1Headless)->Unit(benchmark::kMillisecond);

} // namespace
BENCHMARK_MAIN();
