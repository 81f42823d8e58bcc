#!/usr/bin/env bash
# wine-prefix.sh start|stop PREFIX
#   start: makes a fresh Wine prefix at PREFIX and starts wineserver and Wine's background programs
#          with their output sent to /dev/null, so that they never hold a test runner's pipes open.
#          In the prefix a program named twVss_64.exe loads a vssapi.dll that lies beside it (the
#          test stand-in for the VSS service) before Wine's own; without one it gets Wine's.
#          One idle Wine process stays running until stop (see below).
#   stop:  stops everything running in the prefix.
# The script deletes and stops only what it made: a prefix it made holds its marker file
# (.tarnwick-wine-prefix). start replaces such a prefix, and uses a folder that does not exist or
# is empty; it refuses any other folder, and stop refuses a folder without the marker, leaving it
# and what runs in it alone (given ~/.wine or . by mistake, nothing is lost).
set -euo pipefail
usage() {
    echo "usage: $0 start|stop PREFIX" >&2
    exit 2
}
[ $# -eq 2 ] || usage
action=$1
case $action in start | stop) ;; *) usage ;; esac
# Wine wants an absolute prefix.
prefix=$(realpath -m "$2")
export WINEPREFIX=$prefix WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
marker=$prefix/.tarnwick-wine-prefix

refuse() {
    echo "wine-prefix.sh: $action $prefix: $*, so it is left as it is." \
        "Give a folder that does not exist, or delete this one yourself if you no longer need it." >&2
    exit 1
}
if [ -e "$prefix" ] && [ ! -f "$marker" ]; then
    if [ ! -d "$prefix" ]; then
        refuse "this is not a folder"
    elif [ "$action" = stop ] || [ -n "$(ls -A "$prefix")" ]; then
        refuse "wine-prefix.sh did not make this folder (it has no .tarnwick-wine-prefix)"
    fi
fi

# Stops what runs in the prefix: the idle program that start left, and wineserver.
stop_prefix() {
    if [ -f "$prefix/keeper.pid" ]; then
        # The keeper's process group: the shell, sleep and wine.
        kill -- -"$(cat "$prefix/keeper.pid")" >/dev/null 2>&1 || true
        rm -f "$prefix/keeper.pid"
    fi
    wineserver -k >/dev/null 2>&1 </dev/null || true
}

case $action in
start)
    if [ -f "$marker" ]; then
        # A prefix this script made: what runs in it stops, and it goes.
        stop_prefix
        rm -rf "$prefix"
    fi
    mkdir -p "$prefix"
    # First of all, so that an interrupted start still leaves a prefix that the next one replaces.
    echo "Made by scripts/wine-prefix.sh, which deletes this prefix to make it again." >"$marker"
    wineserver -p >/dev/null 2>&1 </dev/null
    wineboot -i >/dev/null 2>&1 </dev/null
    # Wine prefers its own vssapi.dll to one in the program's folder unless told otherwise, and it
    # reads WINEDLLOVERRIDES only from the environment of `wine` itself, so a test program cannot
    # set it for the processes it starts; a per-program entry in the registry applies to them all.
    wine reg add 'HKCU\Software\Wine\AppDefaults\twVss_64.exe\DllOverrides' \
        /v vssapi /d native,builtin /f >/dev/null 2>&1 </dev/null
    # When the last Wine program of the prefix ends, Wine stops its background programs, and the
    # next program that starts COM waits about 10 s for them to come back (measured: 10 to 13 s
    # for a CoInitialize a few seconds after the previous program ended, 40 to 70 ms with one
    # program running all along). So one idle program keeps them running: cmd waiting for a key
    # on a pipe that never delivers one, in a session of its own, writing nowhere.
    setsid bash -c 'sleep infinity | wine cmd /c pause' >/dev/null 2>&1 </dev/null &
    echo $! >"$prefix/keeper.pid"
    echo "Wine prefix ready: $prefix"
    ;;
stop)
    if [ ! -e "$prefix" ]; then
        echo "Wine prefix not there, nothing to stop: $prefix"
        exit 0
    fi
    stop_prefix
    echo "Wine prefix stopped: $prefix"
    ;;
esac
