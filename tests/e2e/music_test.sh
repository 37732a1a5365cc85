#!/usr/bin/env bash
# The real screen saver's music under Wine, recorded from a PulseAudio null
# sink: a full-screen run plays the embedded song (compared with xm2wav's
# render of it), runs with musica off and in preview are silent and have no
# mixer thread, a run without any sound device says so on standard output and
# goes on, and every run ends promptly after the key press.
set -u
. "$(dirname "$0")/lib.sh"
e2e_begin music

HERE=$(cd "$(dirname "$0")" && pwd)
XM2WAV=${XM2WAV:-$E2E_TOP/build/host/tools/xm2wav/xm2wav}
SONG=${SONG:-$E2E_TOP/build/assets/voxaresource-123.xm}
X11_KEY='HKCU\Software\Wine\X11 Driver'
DRIVERS_KEY='HKCU\Software\Wine\Drivers'
LISTEN=${MUSIC_SECONDS:-17} # seconds of the recorded /s run

if [ ! -x "$XM2WAV" ] || [ ! -f "$SONG" ]; then
    echo "e2e: build the host preset first ($XM2WAV, $SONG)" >&2
    exit 1
fi

# Without a window manager, Wine waits two seconds for one to withdraw a
# managed window as it is destroyed; unmanaged windows let the exit time
# below be the program's own. Both values are removed again at the end.
restore_wine() {
    timeout 30 wine reg delete "$X11_KEY" /v Managed /f >/dev/null 2>&1
    timeout 30 wine reg delete "$DRIVERS_KEY" /v Audio /f >/dev/null 2>&1
    return 0
}
# Ends only what this script started.
music_cleanup() {
    capture_stop
    e2e_stop_audio
    [ -n "${SAVER_PID:-}" ] && kill "$SAVER_PID" 2>/dev/null
    restore_wine
    timeout 20 wineserver -k 2>/dev/null
    [ -n "$E2E_XVFB_PID" ] && kill "$E2E_XVFB_PID" 2>/dev/null
    [ "$E2E_OWN_PREFIX" = 1 ] && rm -rf "$WINEPREFIX"
    return 0
}
trap music_cleanup EXIT
timeout 30 wine reg add "$X11_KEY" /v Managed /d N /f >/dev/null 2>&1

# set_musica 0|1: stores musica as the configuration dialog does (a one-byte
# REG_DWORD, which reg.exe cannot write).
set_musica() {
    printf 'REGEDIT4\r\n\r\n[HKEY_CURRENT_USER\\Software\\Velmorix\\TazroSrc3D\\V01]\r\n"musica"=hex(4):0%s\r\n' \
        "$1" >"$E2E_WORK/musica.reg"
    timeout 30 wine regedit /s "$(winepath -w "$E2E_WORK/musica.reg" 2>/dev/null)" >/dev/null 2>&1
    timeout 30 wineserver -w 2>/dev/null
    [ "$(stored_musica)" = "type 4 size 1 data 0$1 " ]
}

# stored_musica: the stored musica value on one line ("type 4 size 1 data 01 ").
stored_musica() {
    driver reg-value 'Software\Velmorix\TazroSrc3D\V01' musica | tr '\n' ' '
}

# record FILE: starts recording the null sink and waits until it records.
record() {
    rm -f "$1"
    capture_start "$1"
    local i
    for i in $(seq 1 100); do
        [ "$(stat -c %s "$1" 2>/dev/null || echo 0)" -gt 8820 ] && return 0
        sleep 0.05
    done
    return 1
}

# start_saver ARGS...: starts the saver and waits for its window; SAVER_PID is
# the process of tazroscr.scr itself.
start_saver() {
    SAVER_PID=
    saver_start "$@"
    local i
    for i in $(seq 1 300); do
        SAVER_PID=$(pgrep -f "^$SCR" | head -1)
        [ -n "$SAVER_PID" ] && break
        sleep 0.1
    done
    driver wait-window XIOpenGL - 30000 >"$E2E_WORK/window.txt"
}

# threads FILE: the saver's thread figures ("threads N", "time-critical N").
threads() {
    driver threads tazroscr.scr >"$1"
}

# end_saver: presses a key and prints the seconds until the process is gone
# (or "hang" after ten seconds).
end_saver() {
    local start
    start=$(date +%s.%N)
    xdotool key space
    local i
    for i in $(seq 1 1000); do
        if [ ! -d "/proc/$SAVER_PID" ]; then
            echo "$(date +%s.%N) - $start" | bc
            saver_wait 10 >/dev/null
            SAVER_PID=
            return 0
        fi
        sleep 0.01
    done
    echo hang
}

