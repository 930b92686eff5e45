#!/bin/sh
# Which Wine runs the scenarios on this machine, found by trying rather than
# by guessing from kernel or distribution names. Some machines run no 32-bit
# code at all (their kernel's 32-bit emulation is off): there only the 64-bit
# Wine runs, and the scenarios run against the 64-bit build of the add-in.
#
#   wine-mode.sh <build-root>     probes (with build/win32's stand-in host)
#                                 and prints "<sides>|<why>", where sides is
#                                 "win32 win64", "win32" or "win64"
#   wine-mode.sh --decide <forced> <yes|no>
#                                 the decision alone, from KELPIN_WINE's value
#                                 and the probe's answer (for its test)
# KELPIN_WINE=win32 or win64 runs that side alone; forcing win32 where it
# cannot run fails. Exit status 1, with the reason, when no side can run.
set -u
here=$(dirname "$0")

decide() { # forced runs32
    case $1 in
        "")
            if [ "$2" = yes ]; then
                echo "win32 win64|this machine runs 32-bit code: the real DLL, then the 64-bit build"
            else
                echo "win64|this machine cannot run 32-bit code"
            fi ;;
        win32)
            if [ "$2" = yes ]; then
                echo "win32|KELPIN_WINE=win32"
            else
                echo "KELPIN_WINE=win32, but this machine cannot run 32-bit Windows programs" \
                    "under Wine; KELPIN_WINE=win64 runs the 64-bit side" >&2
                return 1
            fi ;;
        win64) echo "win64|KELPIN_WINE=win64" ;;
        *)
            echo "KELPIN_WINE must be win32, win64 or unset, not '$1'" >&2
            return 1 ;;
    esac
}

if [ "${1:-}" = --decide ]; then
    decide "$2" "$3"
    exit
fi

root=$1
forced=${KELPIN_WINE:-}
if [ "$forced" != win32 ] && ! /usr/lib/wine/wine64 --version >/dev/null 2>&1; then
    echo "no 64-bit Wine (/usr/lib/wine/wine64): scripts/setup installs it" >&2
    exit 1
fi
runs32=no
if [ "$forced" != win64 ]; then
    # A real 32-bit Windows program, the stand-in host, in the prefix its
    # tests use; the loader's own start fails at once where no 32-bit code
    # runs.
    if sh "$here/run-scenario.sh" win32 "$root/build/win32/wineprefix" --init \
        "$root/build/win32/wine/kelpin_wine_host.exe" >/dev/null 2>&1; then
        runs32=yes
    fi
    sh "$here/run-scenario.sh" win32 "$root/build/win32/wineprefix" --end >/dev/null 2>&1
fi
decide "$forced" "$runs32"
