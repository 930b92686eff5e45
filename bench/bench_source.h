// The large C file the in-process benchmarks read, named by
// KELPIN_BENCH_SOURCE (scripts/bench fetches one): read once, kept for the run.
#pragma once

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>

namespace kelpin::bench {

inline const std::string& BenchSource() {
    static const std::string text = [] {
        const char* path = std::getenv("KELPIN_BENCH_SOURCE");
        if (path == nullptr || *path == '\0') {
            std::fprintf(stderr, "kelpin_bench: set KELPIN_BENCH_SOURCE to a C source file\n");
            std::exit(2);
        }
        std::ifstream in(path, std::ios::binary);
        std::ostringstream out;
        out << in.rdbuf();
        if (!in) {
            std::fprintf(stderr, "kelpin_bench: cannot read %s\n", path);
            std::exit(2);
        }
        return std::move(out).str();
    }();
    return text;
}

} // namespace kelpin::bench
