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
#   - processor time per frame of the native saver against four of
#     XScreenSaver's GL hacks (the last part, which --peers runs alone).
# Needs the host and Windows builds (scripts/build.sh); --peers needs only the
# host build. A benchmark, not a test: it prints figures and judges nothing.
# Usage: scripts/measure_native.sh [SECONDS]
#        scripts/measure_native.sh --peers [SECONDS [ROUNDS]]
set -uo pipefail
cd "$(dirname "$0")/.." || exit 1
top=$PWD
. scripts/lib.sh

# --- Processor time per frame against XScreenSaver's GL hacks -------------
# tazroscr --no-musica and the hacks gears, atlantis, glmatrix and
# flyingtoasters (Debian's xscreensaver-gl and xscreensaver-gl-extra), each
# alone with --root on its own 1024 x 768 virtual display (Mesa's software
# renderer), one after the other, at 30 frames per second. For each: frames
# per second, processor seconds per second (user and system, all threads,
# from /proc) and processor milliseconds per frame, over SECONDS after three
# seconds of start-up, in ROUNDS rounds (3 by default); then each program's
# median and its spread over the rounds (lowest to highest), the peers'
# median per frame and our ratio to it. On a shared or virtual machine the
# peers' figures alone can move by twice between rounds: more rounds give a
# steadier median. $TAZROSCR names another build of ours to measure.
# A small library preloaded into each program paces and counts its frames
# at its buffer swaps (glXSwapBuffers; eglSwapBuffers, which the hacks draw
# through): after each swap it sleeps to the next thirtieth of a second and
# counts the frame in a shared file. Every program runs with --delay 0, so
# the same pacing holds them all to the same rate (the hacks sleep their
# --delay after each frame, ours counts it from the frame's start).
peers_measure() { # SECONDS ROUNDS
    local seconds=$1 rounds=$2 round peers="gears atlantis glmatrix flyingtoasters"
    local hackdir=/usr/libexec/xscreensaver native=${TAZROSCR:-$top/build/host/tazroscr}
    local work=$top/build/measure-peers
    [ -x "$native" ] || { echo "measure: build first ($native)" >&2; return 1; }
    mkdir -p "$work"
    if [ ! -x $hackdir/atlantis ] || [ ! -x $hackdir/flyingtoasters ]; then
        if [ "$(id -u)" = 0 ]; then
            echo "Installing xscreensaver-gl xscreensaver-gl-extra ..."
            DEBIAN_FRONTEND=noninteractive bounded -s 600 apt-get install -y -qq \
                --no-install-recommends xscreensaver-gl xscreensaver-gl-extra >/dev/null
        else
            echo "measure: install xscreensaver-gl and xscreensaver-gl-extra for the peers" >&2
        fi
    fi
    cat >"$work/swapcount.c" <<'SWAPCOUNT'
#define _GNU_SOURCE
#include <dlfcn.h>
#include <fcntl.h>
#include <stdlib.h>
#include <sys/mman.h>
#include <time.h>
#include <unistd.h>
/* After each buffer swap: sleeps until $SWAP_PERIOD_US microseconds after
   the previous deadline (a frame that ends later than that sets the next
   deadline from its own end), then counts the frame into the file
   $SWAP_COUNT_FILE (one 64-bit count). */
static volatile unsigned long long* counter;
static struct timespec deadline;
static void Pace(void) {
    const char* text = getenv("SWAP_PERIOD_US");
    long period = text ? atol(text) : 0;
    struct timespec now;
    if (period <= 0)
        return;
    clock_gettime(CLOCK_MONOTONIC, &now);
    deadline.tv_nsec += period * 1000;
    deadline.tv_sec += deadline.tv_nsec / 1000000000;
    deadline.tv_nsec %= 1000000000;
    if (now.tv_sec > deadline.tv_sec ||
        (now.tv_sec == deadline.tv_sec && now.tv_nsec > deadline.tv_nsec))
        deadline = now;
    else
        clock_nanosleep(CLOCK_MONOTONIC, TIMER_ABSTIME, &deadline, 0);
}
static void Count(void) {
    Pace();
    if (counter == 0) {
        const char* path = getenv("SWAP_COUNT_FILE");
        int fd = path ? open(path, O_RDWR | O_CREAT, 0644) : -1;
        void* p = MAP_FAILED;
        if (fd >= 0 && ftruncate(fd, sizeof *counter) == 0)
            p = mmap(0, sizeof *counter, PROT_READ | PROT_WRITE, MAP_SHARED, fd, 0);
        if (p == MAP_FAILED)
            return;
        counter = p;
    }
    ++*counter;
}
void glXSwapBuffers(void* display, unsigned long drawable) {
    static void (*real)(void*, unsigned long);
    if (real == 0)
        real = (void (*)(void*, unsigned long))dlsym(RTLD_NEXT, "glXSwapBuffers");
    real(display, drawable);
    Count();
}
unsigned eglSwapBuffers(void* display, void* surface) {
    static unsigned (*real)(void*, void*);
    if (real == 0)
        real = (unsigned (*)(void*, void*))dlsym(RTLD_NEXT, "eglSwapBuffers");
    const unsigned done = real(display, surface);
    Count();
    return done;
}
SWAPCOUNT
    bounded -s 120 cc -O2 -shared -fPIC -o "$work/swapcount.so" "$work/swapcount.c" -ldl ||
        { echo "measure: cannot build the swap counter" >&2; return 1; }

    xvfb_start 1024x768x24 || return 1
    local display=$XVFB_DISPLAY
    # shellcheck disable=SC2034 # where spawn keeps its files
    TAZRO_WORK=$work

    # peers_run SECONDS COMMAND...: PEERS_LINE is "fps cpu_per_second
    # ms_per_frame" of one run, measured after three seconds of start-up.
    peers_run() {
        local span=$1 count=$work/swaps begin pid c0 f0 t0 c1 f1 t
        shift
        rm -f "$count"
        begin=$(now)
        spawn peer $((span + 30)) env DISPLAY="$display" SWAP_COUNT_FILE="$count" \
            SWAP_PERIOD_US=33333 LD_PRELOAD="$work/swapcount.so" "$@"
        pid=$SPAWNED
        sleep_until "$begin" 3
        c0=$(peers_ticks "$pid") f0=$(peers_swaps "$count") t0=$(now)
        sleep_until "$t0" "$span"
        c1=$(peers_ticks "$pid") f1=$(peers_swaps "$count") t=$(elapsed "$t0")
        stop_pid "$pid"
        PEERS_LINE=$(awk -v c0="${c0:-0}" -v c1="${c1:-0}" -v f0="${f0:-0}" -v f1="${f1:-0}" \
            -v t="$t" -v hz="$(getconf CLK_TCK)" 'BEGIN {
                cpu = (c1 - c0) / hz; frames = f1 - f0
                printf "%.1f %.3f %.2f\n", frames / t, cpu / t, (frames > 0 ? 1000 * cpu / frames : 0)
            }')
    }
    peers_ticks() { # PID: user + system ticks of all its threads
        awk '{ sub(/^.*\) /, ""); print $12 + $13 }' "/proc/$1/stat" 2>/dev/null
    }
    peers_swaps() { # FILE: the count in it
        [ -s "$1" ] && od -An -tu8 "$1" | tr -d ' ' || echo 0
    }

    echo "Processor time per frame, each program alone with --root on a 1024 x 768 display,"
    echo "30 frames per second, $seconds s a run, $rounds rounds; $(nproc) processors, load $(cut -d' ' -f1-3 /proc/loadavg)"
    printf '%-24s %6s %12s %14s\n' program fps "cpu s per s" "cpu ms/frame"
    local peer figures results=$work/results.txt
    : >"$results"
    for ((round = 0; round < rounds; round++)); do
        peers_run "$seconds" "$native" --root --no-musica --delay 0
        echo "tazroscr $PEERS_LINE" >>"$results"
        read -ra figures <<<"$PEERS_LINE"
        printf '%-24s %6s %12s %14s\n' "tazroscr --no-musica" "${figures[@]}"
        for peer in $peers; do
            [ -x "$hackdir/$peer" ] || continue
            peers_run "$seconds" "$hackdir/$peer" --root --delay 0
            echo "$peer $PEERS_LINE" >>"$results"
            read -ra figures <<<"$PEERS_LINE"
            printf '%-24s %6s %12s %14s\n' "$peer" "${figures[@]}"
        done
    done
    stop_pid "$XVFB_PID"
    # Each program's median and spread over the rounds, then the peers' median.
    perl -e 'my %ms; while (<>) { my ($p, $fps, $cps, $ms) = split; push @{$ms{$p}}, $ms }
        sub median { my @v = sort { $a <=> $b } @_; my $n = @v;
            $n % 2 ? $v[$n / 2] : ($v[$n / 2 - 1] + $v[$n / 2]) / 2 }
        sub figure { my @v = sort { $a <=> $b } @{$ms{$_[0]}};
            sprintf "%s %.2f (%.2f-%.2f)", $_[0], median(@v), $v[0], $v[-1] }
        my @names = grep { $_ ne "tazroscr" } sort keys %ms;
        exit 0 unless @names && $ms{tazroscr};
        my ($ours, $peer) = (median(@{$ms{tazroscr}}), median(map { median(@{$ms{$_}}) } @names));
        printf "median per frame, ms (spread): %s; %s; the peers %.2f; ratio %.2f\n",
            figure("tazroscr"), join(", ", map { figure($_) } @names), $peer, $ours / $peer' \
        "$results"
}
if [ "${1:-}" = --peers ]; then
    peers_measure "${2:-10}" "${3:-3}"
    exit
