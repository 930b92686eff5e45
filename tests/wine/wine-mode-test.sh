#!/bin/sh
# The decision of which Wine runs: every value of KELPIN_WINE against both
# answers of the probe.
set -u
mode=$(dirname "$0")/wine-mode.sh
failed=0
expect() { # forced runs32 expected-sides ("fail" for a refusal)
    got=$(sh "$mode" --decide "$1" "$2" 2>/dev/null)
    status=$?
    if [ "$3" = fail ]; then
        [ $status -ne 0 ] && [ -z "$got" ] && return
        echo "KELPIN_WINE='$1' probe=$2: expected a refusal, got '$got' (status $status)"
    else
        [ $status -eq 0 ] && [ "${got%%|*}" = "$3" ] && [ -n "${got#*|}" ] && return
        echo "KELPIN_WINE='$1' probe=$2: expected '$3', got '$got' (status $status)"
    fi
    failed=1
}
expect "" yes "win32 win64"
expect "" no win64
expect win32 yes win32
expect win32 no fail
expect win64 yes win64
expect win64 no win64
expect win128 yes fail
expect WIN64 no fail
# A refusal says why, naming the variable.
sh "$mode" --decide win32 no 2>&1 | grep -q "KELPIN_WINE=win32" ||
    { echo "forcing win32 where it cannot run does not say why"; failed=1; }
exit $failed
