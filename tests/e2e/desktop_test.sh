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
# shellcheck source=lib.sh
. "$(dirname "$0")/lib.sh"

NATIVE_BUILD=${NATIVE_BUILD:-$E2E_TOP/build/host}
TAZROSCR=${TAZROSCR:-$NATIVE_BUILD/tazroscr}
XPROBE=$NATIVE_BUILD/tests/native/xprobe
XM2WAV=$NATIVE_BUILD/tools/xm2wav/xm2wav
SONG=${SONG:-$E2E_TOP/build/assets/voxaresource-123.xm}
e2e_work desktop "$NATIVE_BUILD/e2e"
e2e_built "$TAZROSCR" "$XPROBE" "$XM2WAV" "$SONG"

# A display of two screens.
start_display 640x480x24 640x480x24 || exit 1
screens=$XVFB_DISPLAY
export DISPLAY=$screens.0
echo "# $E2E_NAME (display $screens, $(bounded -s 5 xdpyinfo | grep -c '^screen #') screens)"
start_sound "$E2E_WORK/pulse" || { fail "a private PulseAudio server with a null sink starts"; e2e_end; exit 1; }
printf 'pcm.!default { type pulse }\n' >"$E2E_WORK/pulse.conf"
export ALSA_CONFIG_PATH=$E2E_WORK/pulse.conf

# start NAME ARGS...: starts tazroscr under a timeout, with its output in
# NAME.out and NAME.err; PID is the program's process.
start() {
    local name=$1
    shift
    spawn "$name" 120 "$TAZROSCR" "$@"
    PID=$SPAWNED
}

# ends PID: TERM, then true once it has gone (within five seconds).
ends() {
    kill -TERM "$1" 2>/dev/null
    WAIT_STEP=0.01 wait_for 5 _ended "$1"
}

mixer_threads() { grep -l '^tazro-mixer$' /proc/"$1"/task/*/comm 2>/dev/null | wc -l; }
streams() { bounded -s 5 pactl list short sink-inputs 2>/dev/null | wc -l; }
# Conditions for wait_for, looked at anew at every poll.
plays() { [ "$(mixer_threads "$1")" = 1 ]; }
streams_are() { [ "$(streams)" = "$1" ]; }

# most_streams SECONDS: the most sound streams seen at once in that time.
most_streams() {
    local most=0 streams from
    from=$(now)
    while num "$(elapsed "$from")" '<' "$1"; do
        streams=$(streams)
        [ "$streams" -gt "$most" ] && most=$streams
        sleep 0.1
    done
    echo "$most"
}

# --- one song for two screens ---------------------------------------------------
start screen0 --root
first=$PID
DISPLAY=$screens.1 start screen1 --root
second=$PID
some_stream() { [ "$(streams)" -ge 1 ]; }
WAIT_STEP=0.05 wait_for 10 some_stream
most=$(most_streams 3)
echo "# measure: sound streams of two copies on two screens: $most"
check "two copies on two screens of one display play one stream ($most)" [ "$most" = 1 ]
threads="$(mixer_threads "$first") $(mixer_threads "$second")"
one_player() { [ "$threads" = "1 0" ] || [ "$threads" = "0 1" ]; }
check "one of them has a mixer thread, the other none ($threads)" one_player
if [ "$(mixer_threads "$first")" = 1 ]; then player=$first silent=$second; else player=$second silent=$first; fi
check "the copy that plays ends on SIGTERM" ends "$player"
check "the silent copy takes the music over" \
    wait_for 10 plays "$silent"
check "... as the one stream" wait_for 10 streams_are 1
ends "$silent"

# --- a preview is silent ------------------------------------------------------------
spawn window 300 "$XPROBE" window 320 240
WAIT_STEP=0.02 wait_for 10 grep -q '^window ' "$E2E_WORK/window.out"
window=$(awk '/^window / { print $2 }' "$E2E_WORK/window.out")
start preview --root --window-id "$window"
# The music, were it wanted, would start before the first frame.
wait_for 15 drawn 0 0 320 240
silent_preview() { [ "$(mixer_threads "$PID")" = 0 ] && [ "$(streams)" = 0 ]; }
check "a --window-id preview has no mixer thread and no stream ($(mixer_threads "$PID"), $(streams))" \
    silent_preview
ends "$PID"
start preview-musica --window-id "$window" --musica
check "... and plays with --musica on the command line" \
    wait_for 10 plays "$PID"
ends "$PID"

# --- a window that vanishes during the start ------------------------------------
aborts=0
bad=
runs=0
for delay in 5 10 15 20 25 30 35 40 45 50 55 60 65 70 80 90 100 150 250 500; do
    bounded -s 60 "$XPROBE" vanish 320 240 "$delay" -- "$TAZROSCR" --window-id {} --no-musica \
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
bounded -s 120 "$XM2WAV" "$SONG" "$E2E_WORK/reference.wav" --seconds 20 >/dev/null 2>&1
record_start "$E2E_WORK/stalls.wav" 120
start stalls --root
wait_for 10 streams_are 1
sleep 3 # three seconds of music before the first stall
for _ in 1 2 3; do
    kill -STOP "$PID"
    sleep 0.3 # the stall
    kill -CONT "$PID"
    sleep 1.5
done
ends "$PID"
sleep 0.3 # the last of the sound reaches the recording
record_stop
# The music in the recording (from its first sound to its last): its length,
# the silent runs of 10 ms or more within it (gaps), and for how long it is
# the render sample for sample, from where its first 20 ms lie in the render.
# shellcheck disable=SC2016 # Perl's own variables
bounded -s 120 perl -e '
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
check "three stalls of 300 ms: $(stall music) s of music recorded" num "$(stall music)" '>' 6
check "... with no gap ($(stall gaps) gaps, $(stall gap_ms) ms)" [ "$(stall gaps)" = 0 ]
render_throughout() { [ -n "$(stall same)" ] && [ "$(stall same)" = "$(stall music)" ]; }
check "... and it is xm2wav's render sample for sample ($(stall same) of $(stall music) s)" \
    render_throughout

# --- the sound server goes away and comes back ----------------------------------
start server --root
wait_for 10 streams_are 1
stop_sound
sleep 1 # the music has stopped for a second
start_sound "$E2E_WORK/pulse"
check "the music comes back when the sound server does" wait_for 15 streams_are 1
check "... and the saver still runs" alive "$PID"
ends "$PID"
check "... after one line on standard error ($(head -c 160 "$E2E_WORK/server.err"))" \
    [ "$(wc -l <"$E2E_WORK/server.err")" = 1 ]

e2e_end
