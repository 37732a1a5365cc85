#!/usr/bin/env bash
# Builds the libFuzzer targets and runs them over their corpora, the inputs
# kept in fuzz/corpus/<target>/ (every finding is kept there as a regression
# input). Usage:
#   scripts/fuzz.sh [SECONDS] [TARGET...]   explore for SECONDS (60) each,
#                                           from a copy of the corpus in
#                                           build/fuzz/corpus-<target>/
#   scripts/fuzz.sh --replay [TARGET...]    run every kept input once (the
#                                           test suite's check)
#   scripts/fuzz.sh --merge [TARGET...]     add to fuzz/corpus/<target>/ the
#                                           fewest explored inputs that reach
#                                           the code the kept ones do not
set -euo pipefail
cd "$(dirname "$0")/.."
mode=explore
seconds=60
case "${1:-}" in
--replay | --merge) mode=${1#--} && shift ;;
[0-9]*) seconds=$1 && shift ;;
esac
cmake --preset fuzz >/dev/null
cmake --build --preset fuzz -j "${JOBS:-$(nproc)}" >/dev/null
targets=("$@")
if [ ${#targets[@]} -eq 0 ]; then
    for f in fuzz/*_fuzz.cpp; do targets+=("$(basename "$f" .cpp)"); done
fi
passed=0
failed=0
for target in "${targets[@]}"; do
    program=build/fuzz/fuzz/$target
    corpus=fuzz/corpus/$target
    work=build/fuzz/corpus-$target
    case $mode in
    replay)
        inputs=$(find "$corpus" -type f 2>/dev/null | wc -l)
        # Each input named on the command line runs once.
        if [ "$inputs" -gt 0 ] &&
            find "$corpus" -type f -print0 | sort -z |
            xargs -0 timeout -k 5 300 "$program" >"build/fuzz/$target-replay.log" 2>&1; then
            echo "ok - $target: $inputs kept inputs run"
            passed=$((passed + 1))
        else
            echo "not ok - $target: $inputs kept inputs; build/fuzz/$target-replay.log:"
            grep -E 'ERROR|SUMMARY|Running' "build/fuzz/$target-replay.log" | tail -5
            failed=$((failed + 1))
        fi
        ;;
    merge)
        mkdir -p "$corpus"
        # The fewest inputs that reach every edge the two folders reach
        # (hit counts aside), so that the kept corpus stays small.
        timeout -k 5 600 "$program" -set_cover_merge=1 -use_counters=0 "$corpus" "$work" 2>&1 |
            grep -E 'MERGE-OUTER: [0-9]+ new files' || true
        ;;
    explore)
        mkdir -p "$work"
        if [ -d "$corpus" ]; then cp -n "$corpus"/* "$work"/ 2>/dev/null || true; fi
        echo "=== $target ($seconds s)"
        timeout -k 5 $((seconds + 120)) "$program" -max_total_time="$seconds" \
            -artifact_prefix=build/fuzz/"$target"- -print_final_stats=1 "$work" 2>&1 |
            grep -E 'stat::number_of_executed_units|ERROR|SUMMARY|Done' || true
        if ls build/fuzz/"$target"-crash-* >/dev/null 2>&1; then
            echo "$target: findings in build/fuzz/$target-crash-*"
            failed=$((failed + 1))
        else
            passed=$((passed + 1))
        fi
        ;;
    esac
done
[ "$mode" = merge ] && exit 0
echo "fuzz: $passed passed, $failed failed"
[ "$failed" -eq 0 ]
