#!/usr/bin/env bash
# make fuzz: builds the libFuzzer targets (preset fuzz: clang, AddressSanitizer and
# UndefinedBehaviorSanitizer) and runs each one for SECONDS seconds (first argument, else
# $FUZZ_SECONDS, else 300). make test runs it with a short time. New inputs that reach new code are
# kept in build/fuzz/corpus/<target>; an input that breaks a target is saved in
# build/fuzz/artifacts/ and the script fails. Add such an input to the target's regressions folder
# so that the host tests replay it.
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-${FUZZ_SECONDS:-300}}
scripts/deps.sh

cmake --preset fuzz >/dev/null
list=build/fuzz/fuzzers.tsv
targets=()
while IFS=$'\t' read -r name _; do
    [ -n "$name" ] && targets+=("$name")
done <"$list"
if [ ${#targets[@]} -eq 0 ]; then
    echo "no fuzz targets"
    exit 0
fi
cmake --build --preset fuzz -j "$(nproc)" --target "${targets[@]}"

failed=0
while IFS=$'\t' read -r -a fields; do
    name=${fields[0]:-}
    [ -n "$name" ] || continue
    dictionary=${fields[1]:-}
    corpus=build/fuzz/corpus/$name
    mkdir -p "$corpus" build/fuzz/artifacts
    seeds=()
    for seed in "${fields[@]:2}"; do
        [ -d "$seed" ] && seeds+=("$seed")
    done
    options=(-max_total_time="$seconds" -timeout=20 -rss_limit_mb=2048 -max_len=16384
             -print_final_stats=1 -artifact_prefix="build/fuzz/artifacts/$name-")
    [ "$dictionary" != "-" ] && options+=(-dict="$dictionary")
    echo "== fuzzing $name for $seconds s (seeds: ${seeds[*]:-none})"
    binary=$(find build/fuzz -type f -name "$name" -perm -u+x | head -n 1)
    if ! "$binary" "${options[@]}" "$corpus" "${seeds[@]}" 2>"build/fuzz/$name.log"; then
        failed=1
        tail -n 40 "build/fuzz/$name.log"
        echo "$name FAILED; the input is in build/fuzz/artifacts/" >&2
    else
        grep -E '^(stat::number_of_executed_units|stat::peak_rss_mb|#[0-9]+.*DONE)' \
            "build/fuzz/$name.log" || true
    fi
done <"$list"
exit $failed
