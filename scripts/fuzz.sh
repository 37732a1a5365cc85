#!/usr/bin/env bash
# Builds the libFuzzer targets and runs each for SECONDS (default 60) from its
# corpus in fuzz/corpus/<target>/ (regressions are kept there). Usage:
#   scripts/fuzz.sh [SECONDS] [TARGET...]
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-60}
shift || true
cmake --preset fuzz >/dev/null
cmake --build --preset fuzz -j "$(nproc)" >/dev/null
targets=("$@")
passed=0
if [ ${#targets[@]} -eq 0 ]; then
    for f in fuzz/*_fuzz.cpp; do targets+=("$(basename "$f" .cpp)"); done
fi
for target in "${targets[@]}"; do
    corpus=fuzz/corpus/$target
    work=build/fuzz/corpus-$target
    mkdir -p "$work"
    [ -d "$corpus" ] && cp -n "$corpus"/* "$work"/ 2>/dev/null || true
    echo "=== $target ($seconds s)"
    build/fuzz/fuzz/$target -max_total_time="$seconds" -artifact_prefix=build/fuzz/"$target"- \
        -print_final_stats=1 "$work" 2>&1 | grep -E 'stat::number_of_executed_units|ERROR|SUMMARY|Done' || true
    if ls build/fuzz/"$target"-crash-* >/dev/null 2>&1; then
        echo "$target: findings in build/fuzz/$target-crash-*"
        echo "fuzz: $passed passed, 1 failed"
        exit 1
    fi
    passed=$((passed + 1))
done
echo "fuzz: $passed passed, 0 failed"
