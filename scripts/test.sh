#!/usr/bin/env bash
# Installs what is missing, builds everything, and runs every test:
#  1. host unit tests, 2. the same under AddressSanitizer and UBSan, and the
#  playback tests under ThreadSanitizer,
#  3. the core tests cross-built and run under Wine, 4. the end-to-end tests
#  of the real tazroscr.scr under Wine on a virtual display (and of the
#  native saver and the web edition).
# Ends with one "N passed, M failed" line over all suites.
set -uo pipefail
cd "$(dirname "$0")/.."
top=$PWD
jobs=${JOBS:-$(nproc)}

bash scripts/deps.sh || exit 1
bash scripts/build.sh --asan || exit 1
# The playback tests only, under ThreadSanitizer.
cmake --preset host-tsan >/dev/null && cmake --build --preset host-tsan -j "$jobs" || exit 1
# The web edition, for tests/e2e/web_test.sh.
cmake --preset web >/dev/null && cmake --build --preset web -j "$jobs" || exit 1

passed=0 # tests
failed=0
failures=() # suites

# count LOG: adds the suite's test counts to passed and failed. Understands
# CTest's summary, GoogleTest's and our scripts' "N passed, M failed" lines.
count() {
    local log=$1 p=0 f=0 line
    if line=$(grep -E 'tests passed, [0-9]+ tests failed out of [0-9]+' "$log" | tail -1) && [ -n "$line" ]; then
        f=$(echo "$line" | sed -E 's/.* ([0-9]+) tests failed out of ([0-9]+).*/\1/')
        p=$(( $(echo "$line" | sed -E 's/.*out of ([0-9]+).*/\1/') - f ))
    elif grep -qE '^\[==========\] [0-9]+ tests? from .* ran' "$log"; then
        p=$(grep -E '^\[  PASSED  \] [0-9]+ test' "$log" | tail -1 | sed -E 's/.* ([0-9]+) tests?.*/\1/')
        f=$(grep -E '^\[  FAILED  \] [0-9]+ tests?,' "$log" | tail -1 | sed -E 's/.* ([0-9]+) tests?,.*/\1/')
    else
        while read -r line; do
            p=$((p + $(echo "$line" | sed -E 's/.*: ([0-9]+) passed, ([0-9]+) failed.*/\1/')))
            f=$((f + $(echo "$line" | sed -E 's/.*: ([0-9]+) passed, ([0-9]+) failed.*/\2/')))
        done < <(grep -E ': [0-9]+ passed, [0-9]+ failed' "$log")
    fi
    passed=$((passed + ${p:-0}))
    failed=$((failed + ${f:-0}))
    echo "    ${p:-0} passed, ${f:-0} failed"
}

# suite NAME COMMAND...: runs one suite; its output is kept in build/test-logs.
mkdir -p build/test-logs
suite() {
    local name=$1
    shift
    local log=build/test-logs/$name.log
    echo "=== $name"
    local start=$SECONDS
    local before=$failed
    if "$@" >"$log" 2>&1; then
        echo "    suite passed ($((SECONDS - start)) s)"
        count "$log"
    else
        echo "    SUITE FAILED ($((SECONDS - start)) s); last lines of $log:"
        tail -n 30 "$log" | sed 's/^/    | /'
        failures+=("$name")
        count "$log"
        # A suite that failed without a failing test (a crash, a time-out)
        # still counts as one failure.
        [ $failed -eq $before ] && failed=$((failed + 1))
    fi
    grep -E '^not ok - ' "$log" | sed 's/^/    /' | head -20
}

suite host-unit ctest --preset host -j "$jobs"
suite host-asan ctest --preset host-asan -j "$jobs"
# The mixer thread over the null device: start, stop, second start, failures.
suite host-tsan ctest --preset host-tsan
# Real modules from Debian's game data, rendered under the sanitizers.
suite debian-xm timeout 1200 sh tests/music/debian_xm.sh build/asan/tools/xm2wav/xm2wav
# A short run of every fuzz target over its kept corpus (regressions included).
suite fuzz-smoke bash scripts/fuzz.sh "${FUZZ_SECONDS:-15}"
# Both packages, made by CPack and checked: contents, lintian, an install into
# a throw-away root, the command lines of the XScreenSaver settings file.
suite packages sh -c 'bash scripts/package.sh && bash tests/package/package_test.sh'

export WINEDEBUG=-all WINEARCH=win64 WINEDLLOVERRIDES="mscoree,mshtml="
export WINEPREFIX=$top/build/windows/e2e/prefix
rm -rf "$WINEPREFIX"
mkdir -p "$WINEPREFIX"
echo "=== preparing a fresh Wine prefix"
timeout 300 wineboot -i >/dev/null 2>&1 || echo "    wineboot failed"
timeout 300 wineserver -w # wineboot returns before the prefix is ready
. tests/e2e/lib.sh
wine_fonts "$WINEPREFIX"

suite wine-unit timeout 600 wine build/windows/tests/tazro_tests.exe
# The system's bitmap loading against the portable decoder, under Wine.
suite wine-textures timeout 300 wine build/windows/tests/terrain/tazro_win32_texture_tests.exe
for script in tests/e2e/*_test.sh; do
    suite "e2e-$(basename "$script" .sh)" timeout 900 bash "$script"
done
timeout 20 wineserver -k 2>/dev/null

echo
if [ $failed -gt 0 ]; then
    echo "Failed suites: ${failures[*]}"
fi
echo "$passed passed, $failed failed"
[ $failed -eq 0 ] && [ ${#failures[@]} -eq 0 ]
