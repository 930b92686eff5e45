#!/usr/bin/env bash
# The time the real kelpin.dll takes under Wine, in the stand-in host, from
# command 1 to the complete text of dialog 1001 on a large C file (sqlite3.c
# from the benchmark cache by default). Runs the large-listing scenario a few
# times with that file and prints each figure; the target is under a second.
#
#   bench/wine-prototypes-dialog.sh [SOURCE [ROUNDS]]
set -euo pipefail
cd "$(dirname "$0")/.."

cache=${XDG_CACHE_HOME:-$HOME/.cache}/kelpin-bench
source=$(realpath "${1:-$cache/better-sqlite3-12.11.1/sqlite3.c}")
rounds=${2:-3}
[[ -f $source ]] || { echo "no $source: run bench/prototypes-vs-functions.sh first" >&2; exit 1; }

cmake --preset win32 >/dev/null
cmake --build --preset win32 -j2 >/dev/null
build=$PWD/build/win32
sh tests/wine/run-scenario.sh "$build/wineprefix" --init >/dev/null
for ((i = 0; i < rounds; i++)); do
    KELPIN_BENCH_SOURCE=$source sh tests/wine/run-scenario.sh "$build/wineprefix" \
        "$build/wine/kelpin_wine_host.exe" prototypes_large_listing | grep 'dialog 1001'
done
