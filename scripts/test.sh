#!/usr/bin/env bash
# Installs what is missing, builds everything, and runs every test:
#  1. host unit tests, 2. the same under AddressSanitizer and UBSan, and the
#  playback tests under ThreadSanitizer,
#  3. the core tests cross-built and run under Wine, 4. the end-to-end tests
#  of the real tazroscr.scr under Wine, of the native tazroscr on virtual
#  displays and of the web edition in headless Chromium, 5. the packages,
#  real modules from Debian, the fuzz corpora.
# Suites that share nothing run in two lanes side by side: the Wine lane
# (one prefix, shared by the core tests under Wine and the end-to-end
# scripts that use it) and the other lane (the end-to-end scripts with a
# display and a sound server of their own, the packages, the host tests).
# Each suite's time and counts are printed as it ends; the closing line is
# one "N passed, M failed" over all suites.
set -uo pipefail
cd "$(dirname "$0")/.." || exit 1
. scripts/lib.sh
top=$TAZRO_TOP
jobs=${JOBS:-$(nproc)}

bash scripts/deps.sh || exit 1
bash scripts/build.sh --asan || exit 1
# The playback tests, under ThreadSanitizer; the fuzz targets; the web
# edition, for tests/e2e/web_test.sh.
for preset in host-tsan fuzz web; do
    cmake --preset "$preset" >/dev/null && cmake --build --preset "$preset" -j "$jobs" >/dev/null ||
        exit 1
done

logs=build/test-logs
# Each suite's time in the previous run, to start the longest first.
declare -A before=()
for result in "$logs"/*.result; do
    [ -f "$result" ] || continue
    read -r _ seconds _ <"$result"
    before[$(basename "$result" .result)]=$seconds
done
rm -rf "$logs"
mkdir -p "$logs"
: >"$logs/order"

# count LOG: "PASSED FAILED" of a suite's log. Understands CTest's summary,
# GoogleTest's and our scripts' "N passed, M failed" lines.
count() {
    local log=$1 p=0 f=0 line
    if line=$(grep -E 'tests passed, [0-9]+ tests failed out of [0-9]+' "$log" | tail -1) && [ -n "$line" ]; then
        f=$(echo "$line" | sed -E 's/.* ([0-9]+) tests failed out of ([0-9]+).*/\1/')
        p=$(($(echo "$line" | sed -E 's/.*out of ([0-9]+).*/\1/') - f))
    elif grep -qE '^\[==========\] [0-9]+ tests? from .* ran' "$log"; then
        p=$(grep -E '^\[  PASSED  \] [0-9]+ test' "$log" | tail -1 | sed -E 's/.* ([0-9]+) tests?.*/\1/')
        f=$(grep -E '^\[  FAILED  \] [0-9]+ tests?,' "$log" | tail -1 | sed -E 's/.* ([0-9]+) tests?,.*/\1/')
    else
        while read -r line; do
            p=$((p + $(echo "$line" | sed -E 's/.*: ([0-9]+) passed, ([0-9]+) failed.*/\1/')))
            f=$((f + $(echo "$line" | sed -E 's/.*: ([0-9]+) passed, ([0-9]+) failed.*/\2/')))
        done < <(grep -E ': [0-9]+ passed, [0-9]+ failed' "$log")
    fi
    echo "${p:-0} ${f:-0}"
}

# suite NAME COMMAND...: runs one suite, its output kept in build/test-logs;
# prints its heading, time and counts (in one write, so that the lanes'
# reports do not mix) and keeps "EXIT_CODE SECONDS PASSED FAILED".
suite() {
    local name=$1 start code seconds p f report
    shift
    echo "$name" >>"$logs/order"
    start=$(now)
    "$@" >"$logs/$name.log" 2>&1
    code=$?
    seconds=$(elapsed "$start")
    read -r p f <<<"$(count "$logs/$name.log")"
    echo "$code $seconds $p $f" >"$logs/$name.result"
    if [ $code = 0 ]; then
        report="=== $name"$'\n'"    suite passed ($seconds s)"$'\n'"    $p passed, $f failed"
    else
        report="=== $name"$'\n'"    SUITE FAILED ($seconds s); last lines of $logs/$name.log:"
        report+=$'\n'"$(tail -n 30 "$logs/$name.log" | sed 's/^/    | /')"$'\n'"    $p passed, $f failed"
    fi
    report+=$'\n'"$(grep -E '^not ok - ' "$logs/$name.log" | sed 's/^/    /' | head -20)"
    printf '%s\n' "${report%$'\n'}"
}

