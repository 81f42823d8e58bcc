#!/usr/bin/env bash
# wine-prefix.sh start|stop PREFIX
#   start: makes a fresh Wine prefix at PREFIX and starts wineserver and Wine's background programs
#          with their output sent to /dev/null, so that they never hold a test runner's pipes open.
#          In the prefix a program named twVss_64.exe loads a vssapi.dll that lies beside it (the
#          test stand-in for the VSS service) before Wine's own; without one it gets Wine's.
#          One idle Wine process stays running until stop (see below).
#   stop:  stops everything running in the prefix.
set -euo pipefail
action=$1
# Wine wants an absolute prefix.
prefix=$(realpath -m "$2")
export WINEPREFIX=$prefix WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="

case $action in
start)
    wineserver -k >/dev/null 2>&1 </dev/null || true
    rm -rf "$prefix"
    mkdir -p "$prefix"
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
    if [ -f "$prefix/keeper.pid" ]; then
        # The keeper's process group: the shell, sleep and wine.
        kill -- -"$(cat "$prefix/keeper.pid")" >/dev/null 2>&1 || true
        rm -f "$prefix/keeper.pid"
    fi
    wineserver -k >/dev/null 2>&1 </dev/null || true
    echo "Wine prefix stopped: $prefix"
    ;;
*)
    echo "usage: $0 start|stop PREFIX" >&2
    exit 2
    ;;
esac
