#!/usr/bin/env bash
# The native saver tazroscr as a desktop runs it, on a virtual X display of
# two screens with a private PulseAudio server behind ALSA's default device:
# one copy per screen plays one song between them, and another copy takes the
# music over when the one that plays ends; a --window-id preview is silent; a
# window that vanishes at any moment of the start ends the run with exit 0 or
# 1 and one line, never an abort; three stalls of the process leave no gap in
# the recorded music, which is xm2wav's render sample for sample; the music
# comes back when the sound server does. Prints the figures as "# measure:"
# lines.
set -u
. "$(dirname "$0")/lib.sh"

NATIVE_BUILD=${NATIVE_BUILD:-$E2E_TOP/build/host}
TAZROSCR=${TAZROSCR:-$NATIVE_BUILD/tazroscr}
XPROBE=$NATIVE_BUILD/tests/native/xprobe
XM2WAV=$NATIVE_BUILD/tools/xm2wav/xm2wav
SONG=${SONG:-$E2E_TOP/build/assets/voxaresource-123.xm}
E2E_NAME=desktop
E2E_WORK=$NATIVE_BUILD/e2e/desktop
rm -rf "$E2E_WORK"
mkdir -p "$E2E_WORK"
for file in "$TAZROSCR" "$XPROBE" "$XM2WAV" "$SONG"; do
    [ -e "$file" ] || { echo "e2e: build the host preset first ($file)" >&2; exit 1; }
done

# What this script starts, ended by process id at the end.
STARTED=()
desktop_cleanup() {
    local pid
    for pid in "${STARTED[@]}"; do kill "$pid" 2>/dev/null; done
    capture_stop
    e2e_stop_audio
    [ -n "$E2E_XVFB_PID" ] && kill "$E2E_XVFB_PID" 2>/dev/null
    return 0
}
trap desktop_cleanup EXIT

# A display of two screens, as lib.sh's e2e_start_display makes one of one.
n=90
while [ -e /tmp/.X$n-lock ] || [ -e /tmp/.X11-unix/X$n ]; do n=$((n + 1)); done
timeout 900 Xvfb :$n -screen 0 640x480x24 -screen 1 640x480x24 -nolisten tcp >/dev/null 2>&1 &
E2E_XVFB_PID=$!
export DISPLAY=:$n.0
for i in $(seq 1 50); do timeout 5 xdpyinfo >/dev/null 2>&1 && break; sleep 0.1; done
echo "# $E2E_NAME (display :$n, $(timeout 5 xdpyinfo | grep -c '^screen #') screens)"
e2e_start_audio || { fail "a private PulseAudio server with a null sink starts"; e2e_end; exit 1; }
printf 'pcm.!default { type pulse }\n' >"$E2E_WORK/pulse.conf"
export ALSA_CONFIG_PATH=$E2E_WORK/pulse.conf

# start NAME ARGS...: starts tazroscr under a timeout, with its output in
# NAME.out and NAME.err; PID is the program's process.
start() {
    local name=$1 wrapper i
    shift
    timeout -k 5 120 "$TAZROSCR" "$@" >"$E2E_WORK/$name.out" 2>"$E2E_WORK/$name.err" &
    wrapper=$!
    STARTED+=("$wrapper")
    PID=
    for i in $(seq 1 100); do
        PID=$(pgrep -P "$wrapper")
        [ -n "$PID" ] && break
        sleep 0.01
    done
}

# ended PID: TERM, then the exit code once it has gone (within five seconds).
ended() {
    kill -TERM "$1" 2>/dev/null
    local i
    for i in $(seq 1 500); do
        kill -0 "$1" 2>/dev/null || return 0
        sleep 0.01
    done
    return 1
}

