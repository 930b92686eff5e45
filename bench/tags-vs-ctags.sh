#!/usr/bin/env bash
# kelpin tags and kelpin symbols against universal-ctags, side by side in one
# run:
#
# 1. Agreement per kind on six folders of Debian's linux-source-6.1 and on
#    sqlite3.c: the symbols of each default kind (d e f g m s t u v) both
#    find with the same name, kind, file and line, against each side's
#    count. ctags' anonymous names (__anon...) are left out: kelpin gives
#    anonymous structs no tag. The symbols only one side finds go to lists
#    beside the cached sources, for the README's examples.
# 2. Whole-process time and peak memory of a tags file of all of
#    linux-source-6.1: kelpin tags -j JOBS against
#    ctags -R --languages=C --langmap=C:.c.h, each with its default kinds.
# 3. kelpin tags --update after touching 10 files of the kernel, against
#    the full run.
#
#   bench/tags-vs-ctags.sh [RUNS [JOBS]]   RUNS of each timed command (default 3),
#                                          JOBS for -j (default: processors)
#
# The sources come from bench/sources.sh.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
runs=${1:-3}
jobs=${2:-$(nproc)}
source bench/sources.sh
bench_prepare
folders=("${bench_folders[@]}")
cache=$bench_cache
sqlite_dir=$(dirname "$sqlite")

work=$(mktemp -d "$cache/tags-bench.XXXXXX")
trap 'rm -rf "$work"' EXIT
lists=$cache/tags-agreement
mkdir -p "$lists"

# ---- Agreement ------------------------------------------------------------------
# kelpin symbols' lines (PATH:LINE: KIND NAME ...) and ctags' (NAME FILE
# PATTERN;" KIND line:N ...) as "KIND FILE LINE NAME", then per kind the
# multiset both give. For v, also the count once the variables ctags names
# after an attribute-like macro are left out: a ctags name beginning with
# "__" on a line where kelpin names another variable ("fops __initdata").
agreement() { # NAME KELPIN-LIST CTAGS-FILE
    local name=$1
    awk -v only="$lists/$name" '
        BEGIN {
            split("macro enumerator function enum member struct typedef union variable", words, " ")
            split("d e f g m s t u v", letters, " ")
            for (i in words) letter[words[i]] = letters[i]
        }
        FNR == NR {
            split($0, head, ": ")
            n = split(head[1], place, ":"); line = place[n]
            file = substr(head[1], 1, length(head[1]) - length(line) - 1)
            split(head[2], rest, " ")
            kind = letter[rest[1]]
            if (kind == "") next
            key = kind SUBSEP file SUBSEP line SUBSEP rest[2]
            k[key]++; kc[kind]++
            if (kind == "v") kv[file SUBSEP line]++
            next
        }
        /^!_TAG_/ { next }
        {
            n = split($0, f, "\t")
            kind = ""; line = ""
            for (i = 4; i <= n; i++) {
                if (f[i] ~ /^line:/) line = substr(f[i], 6)
                else if (length(f[i]) == 1) kind = f[i]
            }
            if (f[1] ~ /^__anon/ || index("defgmstuv", kind) == 0 || kind == "") next
            key = kind SUBSEP f[2] SUBSEP line SUBSEP f[1]
            c[key]++; cc[kind]++
            if (kind == "v" && f[1] ~ /^__/) cattr[key] = f[2] SUBSEP line
        }
        END {
            for (key in k) if (key in c) { m = k[key] < c[key] ? k[key] : c[key]; split(key, p, SUBSEP); both[p[1]] += m }
            # ctags naming a variable after an attribute-like macro where
            # kelpin names the variable on the same line.
            for (key in cattr) if (!(key in k) && (cattr[key] in kv)) attr++
            for (key in k) if (!(key in c) || k[key] > c[key]) { split(key, p, SUBSEP); print p[2] ":" p[3] ": " p[4] > (only "-only-kelpin-" p[1]) }
            for (key in c) if (!(key in k) || c[key] > k[key]) { split(key, p, SUBSEP); print p[2] ":" p[3] ": " p[4] > (only "-only-ctags-" p[1]) }
            split("d e f g m s t u v", order, " ")
            for (i = 1; i <= 9; i++) {
                x = order[i]
                line = sprintf("  %s  kelpin %7d  ctags %7d  both %7d  of ctags %6.2f %%  of kelpin %6.2f %%", x, kc[x], cc[x], both[x], cc[x] ? 100 * both[x] / cc[x] : 100, kc[x] ? 100 * both[x] / kc[x] : 100)
                if (x == "v" && attr > 0)
                    line = line sprintf("\n     without the %d variables ctags names after an attribute-like macro (\"fops __initdata\"): of ctags %6.2f %%  of kelpin %6.2f %%", attr, 100 * both[x] / (cc[x] - attr), 100 * both[x] / (kc[x] - attr))
                print line
            }
        }' "$2" "$3"
}

