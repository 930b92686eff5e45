#!/usr/bin/env bash
# The Debian package from scripts/package: its name, its control fields and
# contents, kelpin run from a scratch root it is unpacked into, and no error
# from lintian when lintian is there (scripts/setup installs it).
#   package-test.sh <source-root>
set -euo pipefail
root=$1
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
deb=$("$root/scripts/package" "$work/out")
version=$(sed -n 's/^project(kelpin VERSION \([0-9.]*\).*/\1/p' "$root/CMakeLists.txt")

status=0
fail() {
    echo "$*"
    status=1
}
[[ $(basename "$deb") == "kelpin_${version}_amd64.deb" ]] || fail "package named $(basename "$deb")"
field() { dpkg-deb -f "$deb" "$1"; }
[[ $(field Package) == kelpin && $(field Version) == "$version" && $(field Architecture) == amd64 ]] ||
    fail "control: $(field Package) $(field Version) $(field Architecture)"
[[ $(field Depends) =~ ^libc6\ \(\>=\ [0-9.]+\)$ ]] || fail "Depends: $(field Depends)"
[[ -n $(field Description) ]] || fail "no Description"
[[ $(field Maintainer) == "kelpin maintainers <kelpin@example.org>" ]] || fail "Maintainer: $(field Maintainer)"

contents=$(dpkg-deb -c "$deb" | awk '$1 !~ /^d/ { print $1, $2, $6 }')
for entry in "-rwxr-xr-x root/root ./usr/bin/kelpin" \
    "-rw-r--r-- root/root ./usr/share/man/man1/kelpin.1.gz" \
    "-rw-r--r-- root/root ./usr/share/bash-completion/completions/kelpin" \
    "-rw-r--r-- root/root ./usr/lib/kelpin/kelpin.dll" \
    "-rw-r--r-- root/root ./usr/share/doc/kelpin/copyright" \
    "-rw-r--r-- root/root ./usr/share/doc/kelpin/changelog.gz"; do
    grep -qxF -- "$entry" <<<"$contents" || fail "not in the package: $entry"
done
[[ $(wc -l <<<"$contents") -eq 6 ]] || fail "the package holds more than it should:"$'\n'"$contents"

# Unpacked into a scratch root, the CLI runs from there and the rest is what
# was built: the 32-bit DLL itself, the man page gzipped.
dpkg -x "$deb" "$work/root"
# The one version, the same in the package's name, the program and its page.
"$work/root/usr/bin/kelpin" --version | grep -qxF "kelpin $version" ||
    fail "kelpin --version from the package: $("$work/root/usr/bin/kelpin" --version 2>&1)"
"$work/root/usr/bin/kelpin" functions "$root/examples/stock.c" | grep -q ' stock_add$' ||
    fail "kelpin functions from the package does not list stock_add"
cmp -s "$work/root/usr/lib/kelpin/kelpin.dll" "$root/build/win32/kelpin.dll" ||
    fail "usr/lib/kelpin/kelpin.dll is not build/win32/kelpin.dll"
file "$work/root/usr/lib/kelpin/kelpin.dll" | grep -q "PE32 executable (DLL).*Intel 80386" ||
    fail "usr/lib/kelpin/kelpin.dll: $(file -b "$work/root/usr/lib/kelpin/kelpin.dll")"
gzip -dc "$work/root/usr/share/man/man1/kelpin.1.gz" | cmp -s - "$root/build/release/generated/kelpin.1" ||
    fail "the packaged man page is not the release build's docs/kelpin.1.in"
gzip -dc "$work/root/usr/share/man/man1/kelpin.1.gz" | grep -q "^\.TH KELPIN 1 [0-9-]* \"kelpin $version\"" ||
    fail "the man page does not say kelpin $version"
# The copyright file names the licence of LICENSE and holds its text and
# copyright line.
copyright=$work/root/usr/share/doc/kelpin/copyright
grep -qx "License: Expat" "$copyright" || fail "copyright: no \"License: Expat\""
grep -qx "Copyright: $(sed -n 's/^Copyright (c) //p' "$root/LICENSE")" "$copyright" ||
    fail "copyright: not LICENSE's copyright line"
diff <(sed -n '/^License: Expat$/,$p' "$copyright" | tail -n +2 | sed 's/^ //; s/^\.$//') \
    <(sed -n '/^Permission/,$p' "$root/LICENSE") >/dev/null ||
    fail "copyright: the licence text is not LICENSE's"

if command -v lintian >/dev/null; then
    report=$(lintian "$deb" 2>&1 | grep -v '^running with root privileges' || true)
    if grep -q '^E:' <<<"$report"; then
        fail "lintian:"$'\n'"$report"
    elif [[ -n $report ]]; then
        echo "lintian (warnings only):"$'\n'"$report"
    fi
else
    echo "lintian is not installed: not run"
fi
[[ $status -eq 0 ]] && echo "$(basename "$deb"): $(field Depends); $(wc -l <<<"$contents") files"
exit $status
