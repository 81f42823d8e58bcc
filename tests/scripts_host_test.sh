#!/usr/bin/env bash
# The scripts' handling of their arguments and of folders they did not make:
# - each script that needs arguments, run without them or with too few, prints its usage line on
#   standard error and exits with 2, writing nothing on standard output and starting nothing;
# - scripts/wine-prefix.sh deletes, reuses or stops only a prefix it made (its marker inside), and
#   uses a folder that does not exist or is empty; any other folder or a file it refuses with the
#   reason, exit 1, touching nothing and stopping nothing.
# Wine's programs are stand-ins on PATH that record how they were called, so that this runs on the
# host without Wine.
#     tests/scripts_host_test.sh
set -uo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
work=$(mktemp -d /tmp/tarnwick-scripts-test.XXXXXX)
failures=0

# The stand-ins: wine, wineserver and wineboot each add a line to calls.log and succeed.
mkdir "$work/bin"
for program in wine wineserver wineboot; do
    printf '#!/bin/sh\necho "%s $*" >>"%s/calls.log"\n' "$program" "$work" >"$work/bin/$program"
    chmod +x "$work/bin/$program"
done
export PATH=$work/bin:$PATH
prefix_script=$root/scripts/wine-prefix.sh
# Every prefix that start made here is stopped again, whatever happens to the test.
cleanup() {
    for keeper in "$work"/*/keeper.pid; do
        [ -f "$keeper" ] && "$prefix_script" stop "$(dirname "$keeper")" >/dev/null 2>&1
    done
    rm -rf "$work"
}
trap cleanup EXIT

fail() {
    echo "FAILED: $*"
    failures=$((failures + 1))
}
# run SCRIPT ARGS...: runs it, keeping its exit code, standard output and standard error, and the
# stand-ins' calls it made.
run() {
    rm -f "$work/calls.log"
    "$@" >"$work/out" 2>"$work/err"
    code=$?
    out=$(cat "$work/out")
    err=$(cat "$work/err")
    calls=$(cat "$work/calls.log" 2>/dev/null)
}

# Too few arguments: the usage line, exit code 2, nothing else.
while read -r script args; do
    # shellcheck disable=SC2086  # the arguments are words of the table
    run "$root/$script" $args
    what="$script${args:+ $args}"
    [ "$code" -eq 2 ] || fail "$what: exit code $code, not 2"
    [[ $err == "usage: "* ]] || fail "$what: standard error is not the usage line: $err"
    [ "$(wc -l <"$work/err")" -eq 1 ] || fail "$what: more than the usage line: $err"
    [ -z "$out" ] || fail "$what: wrote to standard output: $out"
    [ -z "$calls" ] || fail "$what: started Wine's programs: $calls"
done <<'TABLE'
scripts/msi.sh
scripts/sign.sh
scripts/wine-prefix.sh
scripts/wine-prefix.sh start
scripts/wine-prefix.sh restart somewhere
scripts/wine-run.sh
scripts/wine-run.sh somewhere
installer/test_msis.sh
installer/signing_wine_test.sh
installer/signing_wine_test.sh somewhere
TABLE

# What wine-prefix.sh refuses: its exit code, its reason, and nothing touched or started.
mkdir -p "$work/home/.wine/drive_c"
echo "someone's settings" >"$work/home/.wine/user.reg"
echo "a file" >"$work/a-file"
refused() {
    local what=$1 reason=$2
    [ "$code" -eq 1 ] || fail "$what: exit code $code, not 1"
    [[ $err == *"$reason"* ]] || fail "$what: the reason \"$reason\" is not in: $err"
    [ -z "$calls" ] || fail "$what: started Wine's programs: $calls"
}
for action in start stop; do
    run "$prefix_script" "$action" "$work/home/.wine"
    refused "$action of a Wine prefix it did not make" "wine-prefix.sh did not make this folder"
    run bash -c 'cd "$1/home" && "$2" "$3" .' - "$work" "$prefix_script" "$action"
    refused "$action of ." "wine-prefix.sh did not make this folder"
    run "$prefix_script" "$action" "$work/a-file"
    refused "$action of a file" "this is not a folder"
done
[ "$(cat "$work/home/.wine/user.reg" 2>/dev/null)" = "someone's settings" ] &&
    [ -d "$work/home/.wine/drive_c" ] ||
    fail "the prefix wine-prefix.sh did not make has changed"
[ "$(ls -A "$work/home")" = ".wine" ] || fail "the folder given as . has changed"
[ "$(cat "$work/a-file" 2>/dev/null)" = "a file" ] || fail "the file has changed"

# What it makes, replaces and stops.
# ended PID: the process has ended (or is a zombie that nobody has reaped yet) within 5 s.
ended() {
    local state
    for _ in $(seq 1 50); do
        state=$(awk '{print $3}' "/proc/$1/stat" 2>/dev/null)
        [ -z "$state" ] || [ "$state" = Z ] && return 0
        sleep 0.1
    done
    return 1
}
prefix=$work/new-prefix
run "$prefix_script" start "$prefix"
[ "$code" -eq 0 ] || fail "start of a new prefix: exit code $code: $err"
[ -f "$prefix/.tarnwick-wine-prefix" ] || fail "start of a new prefix left no marker"
[[ $calls == *"wineboot -i"* ]] || fail "start of a new prefix did not make it: $calls"
keeper=$(cat "$prefix/keeper.pid" 2>/dev/null)
echo "a file of the last run" >"$prefix/left-over"
run "$prefix_script" start "$prefix"
[ "$code" -eq 0 ] || fail "start of its own prefix: exit code $code: $err"
[ ! -e "$prefix/left-over" ] || fail "start of its own prefix did not make it afresh"
[ -f "$prefix/.tarnwick-wine-prefix" ] || fail "start of its own prefix left no marker"
[[ $calls == *"wineserver -k"*"wineboot -i"* ]] ||
    fail "start of its own prefix did not stop it before making it again: $calls"
ended "$keeper" || fail "the first start's keeper still runs"
keeper=$(cat "$prefix/keeper.pid" 2>/dev/null)
run "$prefix_script" stop "$prefix"
[ "$code" -eq 0 ] || fail "stop of its own prefix: exit code $code: $err"
ended "$keeper" || fail "stop left the keeper running"
[ -d "$prefix" ] || fail "stop deleted the prefix"

mkdir "$work/empty"
run "$prefix_script" start "$work/empty"
[ "$code" -eq 0 ] || fail "start in an empty folder: exit code $code: $err"
[ -f "$work/empty/.tarnwick-wine-prefix" ] || fail "start in an empty folder left no marker"
run "$prefix_script" stop "$work/empty"
[ "$code" -eq 0 ] || fail "stop of the prefix made in an empty folder: exit code $code: $err"

run "$prefix_script" stop "$work/never-made"
[ "$code" -eq 0 ] && [ -z "$calls" ] && [ ! -e "$work/never-made" ] ||
    fail "stop of a folder that does not exist: exit code $code, calls: $calls"

if [ "$failures" -ne 0 ]; then
    echo "$failures checks failed"
    exit 1
fi
echo "every check passed"