# below LIMIT VALUE: numeric VALUE < LIMIT.
below() {
    perl -e 'exit(($ARGV[1] =~ /^-?[0-9.]+$/ && $ARGV[1] < $ARGV[0]) ? 0 : 1)' -- "$1" "$2"
}
at_least() {
    perl -e 'exit(($ARGV[1] =~ /^-?[0-9.]+$/ && $ARGV[1] >= $ARGV[0]) ? 0 : 1)' -- "$1" "$2"
}

e2e_start_audio || {
    fail "a private PulseAudio server with a null sink starts"
    e2e_end
    exit 1
}

# --- Wine's own audio threads, counted while the test driver plays a tone ---
check "the null sink records" record "$E2E_WORK/tone.wav"
driver tone 4 >"$E2E_WORK/tone.txt" &
tone_job=$!
sleep 2
driver threads tazro_driver.exe >"$E2E_WORK/threads-tone.txt"
wait "$tone_job"
capture_stop
audio_critical=$(field time-critical <"$E2E_WORK/threads-tone.txt")
echo "# a tone on the wave output: $(field threads <"$E2E_WORK/threads-tone.txt") threads, $audio_critical time-critical"
check "the tone plays" [ "$(cat "$E2E_WORK/tone.txt")" = "played 4" ]
echo "# the tone's recording peaks at $(peak "$E2E_WORK/tone.wav") (8000 played)"

# --- /s with musica on: the song plays --------------------------------------
"$XM2WAV" "$SONG" "$E2E_WORK/reference.wav" --seconds 40 >/dev/null 2>&1
check "musica is stored on" set_musica 1
record "$E2E_WORK/on.wav"
xdotool mousemove 500 400
start_saver /s
sleep 3
threads "$E2E_WORK/threads-on.txt"
on_threads=$(field threads <"$E2E_WORK/threads-on.txt")
on_critical=$(field time-critical <"$E2E_WORK/threads-on.txt")
echo "# /s, musica on: $on_threads threads, $on_critical time-critical"
check "/s with musica on has one time-critical thread more than Wine's audio ($on_critical)" \
    [ "$on_critical" = $((audio_critical + 1)) ]
sleep $((LISTEN - 3))
check "/s with musica on still runs after $LISTEN s" [ "$(saver_wait 0)" = running ]
on_exit=$(end_saver)
echo "# measure: key press to end of process with music: $on_exit s"
check "/s with music ends within a second of the key press ($on_exit s)" below 1 "$on_exit"
sleep 0.5
capture_stop
check "/s with musica on prints nothing" [ ! -s "$E2E_WORK/saver.out" ]

perl "$HERE/wav_match.pl" "$E2E_WORK/reference.wav" "$E2E_WORK/on.wav" 10 8 50 \
    >"$E2E_WORK/match.txt" 2>&1
sed 's/^/# match: /' "$E2E_WORK/match.txt"
on_peak=$(peak "$E2E_WORK/on.wav")
check "the recording of /s is not silent (peak $on_peak)" at_least 1000 "$on_peak"
match() { field "$1" <"$E2E_WORK/match.txt"; }
# Under load the audio path may drop or insert a few milliseconds, so the
# match is judged piece by piece (two seconds each) as well as as a whole.
check "the recorded music matches xm2wav's render piece by piece (median $(match piece_median))" \
    at_least 0.9 "$(match piece_median)"
check "no two seconds of the recording differ from the render (lowest $(match piece_min))" \
    at_least 0.5 "$(match piece_min)"
check "the whole ten seconds match the render at one offset ($(match correlation))" \
    at_least 0.75 "$(match correlation)"
check "that offset stands out from every other one (next best $(match runner_up))" \
    below "$(perl -e 'print $ARGV[0] - 0.2' -- "$(match correlation)")" "$(match runner_up)"
check "the music starts within 6 s of the recording ($(match offset) s)" below 6 "$(match offset)"
level_gap=$(perl -e 'printf "%.2f", abs($ARGV[0] - $ARGV[1])' -- \
    "$(match capture_db)" "$(match reference_db)")
check "the recorded level is the render's level (differs by $level_gap dB)" below 1 "$level_gap"

# --- /s with musica off: silence, no mixer thread ---------------------------
check "musica is stored off" set_musica 0
record "$E2E_WORK/off.wav"
xdotool mousemove 500 400
start_saver /s
sleep 3
threads "$E2E_WORK/threads-off.txt"
off_threads=$(field threads <"$E2E_WORK/threads-off.txt")
off_critical=$(field time-critical <"$E2E_WORK/threads-off.txt")
echo "# /s, musica off: $off_threads threads, $off_critical time-critical"
check "/s with musica off has no time-critical thread" [ "$off_critical" = 0 ]
check "/s with musica off has fewer threads ($off_threads) than with music ($on_threads)" \
    [ "$off_threads" -lt "$on_threads" ]
