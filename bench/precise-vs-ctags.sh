#!/usr/bin/env bash
# kelpin functions --precise against universal-ctags on whole C trees, side
# by side in one run: six folders of Debian's linux-source-6.1 and sqlite3.c.
# For each: the time of every command (median of interleaved runs), its peak
# memory, and how far the function names agree with ctags' file by file
# (found by both / ctags' count, found by both / kelpin's count). The names
# only one of them finds go to lists beside the cached sources.
#
#   bench/precise-vs-ctags.sh [RUNS [JOBS]]   RUNS of each command (default 11),
#                                             JOBS for -j (default: processors)
#
# The sources are fetched once into ~/.cache/kelpin-bench (apt-get download
# for the kernel, npm pack for sqlite3.c), never into the repository.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
runs=${1:-11}
jobs=${2:-$(nproc)}
source bench/sources.sh
bench_prepare
folders=("${bench_folders[@]}")
cache=$bench_cache
sqlite_dir=$(dirname "$sqlite")

# ---- Measuring ----------------------------------------------------------------

# Microseconds of one run of "$@", its output thrown away.
time_once() {
    local start end
    start=$(date +%s%N)
    "$@" >/dev/null 2>&1
    end=$(date +%s%N)
    echo $(((end - start) / 1000))
}

peak_mb() { /usr/bin/time -f %M "$@" 2>&1 >/dev/null | tail -n 1 | awk '{ printf "%.1f", $1 / 1024 }'; }

# Agreement of kelpin's --jsonl listing ($1) with ctags -x ($2), as
# multisets of names per file; writes the names only one finds to $3.
agreement() {
    awk -v only="$3" '
        FNR == NR {
            match($0, /^\{"file":"[^"]*"/); file = substr($0, 10, RLENGTH - 10)
            rest = substr($0, RLENGTH + 1)
            match(rest, /^,"name":"[^"]*"/); name = substr(rest, 10, RLENGTH - 10)
            match($0, /"start":[0-9]+/); line = substr($0, RSTART + 8, RLENGTH - 8)
            k[file SUBSEP name]++; kl[file SUBSEP name] = kl[file SUBSEP name] " " line; next
        }
        $2 == "function" && $4 ~ /\.[ch]$/ {
            c[$4 SUBSEP $1]++; cl[$4 SUBSEP $1] = cl[$4 SUBSEP $1] " " $3
        }
        END {
            for (key in k) { kt += k[key]; both += (key in c) ? (k[key] < c[key] ? k[key] : c[key]) : 0 }
            for (key in c) ct += c[key]
            printf "" > only
            for (key in k) if (k[key] > (key in c ? c[key] : 0)) {
                split(key, p, SUBSEP); print "kelpin only: " p[1] ":" kl[key] ": " p[2] > only }
            for (key in c) if (c[key] > (key in k ? k[key] : 0)) {
                split(key, p, SUBSEP); print "ctags only:  " p[1] ":" cl[key] ": " p[2] > only }
            printf "%d %d %d\n", kt, ct, both
        }' "$1" "$2"
}

# One source: $1 its title, $2 the folder to run in, the rest the paths.
measure() {
    local title=$1 dir=$2
    shift 2
    local paths=("$@")
    cd "$dir"
    local names=(precise precise1 addin ctags)
    local -A cmd
    cmd[precise]="$kelpin functions --precise -j $jobs"
    cmd[precise1]="$kelpin functions --precise -j 1"
    cmd[addin]="$kelpin functions --add-in -j $jobs"
    cmd[ctags]="ctags -R --c-kinds=f -x"
    [[ ${#paths[@]} -eq 1 && -f ${paths[0]} ]] && cmd[ctags]="ctags --c-kinds=f -x"

    local -A times
    for name in "${names[@]}"; do ${cmd[$name]} "${paths[@]}" >/dev/null 2>&1; done # warm the cache
    for ((i = 0; i < runs; i++)); do
        for name in "${names[@]}"; do
            times[$name]+="$(time_once ${cmd[$name]} "${paths[@]}") "
        done
    done
    local -A med peak
    for name in "${names[@]}"; do
        med[$name]=$(printf '%s\n' ${times[$name]} | median)
        peak[$name]=$(peak_mb ${cmd[$name]} "${paths[@]}")
    done

    local files bytes
    files=$(find "${paths[@]}" -type f \( -name '*.c' -o -name '*.h' \) | wc -l)
    bytes=$(find "${paths[@]}" -type f \( -name '*.c' -o -name '*.h' \) -print0 | xargs -0 cat | wc -c)
    local list=$cache/disagreement-${title%% *}.txt
    ${cmd[precise]} --jsonl "${paths[@]}" >"$cache/kelpin.out"
    ${cmd[ctags]} "${paths[@]}" >"$cache/ctags.out" 2>/dev/null
    read -r kt ct both < <(agreement "$cache/kelpin.out" "$cache/ctags.out" "$list.unsorted")
    sort "$list.unsorted" >"$list" && rm -f "$list.unsorted" "$cache/kelpin.out" "$cache/ctags.out"

    echo "== $title: $files files, $(awk -v b="$bytes" 'BEGIN { printf "%.1f", b / 1e6 }') MB, median of $runs runs"
    printf '| %-38s | %9s | %12s | %8s |\n' command ms "ctags / it" "peak MB"
    printf '|%s|%s|%s|%s|\n' "$(printf -- '-%.0s' {1..40})" "-----------" "--------------" "----------"
    for name in "${names[@]}"; do
        local shown=${cmd[$name]/$kelpin/kelpin}
        awk -v n="$shown" -v t="${med[$name]}" -v c="${med[ctags]}" -v p="${peak[$name]}" \
            'BEGIN { printf "| %-38s | %9.1f | %12.1f | %8s |\n", n, t / 1000, c / t, p }'
    done
    awk -v p="${med[precise]}" -v a="${med[addin]}" -v kt="$kt" -v ct="$ct" -v both="$both" 'BEGIN {
        printf "precise / add-in scan, same -j: %.2f of its time (goal: 3/2 or less)\n", p / a
        printf "functions: kelpin %d, ctags %d, found by both %d\n", kt, ct, both
        printf "found by both / ctags: %.2f %%   found by both / kelpin: %.2f %% (goal: 98 or more)\n",
            100 * both / ct, 100 * both / kt
    }'
    echo "names found by one only: $list"
    echo
    cd "$root"
}

echo "kelpin: $kelpin; $(ctags --version | head -n 1); -j $jobs on $(nproc) processors"
echo
measure "linux-source-6.1 $(cat "$kernel/.version")" "$kernel" "${folders[@]}"
measure "sqlite3.c (better-sqlite3 12.11.1)" "$sqlite_dir" sqlite3.c
