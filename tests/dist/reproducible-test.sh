#!/usr/bin/env bash
# Reproducible builds: the sources as they stand, copied into a folder of
# another name and built again there, later, give byte for byte the normal
# build's kelpin (release), kelpin.dll (win32) and Debian package. Only the
# products are built again, once.
#   reproducible-test.sh <source-root>
set -euo pipefail
root=$(cd "$1" && pwd)
cd "$root"
# Both packages take their file times from the same commit.
SOURCE_DATE_EPOCH=${SOURCE_DATE_EPOCH:-$(git log -1 --format=%ct 2>/dev/null || echo 1717243200)}
export SOURCE_DATE_EPOCH

work=$(mktemp -d "${TMPDIR:-/tmp}/kelpin-reproducible.XXXXXX")
trap 'rm -rf "$work"' EXIT
first=$(scripts/package "$work/first")

# Tracked and new files, nothing git ignores (so no build folder).
copy=$work/a/second/source-tree
mkdir -p "$copy"
if git rev-parse --is-inside-work-tree >/dev/null 2>&1; then
    git ls-files -z -co --exclude-standard |
        tar --null --ignore-failed-read -T - -cf - 2>/dev/null | tar -xf - -C "$copy"
else
    tar --exclude=./build -cf - . | tar -xf - -C "$copy"
fi
second=$(cd "$copy" && scripts/package "$work/second")

status=0
same() { # what, first, second
    if cmp -s "$2" "$3"; then
        echo "same: $1 ($(stat -c %s "$2") bytes)"
    else
        echo "DIFFERENT: $1: $(cmp "$2" "$3" 2>&1 | head -n 1)"
        status=1
    fi
}
same kelpin build/release/kelpin "$copy/build/release/kelpin"
same kelpin.dll build/win32/kelpin.dll "$copy/build/win32/kelpin.dll"
same "$(basename "$first")" "$first" "$second"
if [[ $status -ne 0 ]] && ! cmp -s "$first" "$second"; then
    diff <(dpkg-deb -c "$first") <(dpkg-deb -c "$second") | head -n 20 || true
fi
exit $status
