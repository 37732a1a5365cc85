#!/usr/bin/env bash
# The README's main command as a newcomer first runs it: `bash scripts/run.sh`
# without a display and without a Wine prefix. It must make the prefix, run
# the saver on a virtual display, exit 0, and leave a screenshot of the scene
# and a recording of the music in out/ (the run script's own output folder).
set -u
# shellcheck source=lib.sh
. "$(dirname "$0")/lib.sh"
e2e_work first_run
# A prefix of this test's own, which does not exist yet.
export WINEPREFIX=$E2E_WORK/prefix
unset DISPLAY
# shellcheck disable=SC2016 # evaluated at the exit
at_exit 'rm -rf "$WINEPREFIX"'
echo "# $E2E_NAME (prefix $WINEPREFIX, no display)"

OUT=$E2E_TOP/out
start=$(now)
bounded -s 600 bash "$E2E_TOP/scripts/run.sh" >"$E2E_WORK/run.txt" 2>&1
code=$?
echo "# measure: run.sh from a missing prefix took $(elapsed "$start") s"
sed 's/^/#   /' "$E2E_WORK/run.txt" | tail -n 6
check "run.sh exits 0 (got $code)" [ "$code" = 0 ]
check "run.sh made the prefix" [ -f "$WINEPREFIX/system.reg" ]
check "run.sh prints the screenshot's path" grep -qx "Screenshot: $OUT/screenshot.png" "$E2E_WORK/run.txt"
check "run.sh prints the recording's path" grep -qx "Audio: *$OUT/audio.wav" "$E2E_WORK/run.txt"

measure "$OUT/screenshot.png" >"$E2E_WORK/screenshot.txt" 2>/dev/null
echo "# screenshot: $(tr '\n' ' ' <"$E2E_WORK/screenshot.txt")"
m=$E2E_WORK/screenshot.txt
check "the screenshot is not black (mean $(value mean <"$m"))" [ "$(value mean <"$m")" -ge 40 ]
check "the floor fills the screenshot's bottom quarter ($(value floorlow <"$m") %)" \
    [ "$(value floorlow <"$m")" -ge 80 ]
check "the character shows in the screenshot ($(value red <"$m") % red clothing)" \
    num "$(value red <"$m")" '>' 0.1

seconds=$(bounded sox "$OUT/audio.wav" -n stat 2>&1 | awk '/^Length/ { printf "%d", $3 }')
level=$(peak "$OUT/audio.wav")
check "the recording lasts the run ($seconds s)" [ "${seconds:-0}" -ge 8 ]
check "the recording holds the music (peak $level)" [ "${level:-0}" -ge 1000 ]

e2e_end