# The end-to-end scripts that share the run's Wine prefix (they call
# e2e_begin) run one after another in the Wine lane. The other suites (the
# end-to-end scripts with a prefix, a display and a sound server of their
# own, the packages, the host tests) wait in a queue, the longest in the
# previous run first: the other lane takes them one at a time, and so does
# the Wine lane once its own scripts have run. A script marked
# "# test.sh: quiet" (it records sound in real time) runs at the end of the
# Wine lane, once the queue is empty and the other lane has ended.
wine_scripts=()
quiet_scripts=()
queued=(packages host-unit host-asan host-tsan debian-xm fuzz-smoke)
for script in tests/e2e/*_test.sh; do
    if grep -q '^# test.sh: quiet' "$script"; then
        quiet_scripts+=("$script")
    elif grep -q '^e2e_begin ' "$script"; then
        wine_scripts+=("$script")
    else
        queued+=("$script")
    fi
done

# suite_name ENTRY: the suite's name of a queue entry (a script's, or the
# entry itself).
suite_name() {
    case $1 in
    *.sh) echo "e2e-$(basename "$1" .sh)" ;;
    *) echo "$1" ;;
    esac
}

# The queue, one entry a line, the longest first (unknown ones first of all).
for entry in "${queued[@]}"; do
    echo "${before[$(suite_name "$entry")]:-9999} $entry"
done | sort -s -k1,1 -rn | cut -d' ' -f2- >"$logs/queue"

# take: the next entry of the queue, taken from it; false when it is empty.
take() {
    # shellcheck disable=SC2016 # the file is the inner shell's $0
    bounded flock -w 20 "$logs/queue.lock" sh -c 'head -n 1 "$0" | grep . && sed -i 1d "$0"' "$logs/queue"
}

# e2e SCRIPT: one end-to-end script as a suite.
e2e() {
    suite "e2e-$(basename "$1" .sh)" bounded -s 900 bash "$1"
}

# run ENTRY: one suite of the queue, outside the Wine lane's prefix.
run() {
    (
        unset WINEPREFIX
        case $1 in
        # Both packages, made by CPack and checked: contents, lintian, an
        # install into a throw-away root, the command lines of the
        # XScreenSaver settings file.
        packages) suite packages sh -c 'bash scripts/package.sh && bash tests/package/package_test.sh' ;;
        host-unit) suite host-unit bash tests/unit_tests.sh host ;;
        host-asan) suite host-asan bash tests/unit_tests.sh host-asan ;;
        # The mixer thread over the null device: start, stop, second start,
        # failures.
        host-tsan) suite host-tsan ctest --preset host-tsan ;;
        # Real modules from Debian's game data, rendered under the sanitizers.
        debian-xm) suite debian-xm bounded -s 1200 sh tests/music/debian_xm.sh build/asan/tools/xm2wav/xm2wav ;;
        # Every fuzz target over its kept corpus (regressions included).
        fuzz-smoke) suite fuzz-smoke bash scripts/fuzz.sh --replay ;;
        *) e2e "$1" ;;
        esac
    )
}

# drain: runs the queue's suites until it is empty.
drain() {
    local entry
    while entry=$(take); do
        run "$entry"
    done
}

# The other lane: the queue.
lane_other() {
    drain
}

# The Wine lane: one fresh prefix for the core tests under Wine and the
# end-to-end scripts that share it; then the queue.
lane_wine() {
    export WINEPREFIX=$top/build/windows/e2e/prefix
    local start script
    start=$(now)
    wine_prefix "$WINEPREFIX" fresh
    echo "=== a fresh Wine prefix ($(elapsed "$start") s)"
    suite wine-unit bounded -s 600 wine build/windows/tests/tazro_tests.exe
    # The system's bitmap loading against the portable decoder, under Wine.
    suite wine-textures bounded -s 300 wine build/windows/tests/terrain/tazro_win32_texture_tests.exe
    for script in "${wine_scripts[@]}"; do
        e2e "$script"
    done
    drain
    wait "$other_lane"
    for script in "${quiet_scripts[@]}"; do
        e2e "$script"
    done
    wine_stop
}

start=$(now)
lane_other &
other_lane=$!
started "$other_lane"
lane_wine
wait "$other_lane" 2>/dev/null

passed=0
failed=0
failures=()
while read -r name; do
    read -r code _ p f <"$logs/$name.result"
    passed=$((passed + p))
    failed=$((failed + f))
    if [ "$code" != 0 ]; then
        failures+=("$name")
        # A suite that failed without a failing test (a crash, a time-out)
        # still counts as one failure.
        [ "$f" = 0 ] && failed=$((failed + 1))
    fi
done <"$logs/order"
echo
echo "The suites took $(elapsed "$start") s side by side."
[ ${#failures[@]} -gt 0 ] && echo "Failed suites: ${failures[*]}"
echo "$passed passed, $failed failed"
[ $failed -eq 0 ] && [ ${#failures[@]} -eq 0 ]
