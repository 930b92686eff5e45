#!/bin/sh
# Runs the stand-in host under Wine on a virtual display.
#   run-scenario.sh <prefix> --init                  create the Wine prefix when missing
#   run-scenario.sh <prefix> <host.exe> <scenario>   run one scenario
#   run-scenario.sh <prefix> <host.exe> --list <name>...
#                                                    the host knows exactly these scenarios
# Each run has its own display and its own wineserver, ended afterwards, so a
# scenario never inherits a window or a process from the one before.
set -u
prefix=$1
shift
export WINEPREFIX="$prefix" WINEDEBUG=-all
# No download prompts for the .NET and HTML engines while the prefix is made.
export WINEDLLOVERRIDES="mscoree,mshtml="

if [ "$1" = --init ]; then
    # The marker names the prefix's settings: a prefix made with others is
    # made again.
    marker="$prefix/.kelpin-prefix-2"
    [ -f "$marker" ] && exit 0
    rm -rf "$prefix"
    echo "creating the Wine prefix $prefix"
    # Windows left to no window manager: on the bare virtual display Wine
    # would otherwise wait two seconds for a manager at every closing dialog.
    timeout -k 5 240 xvfb-run -a sh -c 'wineboot -i &&
        wine reg add "HKCU\\Software\\Wine\\X11 Driver" /v Managed /d N /f; wineserver -w' \
        >/dev/null 2>&1
    [ -f "$prefix/user.reg" ] && grep -q '"Managed"="N"' "$prefix/user.reg" ||
        { echo "wineboot did not create the prefix"; exit 1; }
    touch "$marker"
    exit 0
fi

host=$1
shift
if [ "$1" = --list ]; then
    shift
    expected=$(printf '%s\n' "$@" | sort)
    got=$(timeout -k 5 60 xvfb-run -a wine "$host" --list 2>/dev/null | tr -d '\r' | sort)
    wineserver -k 2>/dev/null
    if [ "$got" != "$expected" ]; then
        echo "the host's scenarios differ from the ctest list (a KELPIN_SCENARIO line not at the"
        echo "start of a line?)"
        printf 'host:\n%s\nctest:\n%s\n' "$got" "$expected"
        exit 1
    fi
    exit 0
fi

out=$(mktemp)
# wineserver -k inside the display's lifetime: the Wine desktop goes before
# the display does, quietly. Two virtual displays started at the same moment
# by other test runs can pick the same number: then one fails to start and
# is tried again.
for attempt in 1 2 3; do
    timeout -k 5 90 xvfb-run -a sh -c 'wine "$0" "$@"; status=$?; wineserver -k; exit $status' \
        "$host" "$@" >"$out" 2>&1
    status=$?
    grep -q 'Xvfb failed to start' "$out" || break
    sleep $attempt
done
tr -d '\r' <"$out"
rm -f "$out"
wineserver -k 2>/dev/null
case $status in
    124|137) echo "FAILED: $* was stopped after 90 s" ;;
esac
exit $status
