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

source bench/sources.sh
kelpin=${1:-$(bench_kelpin)}
source=${2:-$(bench_sqlite)}
rounds=${3:-15}

# Wall time of one run in microseconds; the output goes nowhere.
run() {
    local start end
    start=$(date +%s%N)
    "$kelpin" "$@" >/dev/null
    end=$(date +%s%N)
    echo $(((end - start) / 1000))
}


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
