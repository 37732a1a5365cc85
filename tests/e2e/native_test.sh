#!/usr/bin/env bash
# The native saver tazroscr on a virtual X display, without the XScreenSaver
# daemon: its command line; its own window (the scene, the close button,
# Escape, q, a new size); a window of the test's (drawn into, never changed,
# no input read, its size followed, its end ending the run); the root window
# and $XSCREENSAVER_WINDOW; the frame-rate line; the music through an ALSA
# file device against xm2wav's render; no sound device; the stop signals
# before the first frame and while playing; the X connection closing.
set -u
# shellcheck source=lib.sh
. "$(dirname "$0")/lib.sh"

NATIVE_BUILD=${NATIVE_BUILD:-$E2E_TOP/build/host}
TAZROSCR=$NATIVE_BUILD/tazroscr
XPROBE=$NATIVE_BUILD/tests/native/xprobe
XM2WAV=$NATIVE_BUILD/tools/xm2wav/xm2wav
SONG=${SONG:-$E2E_TOP/build/assets/voxaresource-123.xm}
e2e_work native "$NATIVE_BUILD/e2e"
e2e_built "$TAZROSCR" "$XPROBE" "$XM2WAV" "$SONG"
e2e_display || exit 1
echo "# $E2E_NAME (display $DISPLAY)"

# ALSA's whole configuration: no default device, or a file device that
# records the raw PCM it is given, played on the private sound server.
printf 'pcm.other { type null }\n' >"$E2E_WORK/no-device.conf"
printf 'pcm.!default { type file; slave.pcm { type pulse }; file "%s"; format "raw" }\n' \
    "$E2E_WORK/music.raw" >"$E2E_WORK/file-device.conf"
export ALSA_CONFIG_PATH=$E2E_WORK/no-device.conf

# start NAME ARGS...: starts tazroscr under a timeout; its output goes to
# NAME.out and NAME.err, its exit code to NAME.rc; PID is its process.
start() {
    RUN=$1
    shift
    spawn "$RUN" "${RUN_TIMEOUT:-60}" "$TAZROSCR" "$@"
    PID=$SPAWNED
    RUN_STARTED=$(now)
}

# finished SECONDS: waits that long for the run to end; prints "EXIT_CODE
# SECONDS_FROM_CALL", or "running".
finished() {
    local from
    from=$(now)
    if WAIT_STEP=0.01 wait_for "$1" ended "$RUN" >/dev/null; then
        echo "$(ended "$RUN") $(elapsed "$from")"
    else
        echo running
    fi
}

# stop [SIGNAL]: signals the run and prints what finished 5 prints.
stop() {
    kill -"${1:-TERM}" "$PID" 2>/dev/null
    finished 5
}

# ends_cleanly "RESULT": exit code 0 within a second.
ends_cleanly() {
    local code secs
    read -r code secs <<<"$1"
    [ "$code" = 0 ] && num "$secs" '<' 1
}

# scene_in FILE GEOMETRY: the region of the picture shows the scene: not
# black, not flat, the floor along the bottom. a_scene also prints its figures.
scene_in() {
    local f
    f=$(measure "$@")
    in_range "$(echo "$f" | value mean)" 40 255 && in_range "$(echo "$f" | value spread)" 10 255 &&
        in_range "$(echo "$f" | value floorlow)" 50 100
}
a_scene() {
    echo "# $(basename "$1") ${2:-}: $(measure "$@" | tr '\n' ' ')" >&2
    scene_in "$@"
}

# black FILE GEOMETRY: every pixel of the region is black.
black() {
    [ "$(bounded convert "$1" -crop "$2" +repage -alpha off -format '%[fx:maxima.r+maxima.g+maxima.b]' info:)" = 0 ]
}

# white_pixels FILE GEOMETRY: how many pixels of the region are pure white.
white_pixels() {
    bounded convert "$1" -crop "$2" +repage -alpha off -fill black +opaque white -fill white -opaque white \
        -format '%[fx:mean*w*h]' info: | awk '{ printf "%d\n", $1 + 0.5 }'
}

shot() { screenshot "$E2E_WORK/$1.png"; echo "$E2E_WORK/$1.png"; }

# shows NAME GEOMETRY [BLACK_GEOMETRY]: a new screenshot NAME shows the scene
# in the region (and black in the other one): a condition to wait for.
shows() {
    scene_in "$(shot "$1")" "$2" && { [ -z "${3:-}" ] || black "$E2E_WORK/$1.png" "$3"; }
}

