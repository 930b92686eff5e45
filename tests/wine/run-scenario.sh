#!/bin/sh
# Runs the stand-in host under Wine on a virtual display.
#   run-scenario.sh <arch> <prefix> --init [<host.exe>]
#                                        make the Wine prefix when missing, and
#                                        start a session: a virtual display and
#                                        a wineserver kept for the runs to come;
#                                        with the host, check that it runs
#   run-scenario.sh <arch> <prefix> --probe <host.exe>
#                                        the host runs under this Wine
#   run-scenario.sh <arch> <prefix> --end    end the session
#   run-scenario.sh <arch> <prefix> <host.exe> <scenario>
#                                        run one scenario
#   run-scenario.sh <arch> <prefix> <host.exe> --list <name>...
#                                        the host knows exactly these scenarios
# <arch> is win32 (the 32-bit Wine, a 32-bit prefix) or win64 (the 64-bit
# Wine and prefix). Each is started directly, loader and server together:
# Debian's "wine" and "wineserver" commands pick the 32-bit loader whenever it
# is installed, even on a kernel that cannot run it.
# Each scenario is a process of its own; starting a display and Wine for each
# cost two seconds a scenario, so the runs share one session. Without one (it
# died, or was never started) a run starts its own.
set -u
arch=$1
prefix=$2
shift 2
case $arch in
    win32) loader=/usr/lib/wine/wine server=/usr/lib/wine/wineserver32 ;;
    win64) loader=/usr/lib/wine/wine64 server=/usr/lib/wine/wineserver64 ;;
    *) echo "run-scenario.sh: unknown architecture '$arch' (win32 or win64)"; exit 2 ;;
esac
export WINEPREFIX="$prefix" WINEARCH="$arch" WINELOADER="$loader" WINESERVER="$server" WINEDEBUG=-all
# No download prompts for the .NET and HTML engines while the prefix is made.
export WINEDLLOVERRIDES="mscoree,mshtml="
session="$prefix.session"

if [ "$1" != --end ] && ! "$loader" --version >/dev/null 2>&1; then
    case $arch in
        win32) echo "the 32-bit Wine ($loader) cannot run on this machine: its kernel runs no 32-bit"
               echo "code, or wine32 is not installed. The 64-bit side runs everywhere:"
               echo "KELPIN_WINE=win64 scripts/test, or ctest --preset win64." ;;
        win64) echo "the 64-bit Wine ($loader) does not run: is wine64 installed (scripts/setup)?" ;;
    esac
    exit 1
fi

end_session() {
    if [ -f "$session" ]; then
        read -r display pid <"$session"
        "$server" -k 2>/dev/null
        kill "$pid" 2>/dev/null
        rm -f "$session"
    fi
}

if [ "$1" = --end ]; then
    end_session
    exit 0
fi

# Runs the host; its output goes to $out and its status to $status.
run_host() {
    if [ -f "$session" ] && read -r display pid <"$session" && kill -0 "$pid" 2>/dev/null; then
        DISPLAY=":$display" timeout -k 5 90 "$loader" "$@" >"$out" 2>&1
        status=$?
        return
    fi
    # wineserver -k inside the display's lifetime: the Wine desktop goes
    # before the display does, quietly. Two displays started at the same
    # moment by other test runs can pick the same number: then one fails to
    # start and is tried again.
    for attempt in 1 2 3; do
        timeout -k 5 90 xvfb-run -a sh -c '"$WINELOADER" "$0" "$@"; status=$?; "$WINESERVER" -k; exit $status' \
            "$@" >"$out" 2>&1
        status=$?
        grep -q 'Xvfb failed to start' "$out" || break
        sleep $attempt
    done
}