mixer_threads() { grep -l '^tazro-mixer$' /proc/"$1"/task/*/comm 2>/dev/null | wc -l; }
streams() { timeout 5 pactl list short sink-inputs 2>/dev/null | wc -l; }
# Conditions for until_true, looked at anew at every poll.
plays() { [ "$(mixer_threads "$1")" = 1 ]; }
streams_are() { [ "$(streams)" = "$1" ]; }
recording() { [ "$(stat -c %s "$1" 2>/dev/null || echo 0)" -gt 8820 ]; }

# most_streams SECONDS: the most sound streams seen at once in that time.
most_streams() {
    local most=0 now i
    for i in $(seq 1 $(($1 * 10))); do
        now=$(streams)
        [ "$now" -gt "$most" ] && most=$now
        sleep 0.1
    done
    echo "$most"
}

# until_true SECONDS COMMAND...: polls COMMAND every 50 ms for that long.
until_true() {
    local seconds=$1 i
    shift
    for i in $(seq 1 $((seconds * 20))); do
        "$@" && return 0
        sleep 0.05
    done
    return 1
}

# --- one song for two screens ---------------------------------------------------
start screen0 --root
first=$PID
DISPLAY=:$n.1 start screen1 --root
second=$PID
some_stream() { [ "$(streams)" -ge 1 ]; }
until_true 10 some_stream
most=$(most_streams 3)
echo "# measure: sound streams of two copies on two screens: $most"
check "two copies on two screens of one display play one stream ($most)" [ "$most" = 1 ]
threads="$(mixer_threads "$first") $(mixer_threads "$second")"
one_player() { [ "$threads" = "1 0" ] || [ "$threads" = "0 1" ]; }
check "one of them has a mixer thread, the other none ($threads)" one_player
if [ "$(mixer_threads "$first")" = 1 ]; then player=$first silent=$second; else player=$second silent=$first; fi
check "the copy that plays ends on SIGTERM" ended "$player"
check "the silent copy takes the music over" \
    until_true 10 plays "$silent"
check "... as the one stream" until_true 10 streams_are 1
ended "$silent"

# --- a preview is silent ------------------------------------------------------------
timeout 300 "$XPROBE" window 320 240 >"$E2E_WORK/window.txt" &
STARTED+=($!)
until_true 5 grep -q '^window ' "$E2E_WORK/window.txt"
window=$(awk '/^window / { print $2 }' "$E2E_WORK/window.txt")
start preview --root --window-id "$window"
sleep 3 # nothing to poll for: the music, were it wanted, would start at once
silent_preview() { [ "$(mixer_threads "$PID")" = 0 ] && [ "$(streams)" = 0 ]; }
check "a --window-id preview has no mixer thread and no stream ($(mixer_threads "$PID"), $(streams))" \
    silent_preview
ended "$PID"
start preview-musica --window-id "$window" --musica
check "... and plays with --musica on the command line" \
    until_true 10 plays "$PID"
ended "$PID"

# --- a window that vanishes during the start ------------------------------------
aborts=0
bad=
runs=0
for delay in 5 10 15 20 25 30 35 40 45 50 55 60 65 70 80 90 100 150 250 500; do
    timeout 60 "$XPROBE" vanish 320 240 "$delay" -- "$TAZROSCR" --window-id {} --no-musica \
        >"$E2E_WORK/vanish.out" 2>"$E2E_WORK/vanish.err"
    code=$(awk '/^exit_code / { print $2 }' "$E2E_WORK/vanish.out")
    lines=$(wc -l <"$E2E_WORK/vanish.err")
    runs=$((runs + 1))
    [ "${code:-255}" -gt 1 ] && aborts=$((aborts + 1))
    if [ "${code:-255}" -gt 1 ] || [ "$lines" != 1 ] || ! grep -q '^tazroscr: ' "$E2E_WORK/vanish.err"; then
        bad="$bad ${delay}ms:${code:-none}/$lines"
    fi
done
echo "# measure: runs that died of a window destroyed 5 to 500 ms after the start: $aborts of $runs"
check "a window that vanishes during the start: exit 0 or 1 and one line, in $runs runs (not:${bad:- none})" \
    [ -z "$bad" ]

# --- three stalls ----------------------------------------------------------------
timeout 120 "$XM2WAV" "$SONG" "$E2E_WORK/reference.wav" --seconds 20 >/dev/null 2>&1
capture_start "$E2E_WORK/stalls.wav"
until_true 5 recording "$E2E_WORK/stalls.wav"
start stalls --root
until_true 10 streams_are 1
sleep 3
for stall in 1 2 3; do
    kill -STOP "$PID"
    sleep 0.3 # the stall
    kill -CONT "$PID"
    sleep 1.5
done
ended "$PID"
sleep 0.3
capture_stop
# The music in the recording (from its first sound to its last): its length,
# the silent runs of 10 ms or more within it (gaps), and for how long it is
# the render sample for sample, from where its first 20 ms lie in the render.
perl -e '
    sub raw { open(my $in, "-|", "sox", $_[0], qw(-t raw -e signed -b 16 -L -c 2 -r 44100 -)) or die;
              binmode $in; local $/; my $b = <$in>; return [unpack("V*", $b // "")] }
    my ($c, $r) = (raw($ARGV[0]), raw($ARGV[1]));
    my ($first) = grep { $c->[$_] } 0 .. $#$c;
    my $start = -1;
    for my $o (0 .. 3 * 44100) {
        my $k = 0;
        $k++ while $k < 882 && $c->[$first + $k] == ($r->[$o + $k] // -1);
        if ($k == 882) { $start = $o; last }
    }
    my $last = $#$c;
    $last-- while $last > 0 && !$c->[$last];
    my ($gaps, $run, $silent, $same) = (0, 0, 0, 0);
    for my $i ($first .. $last) {
        if ($c->[$i]) { if ($run >= 441) { $gaps++; $silent += $run } $run = 0 } else { $run++ }
    }
    $same++ while $start >= 0 && $first + $same <= $last && $c->[$first + $same] == ($r->[$start + $same] // -1);
    printf "music %.2f\ngaps %d\ngap_ms %.0f\nsame %.2f\n", ($last - $first + 1) / 44100, $gaps,
        $silent / 44.1, $same / 44100;' "$E2E_WORK/stalls.wav" "$E2E_WORK/reference.wav" \
    >"$E2E_WORK/stalls.txt" 2>&1
stall() { field "$1" <"$E2E_WORK/stalls.txt"; }
echo "# measure: three stalls of 300 ms: $(stall gaps) gaps, $(stall gap_ms) ms of silence in $(stall music) s of music"
check "three stalls of 300 ms: $(stall music) s of music recorded" above "$(stall music)" 6
check "... with no gap ($(stall gaps) gaps, $(stall gap_ms) ms)" [ "$(stall gaps)" = 0 ]
render_throughout() { [ -n "$(stall same)" ] && [ "$(stall same)" = "$(stall music)" ]; }
check "... and it is xm2wav's render sample for sample ($(stall same) of $(stall music) s)" \
    render_throughout

# --- the sound server goes away and comes back ----------------------------------
start server --root
until_true 10 streams_are 1
e2e_stop_audio
sleep 1 # the music has stopped for a second
e2e_start_audio
check "the music comes back when the sound server does" until_true 15 streams_are 1
check "... and the saver still runs" kill -0 "$PID"
ended "$PID"
check "... after one line on standard error ($(head -c 160 "$E2E_WORK/server.err"))" \
    [ "$(wc -l <"$E2E_WORK/server.err")" = 1 ]

e2e_end
