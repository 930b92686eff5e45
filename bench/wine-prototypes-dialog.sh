#!/usr/bin/env bash
# The time the real kelpin.dll takes under Wine, in the stand-in host, from
# command 1 to the complete text of dialog 1001 on a large C file (sqlite3.c
# from the benchmark cache by default). Runs the large-listing scenario a few
# times with that file and prints each figure; the target is under a second.
#
#   bench/wine-prototypes-dialog.sh [SOURCE [ROUNDS]]
set -euo pipefail
cd "$(dirname "$0")/.."

source bench/sources.sh
source=$(realpath "${1:-$(bench_sqlite)}")
rounds=${2:-3}
[[ -f $source ]] || { echo "no $source: run bench/prototypes-vs-functions.sh first" >&2; exit 1; }

# The 32-bit DLL where this machine runs 32-bit code, else the 64-bit build
# (the probe runs build/win32's stand-in host).
CMAKE_BUILD_PARALLEL_LEVEL=2 scripts/build --quiet win32
mode=$(sh tests/wine/wine-mode.sh "$PWD")
arch=win32
[[ ${mode%%|*} == *win32* ]] || arch=win64
[[ $arch == win32 ]] || CMAKE_BUILD_PARALLEL_LEVEL=2 scripts/build --quiet "$arch"
echo "bench: the $arch build under Wine (${mode#*|})" >&2
build=$PWD/build/$arch
sh tests/wine/run-scenario.sh "$arch" "$build/wineprefix" --init >/dev/null
for ((i = 0; i < rounds; i++)); do
    KELPIN_BENCH_SOURCE=$source sh tests/wine/run-scenario.sh "$arch" "$build/wineprefix" \
        "$build/wine/kelpin_wine_host.exe" prototypes_large_listing | grep 'dialog 1001'
done
sh tests/wine/run-scenario.sh "$arch" "$build/wineprefix" --end
