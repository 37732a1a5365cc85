#!/usr/bin/env bash
# The unit tests of one host build: tests/unit_tests.sh PRESET (host, or
# host-asan with the sanitizers' options of its test preset).
#
# CTest starts a process for each of the GoogleTest programs' tests (about
# 270 of them), and under the sanitizers those starts cost more than the
# tests. Here each GoogleTest program (CTest label "gtest") runs all its
# tests in one process, two programs at a time, in the folder CTest would
# run it in; the other tests (tools, generators, scripts) run through CTest.
# Ends with one "unit: N passed, M failed" line over both.
set -uo pipefail
cd "$(dirname "$0")/.." || exit 1
. scripts/lib.sh
preset=${1:?usage: tests/unit_tests.sh PRESET}
jobs=${JOBS:-$(nproc)}
if [ "$preset" = host-asan ]; then
    export LSAN_OPTIONS=suppressions=$TAZRO_TOP/tests/lsan.supp:print_suppressions=0
    export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
fi
work=$(ctest --preset "$preset" -N 2>/dev/null | sed -n 's/^Test project //p')
logs=$work/unit-logs
rm -rf "$logs"
mkdir -p "$logs"

# The GoogleTest programs: "FOLDER PROGRAM" lines, each once.
ctest --preset "$preset" -L gtest -N --show-only=json-v1 2>/dev/null | perl -MJSON::PP -e '
    local $/;
    my %seen;
    for my $test (@{decode_json(<STDIN>)->{tests}}) {
        my ($folder) = map { $_->{value} } grep { $_->{name} eq "WORKING_DIRECTORY" }
            @{$test->{properties} // []};
        my $line = ($folder // ".") . " " . $test->{command}[0];
        print "$line\n" unless $seen{$line}++;
    }' >"$logs/programs.txt"

# run FOLDER PROGRAM: all of a program's tests, its output in the logs.
run() {
    local log
    log=$logs/$(basename "$2").log
    (cd "$1" && bounded -s 900 "$2" --gtest_also_run_disabled_tests --gtest_color=no) >"$log" 2>&1
    echo $? >"$log.rc"
}
pids=()
while read -r folder program; do
    if [ ${#pids[@]} -ge "$jobs" ]; then
        wait "${pids[0]}"
        pids=("${pids[@]:1}")
    fi
    run "$folder" "$program" &
    pids+=($!)
done <"$logs/programs.txt"
ctest --preset "$preset" -LE gtest -j "$jobs" >"$logs/ctest.log" 2>&1
wait

passed=0
failed=0
while read -r _ program; do
    log=$logs/$(basename "$program").log
    p=$(sed -nE 's/^\[  PASSED  \] ([0-9]+) tests?\..*/\1/p' "$log" | tail -1)
    f=$(sed -nE 's/^\[  FAILED  \] ([0-9]+) tests?, listed below.*/\1/p' "$log" | tail -1)
    echo "# $(basename "$program"): passed ${p:-0}, failed ${f:-0}, exit code $(cat "$log.rc")"
    sed -nE 's/^\[  FAILED  \] ([A-Za-z0-9_]+\.[A-Za-z0-9_/]+).*/not ok - \1/p' "$log" | sort -u
    passed=$((passed + ${p:-0}))
    failed=$((failed + ${f:-0}))
    # A program that ended badly without a failed test (a crash, a
    # sanitizer's report at the exit) is one failure.
    if [ "$(cat "$log.rc")" != 0 ] && [ "${f:-0}" = 0 ]; then
        echo "not ok - $(basename "$program") ended with $(cat "$log.rc"); see $log"
        tail -n 20 "$log"
        failed=$((failed + 1))
    fi
done <"$logs/programs.txt"
line=$(grep -E 'tests passed, [0-9]+ tests failed out of [0-9]+' "$logs/ctest.log" | tail -1)
total=$(echo "$line" | sed -nE 's/.*out of ([0-9]+).*/\1/p')
f=$(echo "$line" | sed -nE 's/.* ([0-9]+) tests failed out of.*/\1/p')
echo "# other tests through CTest: passed $((${total:-0} - ${f:-0})), failed ${f:-0}"
grep -E '\*\*\*Failed|Not Run|Timeout|Exception' "$logs/ctest.log" | sed 's/^/not ok - /'
if [ -z "$line" ]; then
    echo "not ok - CTest did not run; see $logs/ctest.log"
    failed=$((failed + 1))
fi
passed=$((passed + ${total:-0} - ${f:-0}))
failed=$((failed + ${f:-0}))
echo "unit: $passed passed, $failed failed"
[ "$failed" -eq 0 ]
