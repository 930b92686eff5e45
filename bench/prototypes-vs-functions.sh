#!/usr/bin/env bash
# kelpin prototypes against kelpin functions on the same large C file, as a
# user runs them: whole processes, interleaved, the median of each and their
# ratio. The listing should cost little more than the scan it prints.
#
#   bench/prototypes-vs-functions.sh [KELPIN [SOURCE [ROUNDS]]]
#
# KELPIN defaults to the release build; SOURCE to sqlite3.c in the benchmark
# cache, fetched there on first use.
set -euo pipefail
cd "$(dirname "$0")/.."

kelpin=${1:-build/release/kelpin}
cache=${XDG_CACHE_HOME:-$HOME/.cache}/kelpin-bench
source=${2:-$cache/better-sqlite3-12.11.1/sqlite3.c}
rounds=${3:-15}

if [[ ! -x $kelpin ]]; then
    CMAKE_BUILD_PARALLEL_LEVEL=2 scripts/build --quiet release
fi
if [[ ! -f $source ]]; then
    mkdir -p "$cache/better-sqlite3-12.11.1"
    tarball=$(cd "$cache" && npm pack --silent better-sqlite3@12.11.1 | tail -n 1)
    tar -xzf "$cache/$tarball" -C "$cache/better-sqlite3-12.11.1" --strip-components=3 \
        package/deps/sqlite3/sqlite3.c
fi

# Wall time of one run in microseconds; the output goes nowhere.
run() {
    local start end
    start=$(date +%s%N)
    "$kelpin" "$@" >/dev/null
    end=$(date +%s%N)
    echo $(((end - start) / 1000))
}

median() { sort -n | awk '{ a[NR] = $1 } END { print a[int((NR + 1) / 2)] }'; }

functions_times=() prototypes_times=()
run functions --add-in "$source" >/dev/null # warm the page cache
for ((i = 0; i < rounds; i++)); do
    functions_times+=("$(run functions --add-in "$source")")
    prototypes_times+=("$(run prototypes --add-in "$source")")
done
f=$(printf '%s\n' "${functions_times[@]}" | median)
p=$(printf '%s\n' "${prototypes_times[@]}" | median)
lines=$("$kelpin" prototypes "$source" | wc -l)
echo "source: $source ($(wc -c <"$source") bytes), $rounds rounds"
echo "kelpin functions:  $((f / 1000)).$(printf '%03d' $((f % 1000))) ms (median)"
echo "kelpin prototypes: $((p / 1000)).$(printf '%03d' $((p % 1000))) ms (median), $((lines - 5)) prototypes"
awk -v p="$p" -v f="$f" 'BEGIN { printf "prototypes / functions: %.2f\n", p / f }'
