#!/bin/sh
# The gallery: pictures of the real add-in's dialogs under Wine, as PNGs.
#   gallery.sh <win32|win64> <build-dir> <out-folder> [<committed-folder>]
# runs the stand-in host's gallery (<build-dir>/wine/kelpin_wine_host.exe, see
# tests/wine/gallery.cpp) on examples/stock.c, turns each captured bitmap
# into <out-folder>/<name>.png and checks every picture: each one there,
# exactly the size its dialog's template gives, not blank, and shown in
# README.md. With <committed-folder> (docs/images, for the test), each must
# also be byte for byte the one committed there: scripts/screenshots
# regenerates those. Uses the Wine session of the test run when there is
# one (tests/wine/run-scenario.sh).
set -eu
here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/../.." && pwd)
arch=$1
build=$(cd "$2" && pwd)
mkdir -p "$3"
out=$(cd "$3" && pwd)
committed=${4:-}

# Every picture the README shows, in its order.
names="functions function function-comment module-comment setup version output"
# Not blank: a picture of more than a few colours (a frame and a face
# alone give about four), whose client area is not one colour all over:
# at least one pixel in a hundred differs from its commonest colour (text,
# edit fields, buttons).
min_colours=5

windows_path() { # an absolute Linux path as Wine's drive Z: shows it
    printf 'Z:%s' "$1" | tr / '\\'
}

# The test run's session, or one of our own: --init also makes the prefix
# with the dialogs' fonts.
run() { sh "$here/run-scenario.sh" "$arch" "$build/wineprefix" "$@"; }
own_session=no
if [ ! -f "$build/wineprefix.session" ]; then
    run --init >/dev/null || exit 1
    own_session=yes
fi
work=$(mktemp -d)
trap 'rm -rf "$work"; [ $own_session = no ] || run --end >/dev/null' EXIT
if ! run "$build/wine/kelpin_wine_host.exe" --gallery "$(windows_path "$work")" \
    "$(windows_path "$root/examples/stock.c")"; then
    echo "gallery: the stand-in host's gallery failed"
    exit 1
fi

failed=0
fail() {
    echo "gallery: $*"
    failed=1
}

[ -f "$work/gallery.txt" ] || { echo "gallery: the host wrote no gallery.txt"; exit 1; }
tr -d '\r' <"$work/gallery.txt" >"$work/manifest"
listed=$(cut -d' ' -f1 "$work/manifest" | sort | tr '\n' ' ')
wanted=$(printf '%s\n' $names | sort | tr '\n' ' ')
[ "$listed" = "$wanted" ] || fail "pictures taken: $listed; wanted: $wanted"

while read -r name width height x y cx cy; do
    png="$out/$name.png"
    if ! bmptopnm "$work/$name.bmp" 2>/dev/null | pnmtopng -compression 9 >"$png" 2>/dev/null; then
        fail "$name: no bitmap, or not one netpbm reads"
        continue
    fi
    size=$(pngtopnm "$png" | pamfile | sed -n 's/.* \([0-9]*\) by \([0-9]*\) .*/\1 \2/p')
    [ "$size" = "$width $height" ] ||
        fail "$name.png is $size pixels; its window is $width $height"
    colours=$(pngtopnm "$png" | ppmhist -noheader | wc -l)
    [ "$colours" -ge "$min_colours" ] ||
        fail "$name.png has $colours colours: a blank or unpainted window"
    # The client area's pixels, and how many of them are not its commonest colour.
    other=$(pngtopnm "$png" | pamcut -left "$x" -top "$y" -width "$cx" -height "$cy" 2>/dev/null |
        ppmhist -noheader 2>/dev/null |
        awk '{ n += $5; if ($5 > top) top = $5 } END { print n, n - top }')
    set -- $other
    [ "${1:-0}" -eq $((cx * cy)) ] && [ $((100 * $2)) -ge "$1" ] ||
        fail "$name.png: its client area is blank (${2:-?} of ${1:-?} pixels differ from the commonest)"
    echo "$name.png: $width x $height, $colours colours, ${2:-?} of ${1:-?} client pixels not the commonest" \
        >>"$work/stats"
    grep -q "(docs/images/$name.png)" "$root/README.md" || fail "README.md does not show $name.png"
    if [ -n "$committed" ] && ! cmp -s "$png" "$committed/$name.png"; then
        fail "$committed/$name.png is not the picture the dialog gives now: run scripts/screenshots"
    fi
done <"$work/manifest"

cat "$work/stats"
[ $failed -eq 0 ]