# test_window W H: a plain window of the test's, WINDOW its number.
test_window() {
    : >"$E2E_WORK/window.txt"
    timeout -k 5 300 "$XPROBE" window "$1" "$2" >"$E2E_WORK/window.txt" &
    WINDOW_PID=$!
    started "$WINDOW_PID"
    WAIT_STEP=0.02 wait_for 10 grep -q '^window ' "$E2E_WORK/window.txt" || return 1
    WINDOW=$(awk '/^window / { print $2 }' "$E2E_WORK/window.txt")
}

# describe ID: what the window is, as its owner and the server see it.
describe() {
    bounded xprop -id "$1" 2>&1
    bounded xwininfo -id "$1" 2>&1 | grep -v '^xwininfo:'
}

# own_window: the number of the saver's own window, empty when there is none.
own_window() {
    bounded xdotool search --name '^Fan Tazro Screensaver 3D$' 2>/dev/null | head -1
}

# own_drawn: the saver's own window is there and has its first picture.
own_drawn() {
    [ -n "$(own_window)" ] && drawn
}

mixer_threads() { grep -l '^tazro-mixer$' /proc/"$PID"/task/*/comm 2>/dev/null | wc -l; }

# --- the command line ---------------------------------------------------------
version=$(timeout 10 "$TAZROSCR" --version)
check "--version prints the project's version ($version)" \
    [ "$version" = "tazroscr $(sed -nE 's/^project\(tazroscr VERSION ([0-9.]+).*/\1/p' "$E2E_TOP/CMakeLists.txt")" ]
timeout 10 "$TAZROSCR" -help >"$E2E_WORK/help.txt" 2>&1
check "-help prints the usage and ends with 0" [ $? = 0 ]
missing=
for option in root window-id fps delay help version ninja sombras no-sombras invtex autocam \
    no-autocam musica no-musica interpol no-interpol tipo-ilum suelo; do
    grep -q -- "--$option\b" "$E2E_WORK/help.txt" || missing="$missing $option"
done
check "the usage names every option (missing:${missing:- none})" [ -z "$missing" ]
for bad in "--bogus" "-suelo 5" "--tipo-ilum 3" "--delay -1" "--window-id 0x" "stray"; do
    # shellcheck disable=SC2086
    timeout 10 "$TAZROSCR" $bad >"$E2E_WORK/bad.out" 2>"$E2E_WORK/bad.err"
    rc=$?
    check "'$bad': exit code 2 ($rc), the reason and the usage on standard error only" \
        [ $rc = 2 ] && [ ! -s "$E2E_WORK/bad.out" ] &&
        [ "$(head -c 10 "$E2E_WORK/bad.err")" = "tazroscr: " ] && grep -q '^usage:' "$E2E_WORK/bad.err"
done
XSCREENSAVER_WINDOW=junk timeout 10 "$TAZROSCR" --root >/dev/null 2>"$E2E_WORK/env.err"
rc=$?
check "--root with \$XSCREENSAVER_WINDOW=junk: exit code 1 ($rc) and one line" \
    [ $rc = 1 ] && [ "$(wc -l <"$E2E_WORK/env.err")" = 1 ]
DISPLAY=:4095 timeout 10 "$TAZROSCR" >/dev/null 2>"$E2E_WORK/nodisplay.err"
rc=$?
check "no X server: exit code 1 ($rc), one line ($(cat "$E2E_WORK/nodisplay.err"))" \
    [ $rc = 1 ] && [ "$(wc -l <"$E2E_WORK/nodisplay.err")" = 1 ]

timeout 10 "$TAZROSCR" --window-id 0x1fffffff >/dev/null 2>"$E2E_WORK/nowindow.err"
rc=$?
check "--window-id of no window: exit code 1 ($rc), one line ($(cat "$E2E_WORK/nowindow.err"))" \
    [ $rc = 1 ] && [ "$(wc -l <"$E2E_WORK/nowindow.err")" = 1 ]

# --- its own window -----------------------------------------------------------
start own --no-musica
wait_for 15 own_drawn
own=$(own_window)
check "its own window has the Windows window's title" [ -n "$own" ]
geometry=$(bounded xwininfo -id "${own:-0}" 2>/dev/null | awk '/Width:/ { w = $2 } /Height:/ { h = $2 } END { print w "x" h }')
check "its own window is 1024x768 ($geometry)" [ "$geometry" = 1024x768 ]
check "its own window carries the program's icon (16, 32 and 48 pixels)" \
    [ "$(bounded xprop -id "${own:-0}" _NET_WM_ICON 2>/dev/null | grep -c 'Icon (\(16\|32\|48\) x')" = 3 ]
own_shot=$(shot own)
check "its own window shows the scene" a_scene "$own_shot" 1024x768+0+0
check "without --fps nothing white in the lower left corner" \
    [ "$(white_pixels "$own_shot" 160x24+0+744)" -le 2 ]
bounded xdotool windowsize "${own:-0}" 640 360
wait_for 10 shows own-resized 640x360+0+0 384x408+640+360
resized=$E2E_WORK/own-resized.png
check "a new size: the scene fills the window's new shape (640x360)" a_scene "$resized" 640x360+0+0
check "a new size: the screen outside it is black" black "$resized" 384x408+640+360
bounded xdotool windowfocus --sync "${own:-0}" key Escape 2>/dev/null
result=$(finished 1)
check "Escape closes its own window: exit code 0 within a second ($result)" ends_cleanly "$result"

# One run proves --fps and q: they differ from the run above in --fps alone.
# fps_shown: the frame-rate line is in the lower left corner of a new screenshot.
fps_shown() {
    [ "$(white_pixels "$(shot fps)" 160x24+0+744)" -ge 20 ]
}
start own-q --fps --no-musica
wait_for 15 fps_shown
fps_shot=$E2E_WORK/fps.png
white=$(white_pixels "$fps_shot" 160x24+0+744)
check "--fps writes the frame rate in white in the lower left corner ($white pixels)" [ "$white" -ge 20 ]
check "--fps: the scene is drawn under it" a_scene "$fps_shot" 1024x720+0+0
bounded xdotool windowfocus --sync "$(own_window)" key q
check "q closes it: exit code 0 within a second" ends_cleanly "$(finished 1)"

start own-close --no-musica
wait_for 15 own_drawn
bounded "$XPROBE" close "$(own_window)"
check "the close button (WM_DELETE_WINDOW) closes it: exit code 0 within a second" \
    ends_cleanly "$(finished 1)"

# --- a window of the test's ---------------------------------------------------
check "the test makes a 320x240 window" test_window 320 240
describe "$WINDOW" >"$E2E_WORK/window-before.txt"
start window-id --window-id "$WINDOW" --no-musica
wait_for 15 drawn 0 0 320 240
shot window-id >/dev/null
describe "$WINDOW" >"$E2E_WORK/window-during.txt"
window_shot=$E2E_WORK/window-id.png
check "--window-id draws the scene into the window" a_scene "$window_shot" 320x240+0+0
check "--window-id draws nothing outside it" black "$window_shot" 704x768+320+0
check "--window-id makes no window of its own" \
    [ -z "$(own_window)" ]
check "--window-id changes nothing of the window (properties, attributes)" \
    cmp -s "$E2E_WORK/window-before.txt" "$E2E_WORK/window-during.txt"
bounded xdotool windowfocus --sync "$WINDOW" key Escape q 2>/dev/null
bounded xdotool key --window "$WINDOW" Escape 2>/dev/null
# Half a second in which the keys could end it.
check "--window-id reads no input: Escape and q do not end it" [ "$(finished 0.5)" = running ]
bounded xdotool windowsize "$WINDOW" 640 480
wait_for 10 shows window-id-grown 640x480+0+0
grown=$E2E_WORK/window-id-grown.png
check "--window-id follows the window's new size (640x480)" a_scene "$grown" 640x480+0+0
kill "$WINDOW_PID"
result=$(finished 2)
check "the window's end ends the run: exit code 0 within a second ($result)" ends_cleanly "$result"

check "the test makes another window" test_window 200 150
describe "$WINDOW" >"$E2E_WORK/window-before.txt"
start window-id-end --window-id "$WINDOW" --no-musica
wait_for 15 drawn 0 0 200 150
result=$(stop TERM)
check "--window-id ends on SIGTERM with exit code 0 within a second ($result)" ends_cleanly "$result"
describe "$WINDOW" >"$E2E_WORK/window-after.txt"
check "the window is still there afterwards, unchanged" \
    cmp -s "$E2E_WORK/window-before.txt" "$E2E_WORK/window-after.txt"

# --- the root window and $XSCREENSAVER_WINDOW ---------------------------------
XSCREENSAVER_WINDOW=$WINDOW start env-window --root --no-musica
wait_for 15 drawn 0 0 200 150
shot env-window >/dev/null
env_shot=$E2E_WORK/env-window.png
check "--root with \$XSCREENSAVER_WINDOW draws into that window" a_scene "$env_shot" 200x150+0+0
check "... and nothing outside it" black "$env_shot" 824x768+200+0
stop >/dev/null
stop_pid "$WINDOW_PID"

# --- the root window without a sound device -----------------------------------
# One run proves both: --root draws on the root window and shows no window,
# and without a sound device the scene goes on without music.
# shown_windows: how many of the root window's children are shown (a saver
# that wants the music owns an unmapped input-only window for its claim on
# the display's song, which is no window on the screen).
shown_windows() {
    local id shown=0
    for id in $(bounded xwininfo -root -children | awk '/^ *0x/ { print $1 }'); do
        bounded xwininfo -id "$id" | grep -q 'Map State: IsViewable' && shown=$((shown + 1))
    done
    echo "$shown"
}
windows=$(shown_windows)
start root --root
wait_for 15 drawn
shot root >/dev/null
root_shot=$E2E_WORK/root.png
check "--root draws the scene on the root window" a_scene "$root_shot" 1024x768+0+0
now_windows=$(shown_windows)
check "--root shows no window ($now_windows shown, $windows before)" [ "$now_windows" = "$windows" ]
check "no sound device: still running once it draws" [ "$(finished 0)" = running ]
check "no sound device: no mixer thread" [ "$(mixer_threads)" = 0 ]
check "no sound device: the scene goes on" a_scene "$(shot no-device)" 1024x768+0+0
result=$(stop TERM)
check "no sound device: exit code 0 on SIGTERM within a second ($result)" ends_cleanly "$result"
check "no sound device: one line on standard error ($(cat "$E2E_WORK/root.err"))" \
    [ "$(wc -l <"$E2E_WORK/root.err")" = 1 ] && grep -q 'no sound' "$E2E_WORK/root.err"
check "no sound device: nothing on standard output" [ ! -s "$E2E_WORK/root.out" ]

# --- stop signals before the first frame -------------------------------------
for signal in TERM INT HUP; do
    start early --root
    sleep 0.1 # well before its first frame
    result=$(stop "$signal")
    check "SIG$signal during start-up: exit code 0 within a second ($result)" ends_cleanly "$result"
done

# --- music through an ALSA file device ----------------------------------------
# recorded SECONDS: the file device holds that much music.
recorded() {
    [ "$(stat -c %s "$E2E_WORK/music.raw" 2>/dev/null || echo 0)" -ge $(($1 * 176400)) ]
}
if start_sound "$E2E_WORK/pulse"; then
    export ALSA_CONFIG_PATH=$E2E_WORK/file-device.conf
    bounded -s 120 "$XM2WAV" "$SONG" "$E2E_WORK/reference.wav" --seconds 30 >/dev/null 2>&1
    bounded -s 60 sox "$E2E_WORK/reference.wav" -t raw "$E2E_WORK/reference.raw"
    for signal in TERM INT HUP; do
        rm -f "$E2E_WORK/music.raw"
        start "music-$signal" --root
        wait_for 20 recorded 3
        threads=$(mixer_threads)
        result=$(stop "$signal")
        played=$(elapsed "$RUN_STARTED")
        check "music, SIG$signal while playing: exit code 0 within a second ($result)" \
            ends_cleanly "$result"
        check "music: one mixer thread while playing ($threads)" [ "$threads" = 1 ]
        check "music: nothing on standard error ($(head -1 "$E2E_WORK/music-$signal.err"))" \
            [ ! -s "$E2E_WORK/music-$signal.err" ]
        bytes=$(stat -c %s "$E2E_WORK/music.raw" 2>/dev/null || echo 0)
        seconds=$(awk -v b="$bytes" 'BEGIN { printf "%.2f", b / 176400 }')
        echo "# music: $seconds s recorded in a run of $played s"
        check "music: at least 3 s recorded ($seconds s)" [ "$bytes" -ge $((3 * 176400)) ]
        # The file device records what is handed to ALSA, which holds up to
        # a second ahead of the speaker.
        check "music: no faster than real time ($seconds s in $played s, a second queued)" \
            num "$(difference "$seconds" "$played")" '<=' 1.1
        check "music: the recording is xm2wav's render from its start, byte for byte" \
            cmp -s -n "$bytes" "$E2E_WORK/music.raw" "$E2E_WORK/reference.raw"
    done

    rm -f "$E2E_WORK/music.raw"
    start music-off --root --no-musica
    wait_for 15 drawn
    check "--no-musica: no mixer thread" [ "$(mixer_threads)" = 0 ]
    stop >/dev/null
    check "--no-musica: nothing played" [ ! -s "$E2E_WORK/music.raw" ]

    # --- the X connection closing while playing -------------------------------
    xvfb_start 640x480x24
    rm -f "$E2E_WORK/music.raw"
    DISPLAY=$XVFB_DISPLAY start connection --root
    wait_for 20 recorded 1
    threads=$(mixer_threads)
    stop_pid "$XVFB_PID"
    result=$(finished 5)
    check "the X server ends while playing: exit code 0 within a second ($result)" \
        ends_cleanly "$result"
    check "... the music played until then ($threads mixer thread)" [ "$threads" = 1 ]
    check "... with nothing on standard error" [ ! -s "$E2E_WORK/connection.err" ]
    stop_sound
else
    fail "a private PulseAudio server with a null sink starts"
fi

e2e_end
