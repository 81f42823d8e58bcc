#!/usr/bin/env bash
# make test: every test. The fast ones first: formatting, the CI workflow's validity, the host
# build and its unit tests (what make check runs); then the deliverables (make dist), the host
# tests that inspect them, the host Release tree, the fuzz targets, and the Windows tests under
# Wine. Every stage runs even when an earlier one fails; the summary says which failed.
set -uo pipefail
cd "$(dirname "$0")/.."

scripts/deps.sh --test || { echo "make test: installing what the tests need failed" >&2; exit 1; }

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

format_check() {
    git ls-files -z '*.cpp' '*.h' | xargs -0 -r clang-format --dry-run -Werror
}
# Each CI workflow against the published workflow schema, with the validator scripts/deps.sh
# installed (it prints nothing for a valid file, and the errors as JSON otherwise).
workflow_check() {
    local validator=build/tools/action-validator/node_modules/.bin/action-validator
    local workflow
    for workflow in .github/workflows/*.yml; do
        "$validator" "$workflow" || return 1
        echo "$workflow: valid"
    done
}
host_build() { cmake --preset host >/dev/null && cmake --build --preset host -j "$jobs"; }
release_build() { cmake --build --preset host-release -j "$jobs"; }
win_build() { cmake --build --preset win64 -j "$jobs"; }

stage "formatting (.clang-format)" format_check
stage "CI workflow (action-validator)" workflow_check
stage "host build (ASan + UBSan)" host_build
stage "host unit tests" ctest --preset host -j "$jobs" -LE dist
stage "deliverables (make dist)" scripts/dist.sh
stage "host tests of the files in dist/" ctest --preset host -j "$jobs" -L dist
stage "host release build (tools, benchmarks)" release_build
stage "fuzz targets (clang, 20 s each)" scripts/fuzz.sh 20
stage "Windows test build" win_build
stage "Windows tests under Wine" ctest --preset win64

echo
echo "== summary"
printf '%s\n' "${results[@]}"
exit $failed
