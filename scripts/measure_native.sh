#!/usr/bin/env bash
# Measures the native saver against the Windows saver under Wine, on one
# virtual display of 1024 x 768 in one run, both playing their music into a
# private PulseAudio null sink:
#   - the time from the start of the process to the first frame on the
#     screen, and the frame rate (how often the middle of the screen changes),
#     for tazroscr --root (uncapped, --delay 0, and at its default delay) and
#     tazroscr.scr /s (uncapped, as on Windows), each run SECONDS long;
#   - the processor share of the native saver's mixer thread (tazro-mixer)
#     and of the whole process while playing.
# Needs the host and Windows builds (scripts/build.sh). A benchmark, not a
# test: it prints figures and judges nothing.
# Usage: scripts/measure_native.sh [SECONDS]
set -uo pipefail
cd "$(dirname "$0")/.."
top=$PWD
. scripts/lib.sh
seconds=${1:-10}
native=$top/build/host/tazroscr
scr=$top/build/windows/tazroscr.scr
xprobe=$top/build/host/tests/native/xprobe
for file in "$native" "$scr" "$xprobe"; do
    [ -x "$file" ] || [ -f "$file" ] || { echo "measure: build first ($file)" >&2; exit 1; }
done
work=$top/build/measure
mkdir -p "$work"

start_display 1024x768x24 || exit 1
start_sound "$work/pulse-runtime" || echo "measure: no sound server" >&2
[ -f "$work/wineprefix/system.reg" ] || echo "Preparing a Wine prefix in $work/wineprefix ..."
wine_prefix "$work/wineprefix" || exit 1
at_exit wine_stop
# The Wine server stays up between the runs, as on a desktop where Wine is in
# use; its own start is not counted.
bounded wineserver -p 600

# measure NAME COMMAND...: one run through xprobe, its figures on one line.
measure() {
    local name=$1 file
    shift
    file=$work/$(echo "$name" | tr -c 'A-Za-z0-9\n' '-').txt
    timeout 120 "$xprobe" measure "$seconds" 448 320 128 128 -- "$@" >"$file" 2>/dev/null
    printf '%-34s %s\n' "$name" "$(tr '\n' ' ' <"$file")"
}

echo "Display $DISPLAY, 1024 x 768, $seconds s a run; $(nproc) processors, load $(cut -d' ' -f1-3 /proc/loadavg)"
# One run of each first, so that both start from warm caches.
timeout 60 "$xprobe" measure 1 448 320 128 128 -- "$native" --root >/dev/null 2>&1
timeout 60 "$xprobe" measure 1 448 320 128 128 -- wine "$scr" /s >/dev/null 2>&1
for round in 1 2; do
    measure "native --root --delay 0" "$native" --root --delay 0
    measure "native own window --delay 0" "$native" --delay 0
    measure "Wine tazroscr.scr /s" wine "$scr" /s
done
measure "native --root (default delay)" "$native" --root

# The mixer thread's share of one processor while playing: its processor time
# (user and system, from /proc) over a stretch of the run.
TAZRO_WORK=$work
spawn mixer-run $((seconds + 60)) "$native" --root
pid=$SPAWNED
# mixer_task: the mixer thread's /proc folder, once it runs.
mixer_task() {
    local comm
    comm=$(grep -l '^tazro-mixer$' /proc/"$pid"/task/*/comm 2>/dev/null | head -1)
    [ -n "$comm" ] && echo "${comm%/comm}"
}
ticks() { # TASK-STAT-FILE: user + system ticks
    awk '{ sub(/^.*\) /, ""); print $12 + $13 }' "$1" 2>/dev/null
}
if wait_for 10 mixer_task >/dev/null; then
    mixer=$(mixer_task)
    # A second of playing first, past the start's own work.
    sleep 1
    m0=$(ticks "$mixer/stat")
    p0=$(ticks /proc/$pid/stat)
    t0=$(now)
    sleep "$seconds"
    m1=$(ticks "$mixer/stat")
    p1=$(ticks /proc/$pid/stat)
    span=$(elapsed "$t0")
    awk -v m0="$m0" -v m1="$m1" -v p0="$p0" -v p1="$p1" -v hz="$(getconf CLK_TCK)" -v t="$span" \
        'BEGIN { printf "%-34s mixer_thread_share %.2f%% process_share %.1f%% over %.1f s\n",
            "native mixer thread", 100 * (m1 - m0) / hz / t, 100 * (p1 - p0) / hz / t, t }'
else
    echo "native mixer thread: not found (no sound device?)"
fi
stop_pid "$pid"
