#!/usr/bin/env bash
# Runs a Windows program under Wine in the given prefix: wine-run.sh PREFIX PROGRAM [ARGS...]
# ctest uses it as the emulator of the win64 build.
set -euo pipefail
[ $# -ge 2 ] || { echo "usage: $0 PREFIX PROGRAM [ARGS...]" >&2; exit 2; }
# Wine wants an absolute prefix.
prefix=$(realpath -m "$1")
shift
export WINEPREFIX=$prefix WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
exec wine "$@"
