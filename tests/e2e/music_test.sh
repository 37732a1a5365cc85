#!/usr/bin/env bash
# The real screen saver's music under Wine, recorded from a PulseAudio null
# sink: a full-screen run plays the embedded song (compared with xm2wav's
# render of it), runs with musica off and in preview are silent and have no
# mixer thread, a run without any sound device says so on standard output and
# goes on, and every run ends promptly after the key press.
# What it records is the sound server's output in real time, which breaks up
# when other work takes the processors, so scripts/test.sh runs it with the
# machine otherwise quiet:
# test.sh: quiet
set -u
# shellcheck source=lib.sh
. "$(dirname "$0")/lib.sh"
e2e_begin music

HERE=$(cd "$(dirname "$0")" && pwd)
XM2WAV=${XM2WAV:-$E2E_TOP/build/host/tools/xm2wav/xm2wav}
SONG=${SONG:-$E2E_TOP/build/assets/voxaresource-123.xm}
DRIVERS_SUBKEY='Software\Wine\Drivers'
MUSIC=${MUSIC_SECONDS:-12} # seconds of music recorded from the /s run

if [ ! -x "$XM2WAV" ] || [ ! -f "$SONG" ]; then
    echo "e2e: build the host preset first ($XM2WAV, $SONG)" >&2
    exit 1
fi

# The prefix's windows are unmanaged (e2e_begin), so that the exit times
# below are the program's own. The audio driver set off at the end is
# restored.
# shellcheck disable=SC2016 # evaluated at the exit
at_exit 'driver reg-delete "$DRIVERS_SUBKEY" Audio'

# set_musica 0|1: stores musica as the configuration dialog does (a one-byte
# REG_DWORD, which reg.exe cannot write).
set_musica() {
    reg_bytes musica 4 "0$1"
    [ "$(reg_value musica)" = "4 1 0$1" ]
}

# sounding FILE: the last tenth of a second of a recording is not silent.
sounding() {
    [ "$(tail -c 17640 "$1" 2>/dev/null | tr -d '\0' | head -c 1 | wc -c)" = 1 ]
}

# recorded_at_least FILE BYTES: the recording has grown to that size.
recorded_at_least() {
    [ "$(stat -c %s "$1" 2>/dev/null || echo 0)" -ge "$2" ]
}

# start_saver ARGS...: starts the saver and waits for its first picture (its
# music, when it plays any, has started before it).
start_saver() {
    saver_start "$@"
    driver wait-window XIOpenGL - 30000 >"$E2E_WORK/window.txt"
    wait_for 20 drawn
}

# threads FILE: the saver's thread figures ("threads N", "time-critical N").
threads() {
    driver threads tazroscr.scr >"$1"
}

# end_saver: presses a key and prints the seconds until the process is gone
# (or "hang" after ten seconds).
end_saver() {
    local start
    start=$(now)
    bounded xdotool key space
    if WAIT_STEP=0.01 wait_for 10 _ended "$SAVER_PID"; then
        elapsed "$start"
        saver_wait 10 >/dev/null
        SAVER_PID=
    else
        echo hang
    fi
}

mkdir -p "$E2E_WORK/pulse"
start_sound "$E2E_WORK/pulse" || {
    fail "a private PulseAudio server with a null sink starts"
    e2e_end
    exit 1
}

# --- Wine's own audio threads, counted while the test driver plays a tone ---
check "the null sink records" record_start "$E2E_WORK/tone.wav"
driver_once tone 4 >"$E2E_WORK/tone.txt" &
tone_job=$!
WAIT_STEP=0.2 wait_for 10 sounding "$E2E_WORK/tone.wav"
driver threads tazro_driver.exe >"$E2E_WORK/threads-tone.txt"
wait "$tone_job"
record_stop
audio_critical=$(field time-critical <"$E2E_WORK/threads-tone.txt")
echo "# a tone on the wave output: $(field threads <"$E2E_WORK/threads-tone.txt") threads, $audio_critical time-critical"
check "the tone plays" [ "$(cat "$E2E_WORK/tone.txt")" = "played 4" ]
echo "# the tone's recording peaks at $(peak "$E2E_WORK/tone.wav") (8000 played)"