sleep 2
off_exit=$(end_saver)
echo "# measure: key press to end of process without music: $off_exit s"
check "/s without music ends within a second of the key press ($off_exit s)" below 1 "$off_exit"
sleep 0.5
capture_stop
check "/s with musica off is silent" [ "$(peak "$E2E_WORK/off.wav")" = 0 ]

# --- /p with musica stored on: silence, no mixer thread ---------------------
check "musica is stored on again" set_musica 1
record "$E2E_WORK/preview.wav"
host=$(host_window 320 240)
start_saver /p "$host"
sleep 3
threads "$E2E_WORK/threads-preview.txt"
p_threads=$(field threads <"$E2E_WORK/threads-preview.txt")
p_critical=$(field time-critical <"$E2E_WORK/threads-preview.txt")
echo "# /p: $p_threads threads, $p_critical time-critical"
check "/p has no time-critical thread" [ "$p_critical" = 0 ]
check "/p has fewer threads ($p_threads) than /s with music ($on_threads)" \
    [ "$p_threads" -lt "$on_threads" ]
sleep 2
driver destroy-host "$host" >/dev/null
check "/p ends when its host window closes" [ "$(saver_wait 15)" = 0 ]
SAVER_PID=
capture_stop
check "/p is silent" [ "$(peak "$E2E_WORK/preview.wav")" = 0 ]
check "/p leaves the stored musica on" [ "$(stored_musica)" = "type 4 size 1 data 01 " ]

# --- the configuration dialog with musica on: no GL window, no mixer thread ---
saver_start
dialog=$(driver dialog - 30000 | field handle)
check "no argument opens the configuration dialog" [ -n "$dialog" ]
sleep 2
threads "$E2E_WORK/threads-config.txt"
echo "# configuration: $(field threads <"$E2E_WORK/threads-config.txt") threads"
check "the configuration run has no time-critical thread" \
    [ "$(field time-critical <"$E2E_WORK/threads-config.txt")" = 0 ]
check "the configuration run makes no GL window" \
    [ "$(driver wait-window XIOpenGL - 0)" = timeout ]
driver click "$dialog" 2 >/dev/null
check "Cancel ends the configuration run with exit code 0" [ "$(saver_wait 15)" = 0 ]

# --- no sound device at all -------------------------------------------------
e2e_stop_audio
export XDG_RUNTIME_DIR=$E2E_WORK/no-audio
export PULSE_RUNTIME_PATH=$XDG_RUNTIME_DIR/pulse
mkdir -p "$XDG_RUNTIME_DIR"
chmod 700 "$XDG_RUNTIME_DIR"
timeout 30 wine reg add "$DRIVERS_KEY" /v Audio /d "" /f >/dev/null 2>&1
timeout 30 wineserver -w 2>/dev/null
check "the tone of the test driver finds no device" \
    [ "$(driver tone 1 | head -1)" = "error no wave-output device" ]
timeout 30 wine reg add "$SETTINGS_KEY" /v frames /t REG_DWORD /d 0 /f >/dev/null 2>&1
xdotool mousemove 500 400
start_saver /s
sleep 4
check "/s without a sound device keeps running" [ "$(saver_wait 0)" = running ]
import -window root "$E2E_WORK/no-device.png" 2>/dev/null
colours=$(convert "$E2E_WORK/no-device.png" -format %k info: 2>/dev/null)
check "/s without a sound device draws the scene ($colours colours on the screen)" \
    at_least 100 "${colours:-0}"
threads "$E2E_WORK/threads-none.txt"
check "/s without a sound device has no time-critical thread" \
    [ "$(field time-critical <"$E2E_WORK/threads-none.txt")" = 0 ]
none_exit=$(end_saver)
echo "# measure: key press to end of process without a device: $none_exit s"
check "/s without a sound device ends within a second of the key press ($none_exit s)" \
    below 1 "$none_exit"
tr -d '\r' <"$E2E_WORK/saver.out" >"$E2E_WORK/none.out"
check "/s without a sound device prints \"Error upon initialization\" once" \
    [ "$(cat "$E2E_WORK/none.out")" = "Error upon initialization" ]
frames=$(reg_value frames)
check "/s without a sound device drew frames (frames $frames)" [ "$frames" != "REG_DWORD 0x0" ]

e2e_end
