#!/usr/bin/env bash
# Installs what is missing, builds, and runs the screen saver under Wine, or
# with --native the native Linux saver (tazroscr, the XScreenSaver hack), or
# with --web the web edition: served from 127.0.0.1 (port 8000, or a free one)
# with Python's http.server; with a display it serves until Ctrl+C, without
# one it plays ten seconds in headless Chromium and saves a screenshot and
# the hash of the sound under out/.
# With a display: under Wine full screen until a key, a click or a mouse move
# ends it; natively in a window of its own until it is closed (or Escape or
# q). Without one: ten seconds on a virtual display, then a screenshot (and
# the captured audio, when the saver plays music) under out/.
# Usage: scripts/run.sh [--native | --web]
set -euo pipefail
cd "$(dirname "$0")/.."
top=$PWD
. scripts/lib.sh

native=0
web=0
case "${1:-}" in
"") ;;
--native) native=1 ;;
--web) web=1 ;;
*)
    echo "usage: scripts/run.sh [--native | --web]" >&2
    exit 2
    ;;
esac

bash scripts/deps.sh
if [ $web = 1 ]; then
    # The host build writes the assets the page embeds.
    cmake --preset host >/dev/null
    cmake --build --preset host -j "${JOBS:-$(nproc)}"
    cmake --preset web >/dev/null
    cmake --build --preset web -j "${JOBS:-$(nproc)}"
    if has_display; then
        echo "Serving the web edition at the address below: open it in a browser; Ctrl+C ends the server."
        exec python3 scripts/serve_web.py build/web "${PORT:-8000}"
    fi
    TAZRO_WORK=$top/build/web
    web_serve build/web "${PORT:-8000}" 300 || exit 1
    echo "The web edition is served at $WEB_URL"
    echo "No display: playing it for ten seconds in headless Chromium ..."
    mkdir -p out
    bounded -s 180 node scripts/web_page.js run "$WEB_URL" out
    exit $?
fi
if [ $native = 1 ]; then
    # The native saver needs only the host build.
    cmake --preset host >/dev/null
    cmake --build --preset host -j "${JOBS:-$(nproc)}"
    if has_display; then
        echo "Running the native screen saver in a window: close it, or press Escape or q."
        exec build/host/tazroscr
    fi
else
    bash scripts/build.sh
    prefix=${WINEPREFIX:-$top/build/wineprefix}
    [ -f "$prefix/system.reg" ] || echo "Preparing the Wine prefix in $prefix ..."
    wine_prefix "$prefix"
    if has_display; then
        echo "Running the screen saver full screen: press a key or move the mouse to end it."
        exec wine build/windows/tazroscr.scr /s
    fi
    # Wine programs left in our prefix end with its server.
    at_exit wine_stop
fi

mkdir -p out
start_display 1024x768x24
# A private sound server with a silent sink whose output is recorded.
audio=0
start_sound "$top/build/run-pulse" && audio=1

# The native saver's files are named apart from the Wine run's.
if [ $native = 1 ]; then
    name=native-
    command=("$top/build/host/tazroscr" --root)
    what="native screen saver"
else
    name=
    command=(wine "$top/build/windows/tazroscr.scr" /s)
    what="screen saver"
fi
shot=out/${name}screenshot.png
audio_file=out/${name}audio.wav
rm -f "$audio_file" "$shot"

echo "No display: running the $what for ten seconds on virtual display $DISPLAY ..."
if [ $audio = 1 ]; then
    record_start "$audio_file" 60 || true
fi
# The native saver plays through ALSA's default device, which reaches the
# sound server through ALSA's PulseAudio plugin.
timeout -k 5 60 "${command[@]}" >"out/${name}saver-output.txt" 2>&1 &
saver=$!
started "$saver"
status=0
if wait_for 10 _ended "$saver"; then
    wait "$saver" && code=0 || code=$?
    echo "The $what ended early (exit code $code); its output is in out/${name}saver-output.txt." >&2
    status=1
elif ! bounded import -window root "$shot"; then
    echo "No screenshot could be taken of display $DISPLAY." >&2
    status=1
fi
stop_pid "$saver"
[ $status = 0 ] && echo "Screenshot: $top/$shot"
if [ $audio = 1 ]; then
    record_stop
    echo "Audio:      $top/$audio_file"
fi
exit $status
