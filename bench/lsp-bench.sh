#!/usr/bin/env bash
# kelpin lsp on all of Debian's linux-source-6.1 and on sqlite3.c, against
# universal-ctags over the same tree in the same run (what a ctags-based
# server runs at start):
# - from initialize to the first complete workspace/symbol answer;
# - a workspace/symbol query's latency (median and worst of 20);
# - documentSymbol on sqlite3.c, and didChange + documentSymbol;
# - the server's peak memory, on the kernel and on a folder of about 100 files;
# - ctags -R (functions only) on the kernel: time and peak memory.
#
#   bench/lsp-bench.sh [JOBS]     JOBS: the server's -j (default: processors)
#
# The sources are fetched and unpacked once into ~/.cache/kelpin-bench, never
# into the repository.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
jobs=${1:-$(nproc)}
cache=${XDG_CACHE_HOME:-$HOME/.cache}/kelpin-bench

scripts/setup
if [[ ! -f build/release/build.ninja ]]; then cmake --preset release >/dev/null; fi
cmake --build --preset release -j2 --target kelpin >/dev/null
kelpin=$root/build/release/kelpin

# ---- Sources ------------------------------------------------------------------
mkdir -p "$cache"
kernel=$cache/linux-6.1-lsp
(
    # One unpacking at a time, whoever runs this.
    flock 9
    if [[ ! -f $kernel/.complete ]]; then
        echo "bench: unpacking all of linux-source-6.1 into $kernel" >&2
        deb=$(ls "$cache"/dl/linux-source-6.1_*.deb 2>/dev/null | head -n 1 || true)
        work=$(mktemp -d "$cache/lsp-fetch.XXXXXX")
        if [[ -z $deb ]]; then
            (cd "$work" && apt-get download linux-source-6.1 >/dev/null)
            deb=$(ls "$work"/linux-source-6.1_*.deb)
        fi
        dpkg-deb -x "$deb" "$work/deb"
        rm -rf "$kernel" && mkdir -p "$kernel"
        tar -xJf "$work"/deb/usr/src/linux-source-6.1.tar.xz -C "$kernel" --strip-components=1
        rm -rf "$work"
        touch "$kernel/.complete"
    fi
) 9>"$cache/linux-6.1-lsp.lock"
sqlite_dir=$cache/better-sqlite3-12.11.1
if [[ ! -f $sqlite_dir/sqlite3.c ]]; then
    echo "bench: fetching better-sqlite3@12.11.1 into $cache" >&2
    mkdir -p "$sqlite_dir"
    tarball=$(cd "$cache" && npm pack --silent better-sqlite3@12.11.1 | tail -n 1)
    tar -xzf "$cache/$tarball" -C "$sqlite_dir" --strip-components=3 package/deps/sqlite3/sqlite3.c
fi
sqlite=$sqlite_dir/sqlite3.c
small=$kernel/fs/ext4

# ---- Measuring ----------------------------------------------------------------
files=$(find "$kernel" -name '.*' -prune -o \( -name '*.c' -o -name '*.h' \) -type f -print | wc -l)
small_files=$(find "$small" \( -name '*.c' -o -name '*.h' \) -type f | wc -l)
echo "kelpin lsp -j $jobs on $(nproc) processors; $(ctags --version | head -n 1)"
echo "kernel: $files .c/.h files; sqlite3.c: $(du -m "$sqlite" | cut -f1) MB; small: fs/ext4, $small_files files"

# The tree read once before either runs, so that both find it in the page cache.
find "$kernel" -name '*.[ch]' -type f -print0 | xargs -0 cat >/dev/null

kernel_run=$(python3 bench/lsp_bench.py "$kelpin" "$kernel" "$sqlite")
small_run=$(python3 bench/lsp_bench.py "$kelpin" "$small" "$small/super.c" 4)
start=$(date +%s%N)
ctags_peak=$( { /usr/bin/time -f %M ctags -R --c-kinds=f --languages=C -f /dev/null "$kernel" >/dev/null 2>/dev/null; } 2>&1 | tail -n 1)
ctags_ms=$((($(date +%s%N) - start) / 1000000))

python3 - "$kernel_run" "$small_run" "$ctags_ms" "$ctags_peak" <<'PY'
import json, sys
k, s = json.loads(sys.argv[1]), json.loads(sys.argv[2])
ctags_s, ctags_mb = int(sys.argv[3]) / 1000, int(sys.argv[4]) / 1024
def row(what, value, goal):
    print(f"| {what:<46} | {value:>14} | {goal:>12} |")
print(f"| {'measure':<46} | {'kelpin lsp':>14} | {'goal':>12} |")
print(f"|{'-' * 48}|{'-' * 16}|{'-' * 14}|")
row("kernel: initialize to complete workspace/symbol", f"{k['index_seconds']:.2f} s", "< 3 s")
row("ctags -R (functions) on the same tree", f"{ctags_s:.2f} s", f"{ctags_s / k['index_seconds']:.1f}x kelpin")
row("workspace/symbol latency, median", f"{k['query_ms_median']:.1f} ms", "< 20 ms")
row("workspace/symbol latency, worst of 20", f"{k['query_ms_max']:.1f} ms", "")
row("sqlite3.c documentSymbol, median of 5", f"{k['document_symbol_ms']:.1f} ms", "< 50 ms")
row("sqlite3.c didChange + documentSymbol, median", f"{k['edit_document_symbol_ms']:.1f} ms", "< 50 ms")
row("kernel: server's peak memory", f"{k['peak_mb']:.0f} MB", "< 400 MB")
row("ctags -R's peak memory", f"{ctags_mb:.0f} MB", "")
row("fs/ext4: server's peak memory", f"{s['peak_mb']:.0f} MB", "< 30 MB")
row("fs/ext4: initialize to complete workspace/symbol", f"{s['index_seconds'] * 1000:.0f} ms", "")
print()
print(f"kernel: {k['indexed']}; sqlite3.c: {k['document_symbols']} functions "
      f"({k['after_edit_symbols']} after the edits); exit status {k['exit_status']}")
PY