# Runs the host with --list: a Windows program of this architecture that
# starts, opens its window system and answers. Where 32-bit code cannot run,
# this is where it shows.
probe() {
    out=$(mktemp)
    run_host "$1" --list
    if [ $status -ne 0 ] || [ ! -s "$out" ]; then
        echo "the stand-in host ($arch) does not run under Wine here (status $status):"
        head -5 "$out"
        rm -f "$out"
        return 1
    fi
    rm -f "$out"
}

if [ "$1" = --init ]; then
    end_session
    # The marker names the prefix's settings: a prefix made with others is
    # made again.
    marker="$prefix/.kelpin-prefix-4-$arch"
    if [ ! -f "$marker" ]; then
        rm -rf "$prefix"
        echo "creating the Wine prefix $prefix"
        # Windows left to no window manager: on the bare virtual display Wine
        # would otherwise wait two seconds for a manager at every closing
        # dialog. The dialogs' own fonts: Wine's MS Sans Serif, Tahoma and
        # Marlett (fonts-wine) in the prefix's font folder, where this Wine
        # looks for them, and Courier New drawn as the metrically equal
        # Liberation Mono (fonts-liberation) rather than as whatever
        # proportional face Wine would pick.
        timeout -k 5 240 xvfb-run -a sh -c '"$WINELOADER" wineboot -i &&
            "$WINELOADER" reg add "HKCU\\Software\\Wine\\X11 Driver" /v Managed /d N /f &&
            "$WINELOADER" reg add "HKCU\\Software\\Wine\\Fonts\\Replacements" /v "Courier New" \
                /d "Liberation Mono" /f;
            "$WINESERVER" -w' >/dev/null 2>&1
        [ -f "$prefix/user.reg" ] && grep -q '"Managed"="N"' "$prefix/user.reg" &&
            grep -q '"Courier New"="Liberation Mono"' "$prefix/user.reg" ||
            { echo "wineboot did not create the prefix"; exit 1; }
        fonts="$prefix/drive_c/windows/Fonts"
        [ -d /usr/share/wine/fonts ] && mkdir -p "$fonts" &&
            cp /usr/share/wine/fonts/*.ttf /usr/share/wine/fonts/*.fon "$fonts/"
        touch "$marker"
    fi
    # The display picks a free number itself and says which. Both it and
    # the wineserver end by themselves should --end never come (an
    # interrupted run): the display after 15 minutes, the server two
    # minutes after its last process.
    number=$(mktemp)
    setsid timeout 900 Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp \
        3>"$number" </dev/null >/dev/null 2>&1 &
    pid=$!
    tries=0
    while [ ! -s "$number" ] && [ $tries -lt 100 ]; do
        sleep 0.1
        tries=$((tries + 1))
    done
    display=$(tr -d '\n' <"$number")
    rm -f "$number"
    if [ -z "$display" ]; then
        kill "$pid" 2>/dev/null
        echo "no virtual display: each scenario will start its own"
        exit 0
    fi
    DISPLAY=":$display" "$server" -p120 </dev/null >/dev/null 2>&1
    echo "$display $pid" >"$session"
    echo "session on display :$display"
    if [ $# -ge 2 ]; then
        probe "$2" || { end_session; exit 1; }
    fi
    exit 0
fi

if [ "$1" = --probe ]; then
    probe "$2"
    exit
fi

host=$1
shift
out=$(mktemp)
if [ "$1" = --list ]; then
    shift
    expected=$(printf '%s\n' "$@" | sort)
    run_host "$host" --list
    got=$(tr -d '\r' <"$out" | sort)
    rm -f "$out"
    if [ "$got" != "$expected" ]; then
        echo "the host's scenarios differ from the ctest list (a KELPIN_SCENARIO line not at the"
        echo "start of a line?)"
        printf 'host:\n%s\nctest:\n%s\n' "$got" "$expected"
        exit 1
    fi
    exit 0
fi

run_host "$host" "$@"
tr -d '\r' <"$out"
rm -f "$out"
case $status in
    124|137) echo "FAILED: $* was stopped after 90 s" ;;
esac
exit $status
