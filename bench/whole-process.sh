#!/usr/bin/env bash
# kelpin against universal-ctags as whole processes, timed by hyperfine in one
# run each, so that a busy machine slows both alike:
#
#   sqlite3.c       kelpin functions --precise --json   against  ctags -x --c-kinds=f
#   linux-source    kelpin functions --precise -j JOBS  against  ctags -R --languages=C
#   (all of it)                                                  --langmap=C:.c.h --c-kinds=f -x
#
# and prints ctags' time over kelpin's (mean and median) and the peak memory
# of each (/usr/bin/time -f %M), against the goals.
#
#   bench/whole-process.sh [SQLITE-RUNS [KERNEL-RUNS [JOBS]]]   default 20, 3, 2
#
# It installs what it needs (hyperfine, universal-ctags, time) with apt, and
# fetches the sources once into ~/.cache/kelpin-bench, never into the
# repository: sqlite3.c from the npm package better-sqlite3, and the whole
# linux-source-6.1 tarball of Debian unpacked (about 1.4 GB).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
sqlite_runs=${1:-20}
kernel_runs=${2:-3}
jobs=${3:-2}
source bench/sources.sh
bench_prepare
sqlite_dir=$(dirname "$sqlite")

# ---- Measuring ----------------------------------------------------------------

# One comparison: $1 its title, $2 the folder to run in, $3 the runs, $4
# kelpin's command, $5 ctags', $6 the goal for the ratio. hyperfine runs
# one command's runs, then the other's, each after a warm-up run; on a
# machine others share, the best runs are the steadiest figure.
compare() {
    local title=$1 dir=$2 runs=$3 kelpin_cmd=$4 ctags_cmd=$5
    local csv
    csv=$(mktemp)
    (cd "$dir" && hyperfine -N --style basic --warmup 1 --runs "$runs" --export-csv "$csv" \
        -n kelpin "$kelpin_cmd" -n ctags "$ctags_cmd" >&2)
    local kelpin_kb ctags_kb
    # shellcheck disable=SC2086 # the commands are words
    kelpin_kb=$(cd "$dir" && peak_kb $kelpin_cmd)
    # shellcheck disable=SC2086
    ctags_kb=$(cd "$dir" && peak_kb $ctags_cmd)
    echo "== $title: $runs runs each"
    echo "   kelpin: ${kelpin_cmd/$kelpin/kelpin}"
    echo "   ctags:  $ctags_cmd"
    # hyperfine's CSV: command, mean, stddev, median, user, system, min, max.
    awk -F, -v kk="$kelpin_kb" -v ck="$ctags_kb" -v goal="$6" '
        NR > 1 { mean[$1] = $2; median[$1] = $4; min[$1] = $7 }
        END {
            printf "   %-8s %10s %10s %10s %10s\n", "", "mean ms", "median ms", "best ms", "peak MB"
            printf "   %-8s %10.1f %10.1f %10.1f %10.1f\n", "kelpin", mean["kelpin"] * 1000,
                median["kelpin"] * 1000, min["kelpin"] * 1000, kk / 1024
            printf "   %-8s %10.1f %10.1f %10.1f %10.1f\n", "ctags", mean["ctags"] * 1000,
                median["ctags"] * 1000, min["ctags"] * 1000, ck / 1024
            printf "   ctags / kelpin: %.1f (means), %.1f (medians), %.1f (best runs); goal: %s or more\n",
                mean["ctags"] / mean["kelpin"], median["ctags"] / median["kelpin"],
                min["ctags"] / min["kelpin"], goal
        }' "$csv"
    rm -f "$csv"
}

files=$(find "$kernel" \( -type f -o -type l \) \( -name '*.c' -o -name '*.h' \) | wc -l)
echo "kelpin: $kelpin; $(ctags --version | head -n 1); $(hyperfine --version); $(nproc) processors"
echo
compare "sqlite3.c (better-sqlite3 12.11.1, $(wc -c <"$sqlite_dir/sqlite3.c") bytes)" "$sqlite_dir" \
    "$sqlite_runs" "$kelpin functions --precise --json sqlite3.c" "ctags -x --c-kinds=f --fields=+ne sqlite3.c" 10
echo
compare "all of linux-source-6.1 $(cat "$kernel/.version") ($files .c and .h files)" "$kernel" \
    "$kernel_runs" "$kelpin functions --precise -j $jobs ." \
    "ctags -R --languages=C --langmap=C:.c.h --c-kinds=f -x ." 25
echo "   goal for kelpin's peak memory: under 64 MB"
