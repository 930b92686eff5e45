# Sourced by the benchmark scripts: the sources they measure and the helpers
# they share. The sources are fetched once into ~/.cache/kelpin-bench, never
# into the repository: sqlite3.c from the npm package better-sqlite3, and
# Debian's linux-source-6.1, unpacked whole once, under a lock, so that two
# scripts run at once unpack it once.

bench_cache=${XDG_CACHE_HOME:-$HOME/.cache}/kelpin-bench
# The kernel folders agreement is counted on.
bench_folders=(kernel mm lib fs/ext4 net/ipv4 drivers/net/ethernet/intel)

# Installs what the measuring needs besides the build's packages.
bench_tools() {
    local need=()
    command -v hyperfine >/dev/null || need+=(hyperfine)
    command -v ctags >/dev/null || need+=(universal-ctags)
    [[ -x /usr/bin/time ]] || need+=(time)
    command -v bc >/dev/null || need+=(bc)
    [[ ${#need[@]} -eq 0 ]] && return 0
    echo "bench: installing ${need[*]}" >&2
    local sudo=""
    [[ $(id -u) -eq 0 ]] || sudo="sudo"
    $sudo apt-get install -y -qq --no-install-recommends "${need[@]}" >/dev/null
}

# The optimised kelpin, built if it is not up to date; prints its path.
bench_kelpin() {
    CMAKE_BUILD_PARALLEL_LEVEL=2 scripts/build --quiet release >&2
    echo "$PWD/build/release/kelpin"
}

# Prints the path of sqlite3.c.
bench_sqlite() {
    local dir=$bench_cache/better-sqlite3-12.11.1
    if [[ ! -f $dir/sqlite3.c ]]; then
        echo "bench: fetching better-sqlite3@12.11.1 into $bench_cache" >&2
        mkdir -p "$dir"
        local tarball
        tarball=$(cd "$bench_cache" && npm pack --silent better-sqlite3@12.11.1 | tail -n 1)
        tar -xzf "$bench_cache/$tarball" -C "$dir" --strip-components=3 package/deps/sqlite3/sqlite3.c
    fi
    echo "$dir/sqlite3.c"
}

# Prints the folder of all of linux-source-6.1; its .version holds the
# package's version.
bench_kernel() {
    local kernel=$bench_cache/linux-6.1-all
    mkdir -p "$bench_cache/dl"
    (
        flock 9
        if [[ ! -f $kernel/.complete ]]; then
            if ! compgen -G "$bench_cache/dl/linux-source-6.1_*.deb" >/dev/null; then
                echo "bench: fetching linux-source-6.1 into $bench_cache/dl" >&2
                (cd "$bench_cache/dl" && apt-get download linux-source-6.1 >/dev/null)
            fi
            local deb work
            deb=$(ls "$bench_cache"/dl/linux-source-6.1_*.deb | tail -n 1)
            echo "bench: unpacking all of $(basename "$deb") into $kernel" >&2
            work=$(mktemp -d "$bench_cache/unpack.XXXXXX")
            dpkg-deb --fsys-tarfile "$deb" | tar -xO ./usr/src/linux-source-6.1.tar.xz |
                tar -xJf - -C "$work" --strip-components=1
            rm -rf "$kernel" && mv "$work" "$kernel"
            touch "$kernel/.complete"
        fi
        if [[ ! -f $kernel/.version ]]; then
            basename "$(ls "$bench_cache"/dl/linux-source-6.1_*.deb | tail -n 1)" .deb |
                sed 's/^linux-source-6.1_//; s/_all$//' >"$kernel/.version"
        fi
    ) 9>"$bench_cache/linux-6.1-all.lock"
    echo "$kernel"
}

# What every comparison needs: the packages, the tools, the build and the
# sources, in kelpin, kernel and sqlite.
bench_prepare() {
    scripts/setup
    bench_tools
    kelpin=$(bench_kelpin)
    kernel=$(bench_kernel)
    sqlite=$(bench_sqlite)
}

# The median of the numbers on standard input, one a line.
median() { sort -n | awk '{ a[NR] = $1 } END { print a[int((NR + 1) / 2)] }'; }

# The peak memory of a run of "$@" in kilobytes, its output thrown away.
peak_kb() { /usr/bin/time -f %M "$@" 2>&1 >/dev/null | tail -n 1; }