fi
# --- End of the comparison with XScreenSaver's GL hacks -------------------
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
for _ in 1 2; do
    measure "native --root --delay 0" "$native" --root --delay 0
    measure "native own window --delay 0" "$native" --delay 0
    measure "Wine tazroscr.scr /s" wine "$scr" /s
done
measure "native --root (default delay)" "$native" --root

# The mixer thread's share of one processor while playing: its processor time
# (user and system, from /proc) over a stretch of the run.
# shellcheck disable=SC2034 # where spawn keeps its files
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
    p0=$(ticks "/proc/$pid/stat")
    t0=$(now)
    sleep "$seconds"
    m1=$(ticks "$mixer/stat")
    p1=$(ticks "/proc/$pid/stat")
    span=$(elapsed "$t0")
    awk -v m0="$m0" -v m1="$m1" -v p0="$p0" -v p1="$p1" -v hz="$(getconf CLK_TCK)" -v t="$span" \
        'BEGIN { printf "%-34s mixer_thread_share %.2f%% process_share %.1f%% over %.1f s\n",
            "native mixer thread", 100 * (m1 - m0) / hz / t, 100 * (p1 - p0) / hz / t, t }'
else
    echo "native mixer thread: not found (no sound device?)"
fi
stop_pid "$pid"

peers_measure "$seconds" 3
