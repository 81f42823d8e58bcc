#!/usr/bin/env bash
# make bench: builds the host Release tree and runs every benchmark program in it (*_bench).
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/deps.sh
cmake --preset host-release >/dev/null
cmake --build --preset host-release -j "$(nproc)"
found=0
while IFS= read -r bench; do
    found=1
    echo "== $bench"
    "$bench"
done < <(find build/host-release -type f -name '*_bench' -perm -u+x | sort)
[ $found -eq 1 ] || echo "no benchmarks built"
