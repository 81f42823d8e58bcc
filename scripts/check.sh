#!/usr/bin/env bash
# make check: the loop to run while working. Formatting, the host build (ASan + UBSan) and the host
# unit tests, in well under a minute once built: no mingw-w64, no Wine, no dist/. (The host tests
# that inspect the shipped files in dist/ carry the label "dist" and run in make test.)
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/deps.sh --host
jobs=$(nproc)

echo "== formatting (.clang-format)"
git ls-files -z '*.cpp' '*.h' | xargs -0 -r clang-format --dry-run -Werror
echo "== host build (ASan + UBSan)"
cmake --preset host >/dev/null
cmake --build --preset host -j "$jobs"
echo "== host unit tests"
ctest --preset host -j "$jobs" -LE dist
