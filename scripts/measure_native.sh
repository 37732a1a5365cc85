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
seconds=${1:-10}
native=$top/build/host/tazroscr
scr=$top/build/windows/tazroscr.scr
xprobe=$top/build/host/tests/native/xprobe
for file in "$native" "$scr" "$xprobe"; do
    [ -x "$file" ] || [ -f "$file" ] || { echo "measure: build first ($file)" >&2; exit 1; }
done
work=$top/build/measure
mkdir -p "$work"

n=90
while [ -e /tmp/.X$n-lock ] || [ -e /tmp/.X11-unix/X$n ]; do n=$((n + 1)); done
timeout 900 Xvfb :$n -screen 0 1024x768x24 -nolisten tcp >/dev/null 2>&1 &
xvfb=$!
export DISPLAY=:$n
for i in $(seq 1 50); do timeout 5 xdpyinfo >/dev/null 2>&1 && break; sleep 0.1; done

export XDG_RUNTIME_DIR=$work/pulse-runtime
export PULSE_RUNTIME_PATH=$XDG_RUNTIME_DIR/pulse
mkdir -p "$XDG_RUNTIME_DIR" && chmod 700 "$XDG_RUNTIME_DIR"
timeout 20 pulseaudio --daemonize=yes --exit-idle-time=-1 --disallow-exit -n \
    --load="module-null-sink sink_name=capture" --load=module-native-protocol-unix \
    >/dev/null 2>&1
for i in $(seq 1 50); do timeout 5 pactl info >/dev/null 2>&1 && break; sleep 0.1; done
timeout 5 pactl set-default-sink capture >/dev/null 2>&1 || echo "measure: no sound server" >&2

export WINEDEBUG=-all WINEARCH=win64 WINEDLLOVERRIDES="mscoree,mshtml="
export WINEPREFIX=$work/wineprefix
if [ ! -f "$WINEPREFIX/system.reg" ]; then
    echo "Preparing a Wine prefix in $WINEPREFIX ..."
    timeout 300 wineboot -i >/dev/null 2>&1
    timeout 300 wineserver -w
fi

cleanup() {
    timeout 20 wineserver -k 2>/dev/null
    local pid
    pid=$(cat "$PULSE_RUNTIME_PATH/pid" 2>/dev/null) && kill "$pid" 2>/dev/null
    kill "$xvfb" 2>/dev/null
    return 0
}
trap cleanup EXIT
# The Wine server stays up between the runs, as on a desktop where Wine is in
# use; its own start is not counted.
timeout 900 wineserver -p 600

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
"$native" --root >/dev/null 2>&1 &
pid=$!
sleep 3
ticks() { # TASK-STAT-FILE: user + system ticks
    awk '{ sub(/^.*\) /, ""); print $12 + $13 }' "$1" 2>/dev/null
}
mixer=$(grep -l '^tazro-mixer$' /proc/$pid/task/*/comm 2>/dev/null | head -1)
mixer=${mixer%/comm}
if [ -n "$mixer" ]; then
    m0=$(ticks "$mixer/stat")
    p0=$(ticks /proc/$pid/stat)
    t0=$(date +%s.%N)
    sleep "$seconds"
    m1=$(ticks "$mixer/stat")
    p1=$(ticks /proc/$pid/stat)
    t1=$(date +%s.%N)
    hz=$(getconf CLK_TCK)
    perl -e 'printf "%-34s mixer_thread_share %.2f%% process_share %.1f%% over %.1f s\n",
        "native mixer thread", 100 * ($ARGV[1] - $ARGV[0]) / $ARGV[4] / $ARGV[5],
        100 * ($ARGV[3] - $ARGV[2]) / $ARGV[4] / $ARGV[5], $ARGV[5]' -- \
        "$m0" "$m1" "$p0" "$p1" "$hz" "$(echo "$t1 - $t0" | bc)"
else
    echo "native mixer thread: not found (no sound device?)"
fi
kill "$pid"
wait "$pid"
