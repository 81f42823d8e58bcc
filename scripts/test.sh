#!/usr/bin/env bash
# make test: everything `make dist` does, then every test: host tests (ASan + UBSan) and the Windows
# tests under Wine. Every stage runs even when an earlier one fails; the summary says which failed.
set -uo pipefail
cd "$(dirname "$0")/.."

scripts/dist.sh || { echo "make test: building the deliverables failed" >&2; exit 1; }

jobs=$(nproc)
results=()
failed=0
stage() {
    local name=$1
    shift
    local start=$SECONDS
    echo "== $name"
    if "$@"; then
        results+=("passed  $name ($((SECONDS - start)) s)")
    else
        results+=("FAILED  $name ($((SECONDS - start)) s)")
        failed=1
    fi
}

host_build() { cmake --preset host >/dev/null && cmake --build --preset host -j "$jobs"; }
release_build() { cmake --build --preset host-release -j "$jobs"; }
win_build() { cmake --build --preset win64 -j "$jobs"; }

format_check() {
    git ls-files -z '*.cpp' '*.h' | xargs -0 -r clang-format --dry-run -Werror
}

stage "formatting (.clang-format)" format_check
stage "host build (ASan + UBSan)" host_build
stage "host tests" ctest --preset host -j "$jobs"
stage "host release build (tools, benchmarks)" release_build
stage "fuzz targets (clang, 20 s each)" scripts/fuzz.sh 20
stage "Windows test build" win_build
stage "Windows tests under Wine" ctest --preset win64

echo
echo "== summary"
printf '%s\n' "${results[@]}"
exit $failed