echo "== Agreement with ctags per kind (names, kinds, files and lines found by both)"
rm -f "$lists"/*-only-*
(cd "$kernel" && "$kelpin" symbols -j "$jobs" "${folders[@]}" >"$work/kernel.symbols")
(cd "$kernel" && ctags -R --languages=C --langmap=C:.c.h --fields=+n -f "$work/kernel.ctags" \
    "${folders[@]}")
echo "kernel folders (${folders[*]}):"
agreement kernel "$work/kernel.symbols" "$work/kernel.ctags"
(cd "$sqlite_dir" && "$kelpin" symbols sqlite3.c >"$work/sqlite.symbols")
(cd "$sqlite_dir" && ctags --languages=C --langmap=C:.c.h --fields=+n -f "$work/sqlite.ctags" sqlite3.c)
echo "sqlite3.c:"
agreement sqlite "$work/sqlite.symbols" "$work/sqlite.ctags"
echo "(the names only one side finds: $lists/*-only-*)"

# ---- Time and memory on the whole kernel ------------------------------------------
# "SECONDS PEAK-KB" of one run of "$@" in the kernel's folder.
measure() { (cd "$kernel" && /usr/bin/time -f "%e %M" "$@" 2>&1 >/dev/null | tail -n 1); }

echo
echo "== All of linux-source-6.1 ($(cat "$kernel/.version" 2>/dev/null || echo 6.1)), default kinds, $runs run(s) each, -j $jobs"
k_times=() c_times=() k_mem=0 c_mem=0
for ((i = 0; i < runs; i++)); do
    read -r t m < <(measure "$kelpin" tags -j "$jobs" -o "$work/kelpin.tags")
    k_times+=("$t"); ((m > k_mem)) && k_mem=$m
    read -r t m < <(measure ctags -R --languages=C --langmap=C:.c.h -f "$work/ctags.tags")
    c_times+=("$t"); ((m > c_mem)) && c_mem=$m
done
k_time=$(printf '%s\n' "${k_times[@]}" | median)
c_time=$(printf '%s\n' "${c_times[@]}" | median)
k_tags=$(grep -vc '^!_TAG_' "$work/kelpin.tags" || true)
c_tags=$(grep -vc '^!_TAG_' "$work/ctags.tags" || true)
printf '  kelpin tags  %8.2f s  peak %7.1f MB  %9d tags  %6.0f MB file\n' "$k_time" \
    "$(echo "$k_mem / 1024" | bc -l)" "$k_tags" "$(echo "$(stat -c %s "$work/kelpin.tags") / 1048576" | bc -l)"
printf '  ctags -R     %8.2f s  peak %7.1f MB  %9d tags  %6.0f MB file\n' "$c_time" \
    "$(echo "$c_mem / 1024" | bc -l)" "$c_tags" "$(echo "$(stat -c %s "$work/ctags.tags") / 1048576" | bc -l)"
printf '  kelpin is %.1fx faster with %.2f of ctags peak memory (goals: >= 15x, < 0.25)\n' \
    "$(echo "$c_time / $k_time" | bc -l)" "$(echo "$k_mem / $c_mem" | bc -l)"

# ---- Updating -------------------------------------------------------------------------
echo
echo "== kelpin tags --update after touching 10 files of the kernel"
mapfile -t touched < <(cd "$kernel" && find kernel mm -name '*.c' | sort | awk 'NR % 37 == 0' | head -n 10)
u_times=()
for ((i = 0; i < runs; i++)); do
    (cd "$kernel" && touch "${touched[@]}")
    read -r t _ < <(measure "$kelpin" tags -j "$jobs" -o "$work/kelpin.tags" --update)
    u_times+=("$t")
done
u_time=$(printf '%s\n' "${u_times[@]}" | median)
(cd "$kernel" && "$kelpin" tags -j "$jobs" -o "$work/full.tags")
if cmp -s "$work/kelpin.tags" "$work/full.tags"; then same=yes; else same=NO; fi
printf '  --update %.2f s against %.2f s for a full run: %.1f %% (goal: < 10 %%); same file as a full run: %s\n' \
    "$u_time" "$k_time" "$(echo "100 * $u_time / $k_time" | bc -l)" "$same"