# --- /s with musica on: the song plays --------------------------------------
bounded -s 120 "$XM2WAV" "$SONG" "$E2E_WORK/reference.wav" --seconds 40 >/dev/null 2>&1
check "musica is stored on" set_musica 1
record_start "$E2E_WORK/on.wav"
bounded xdotool mousemove 500 400
start_saver /s
WAIT_STEP=0.2 wait_for 10 sounding "$E2E_WORK/on.wav"
# Where the music starts in the recording, and where MUSIC seconds of it end.
music_at=$(stat -c %s "$E2E_WORK/on.wav" 2>/dev/null || echo 0)
until=$((music_at + MUSIC * 176400))
threads "$E2E_WORK/threads-on.txt"
on_threads=$(field threads <"$E2E_WORK/threads-on.txt")
on_critical=$(field time-critical <"$E2E_WORK/threads-on.txt")
echo "# /s, musica on: $on_threads threads, $on_critical time-critical"
check "/s with musica on has one time-critical thread more than Wine's audio ($on_critical)" \
    [ "$on_critical" = $((audio_critical + 1)) ]
WAIT_STEP=0.5 wait_for $((MUSIC + 10)) recorded_at_least "$E2E_WORK/on.wav" "$until"
check "/s with musica on still runs after $MUSIC s of music" [ "$(saver_wait 0)" = running ]
on_exit=$(end_saver)
echo "# measure: key press to end of process with music: $on_exit s"
check "/s with music ends within a second of the key press ($on_exit s)" num "$on_exit" '<' 1
record_stop
check "/s with musica on prints nothing" [ ! -s "$E2E_WORK/saver.out" ]

bounded -s 120 perl "$HERE/wav_match.pl" "$E2E_WORK/reference.wav" "$E2E_WORK/on.wav" 10 8 50 \
    >"$E2E_WORK/match.txt" 2>&1
sed 's/^/# match: /' "$E2E_WORK/match.txt"
on_peak=$(peak "$E2E_WORK/on.wav")
check "the recording of /s is not silent (peak $on_peak)" num "$on_peak" '>=' 1000
match() { field "$1" <"$E2E_WORK/match.txt"; }
# Under load the audio path may drop or insert a few milliseconds, so the
# match is judged piece by piece (two seconds each) as well as as a whole.
check "the recorded music matches xm2wav's render piece by piece (median $(match piece_median))" \
    num "$(match piece_median)" '>=' 0.9
check "no two seconds of the recording differ from the render (lowest $(match piece_min))" \
    num "$(match piece_min)" '>=' 0.5
check "the whole ten seconds match the render at one offset ($(match correlation))" \
    num "$(match correlation)" '>=' 0.75
check "that offset stands out from every other one (next best $(match runner_up))" \
    num "$(match runner_up)" '<' "$(difference "$(match correlation)" 0.2)"
check "the music starts within 6 s of the recording ($(match offset) s)" num "$(match offset)" '<' 6
level_gap=$(distance "$(match capture_db)" "$(match reference_db)")
check "the recorded level is the render's level (differs by $level_gap dB)" num "$level_gap" '<' 1

# --- /s with musica off: silence, no mixer thread ---------------------------
check "musica is stored off" set_musica 0
record_start "$E2E_WORK/off.wav"
bounded xdotool mousemove 500 400
start_saver /s
threads "$E2E_WORK/threads-off.txt"
off_threads=$(field threads <"$E2E_WORK/threads-off.txt")
off_critical=$(field time-critical <"$E2E_WORK/threads-off.txt")
echo "# /s, musica off: $off_threads threads, $off_critical time-critical"
check "/s with musica off has no time-critical thread" [ "$off_critical" = 0 ]
check "/s with musica off has fewer threads ($off_threads) than with music ($on_threads)" \
    [ "$off_threads" -lt "$on_threads" ]
