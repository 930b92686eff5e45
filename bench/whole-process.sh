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
cache=${XDG_CACHE_HOME:-$HOME/.cache}/kelpin-bench

# ---- Tools and the build ------------------------------------------------------
need=()
command -v hyperfine >/dev/null || need+=(hyperfine)
command -v ctags >/dev/null || need+=(universal-ctags)
[[ -x /usr/bin/time ]] || need+=(time)
if [[ ${#need[@]} -gt 0 ]]; then
    echo "bench: installing ${need[*]}" >&2
    sudo=""
    [[ $(id -u) -eq 0 ]] || sudo="sudo"
    $sudo apt-get install -y -qq --no-install-recommends "${need[@]}" >/dev/null
fi
CMAKE_BUILD_PARALLEL_LEVEL=2 scripts/build --quiet release
kelpin=$root/build/release/kelpin

# ---- Sources ------------------------------------------------------------------
mkdir -p "$cache"
sqlite_dir=$cache/better-sqlite3-12.11.1
if [[ ! -f $sqlite_dir/sqlite3.c ]]; then
    echo "bench: fetching better-sqlite3@12.11.1 into $cache" >&2
    mkdir -p "$sqlite_dir"
    tarball=$(cd "$cache" && npm pack --silent better-sqlite3@12.11.1 | tail -n 1)
    tar -xzf "$cache/$tarball" -C "$sqlite_dir" --strip-components=3 package/deps/sqlite3/sqlite3.c
fi
kernel=$cache/linux-source-6.1-all
if [[ ! -f $kernel/.complete ]]; then
    mkdir -p "$cache/dl"
    if ! compgen -G "$cache/dl/linux-source-6.1_*.deb" >/dev/null; then
        echo "bench: fetching linux-source-6.1 into $cache/dl" >&2
        (cd "$cache/dl" && apt-get download linux-source-6.1 >/dev/null)
    fi
    deb=$(ls "$cache"/dl/linux-source-6.1_*.deb | tail -n 1)
    echo "bench: unpacking all of $(basename "$deb") into $kernel" >&2
    work=$(mktemp -d "$cache/unpack.XXXXXX")
    dpkg-deb --fsys-tarfile "$deb" | tar -xO ./usr/src/linux-source-6.1.tar.xz |
        tar -xJf - -C "$work" --strip-components=1
    basename "$deb" .deb | sed 's/^linux-source-6.1_//; s/_all$//' >"$work/.version"
    rm -rf "$kernel" && mv "$work" "$kernel"
    touch "$kernel/.complete"
fi

# ---- Measuring ----------------------------------------------------------------
peak_kb() { /usr/bin/time -f %M "$@" 2>&1 >/dev/null | tail -n 1; }

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