off_exit=$(end_saver)
echo "# measure: key press to end of process without music: $off_exit s"
check "/s without music ends within a second of the key press ($off_exit s)" num "$off_exit" '<' 1
record_stop
check "/s with musica off is silent" [ "$(peak "$E2E_WORK/off.wav")" = 0 ]

# --- /p with musica stored on: silence, no mixer thread ---------------------
check "musica is stored on again" set_musica 1
record_start "$E2E_WORK/preview.wav"
host_window 320 240
host=$HOST
saver_start /p "$host"
driver wait-window XIOpenGL - 30000 "$host" >/dev/null
wait_for 20 preview_drawn 320x240 "$E2E_WORK/preview.png"
threads "$E2E_WORK/threads-preview.txt"
p_threads=$(field threads <"$E2E_WORK/threads-preview.txt")
p_critical=$(field time-critical <"$E2E_WORK/threads-preview.txt")
echo "# /p: $p_threads threads, $p_critical time-critical"
check "/p has no time-critical thread" [ "$p_critical" = 0 ]
check "/p has fewer threads ($p_threads) than /s with music ($on_threads)" \
    [ "$p_threads" -lt "$on_threads" ]
driver destroy-host "$host" >/dev/null
check "/p ends when its host window closes" [ "$(saver_wait 15)" = 0 ]
SAVER_PID=
record_stop
check "/p is silent" [ "$(peak "$E2E_WORK/preview.wav")" = 0 ]
check "/p leaves the stored musica on" [ "$(reg_value musica)" = "4 1 01" ]

# --- the configuration dialog with musica on: no GL window, no mixer thread ---
saver_start
dialog=$(driver dialog - 30000 | field handle)
check "no argument opens the configuration dialog" [ -n "$dialog" ]
threads "$E2E_WORK/threads-config.txt"
echo "# configuration: $(field threads <"$E2E_WORK/threads-config.txt") threads"
check "the configuration run has no time-critical thread" \
    [ "$(field time-critical <"$E2E_WORK/threads-config.txt")" = 0 ]
check "the configuration run makes no GL window" \
    [ "$(driver wait-window XIOpenGL - 0)" = timeout ]
driver click "$dialog" 2 >/dev/null
check "Cancel ends the configuration run with exit code 0" [ "$(saver_wait 15)" = 0 ]

# --- no sound device at all -------------------------------------------------
stop_sound
export XDG_RUNTIME_DIR=$E2E_WORK/no-audio
export PULSE_RUNTIME_PATH=$XDG_RUNTIME_DIR/pulse
mkdir -p "$XDG_RUNTIME_DIR"
chmod 700 "$XDG_RUNTIME_DIR"
driver reg-set "$DRIVERS_SUBKEY" Audio 1 00 # "" as REG_SZ: no audio driver
check "the tone of the test driver finds no device" \
    [ "$(driver_once tone 1 | head -1)" = "error no wave-output device" ]
reg_dword frames 0
bounded xdotool mousemove 500 400
start_saver /s
check "/s without a sound device keeps running" [ "$(saver_wait 2)" = running ]
screenshot "$E2E_WORK/no-device.png"
colours=$(bounded convert "$E2E_WORK/no-device.png" -format %k info: 2>/dev/null)
check "/s without a sound device draws the scene ($colours colours on the screen)" \
    num "${colours:-0}" '>=' 100
threads "$E2E_WORK/threads-none.txt"
check "/s without a sound device has no time-critical thread" \
    [ "$(field time-critical <"$E2E_WORK/threads-none.txt")" = 0 ]
none_exit=$(end_saver)
echo "# measure: key press to end of process without a device: $none_exit s"
check "/s without a sound device ends within a second of the key press ($none_exit s)" \
    num "$none_exit" '<' 1
tr -d '\r' <"$E2E_WORK/saver.out" >"$E2E_WORK/none.out"
check "/s without a sound device prints \"Error upon initialization\" once" \
    [ "$(cat "$E2E_WORK/none.out")" = "Error upon initialization" ]
frames=$(reg_value frames)
check "/s without a sound device drew frames (frames $frames)" [ "$frames" != "4 4 00 00 00 00" ]

e2e_end
