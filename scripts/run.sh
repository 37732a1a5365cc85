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
    python3 scripts/serve_web.py build/web "${PORT:-8000}" >build/web/server.txt 2>&1 &
    server=$!
    trap 'kill $server 2>/dev/null' EXIT
    url=
    for i in $(seq 1 100); do
        url=$(head -n 1 build/web/server.txt)
        [ -n "$url" ] && break
        sleep 0.1
    done
    if [ -z "$url" ]; then
        echo "The page's server did not start; see build/web/server.txt." >&2
        exit 1
    fi
    echo "The web edition is served at $url"
    if [ -n "${DISPLAY:-}" ] && xdpyinfo >/dev/null 2>&1; then
        echo "Open that address in a browser; Ctrl+C ends the server."
        wait $server
        exit 0
    fi
    echo "No display: playing it for ten seconds in headless Chromium ..."
    mkdir -p out
    timeout 180 node scripts/web_page.js run "$url" out
    exit $?
fi
if [ $native = 1 ]; then
    # The native saver needs only the host build.
    cmake --preset host >/dev/null
    cmake --build --preset host -j "${JOBS:-$(nproc)}"
    if [ -n "${DISPLAY:-}" ] && xdpyinfo >/dev/null 2>&1; then
        echo "Running the native screen saver in a window: close it, or press Escape or q."
        exec build/host/tazroscr
    fi
else
    bash scripts/build.sh
fi

export WINEDEBUG=-all WINEARCH=win64 WINEDLLOVERRIDES="mscoree,mshtml="
export WINEPREFIX=${WINEPREFIX:-$top/build/wineprefix}
if [ $native = 0 ] && [ ! -f "$WINEPREFIX/system.reg" ]; then
    echo "Preparing the Wine prefix in $WINEPREFIX ..."
    timeout 300 wineboot -i >/dev/null 2>&1
    # wineboot returns while the new prefix is still being set up in the
    # background; a program started now finds it half made.
    timeout 300 wineserver -w || true
fi
# Wine's own fonts, which Debian's Wine does not find by itself.
if [ $native = 0 ] && [ -d /usr/share/wine/fonts ]; then
    mkdir -p "$WINEPREFIX/drive_c/windows/Fonts"
    cp -n /usr/share/wine/fonts/* "$WINEPREFIX/drive_c/windows/Fonts/" 2>/dev/null || true
fi

if [ $native = 0 ] && [ -n "${DISPLAY:-}" ] && xdpyinfo >/dev/null 2>&1; then
    echo "Running the screen saver full screen: press a key or move the mouse to end it."
    exec wine build/windows/tazroscr.scr /s
fi

mkdir -p out
n=90
while [ -e /tmp/.X$n-lock ] || [ -e /tmp/.X11-unix/X$n ]; do n=$((n + 1)); done
Xvfb :$n -screen 0 1024x768x24 -nolisten tcp >/dev/null 2>&1 &
xvfb=$!
export DISPLAY=:$n
for i in $(seq 1 50); do xdpyinfo >/dev/null 2>&1 && break; sleep 0.1; done

# A private sound server with a silent sink whose output is recorded.
export XDG_RUNTIME_DIR=$top/build/run-pulse
export PULSE_RUNTIME_PATH=$XDG_RUNTIME_DIR/pulse
mkdir -p "$XDG_RUNTIME_DIR" && chmod 700 "$XDG_RUNTIME_DIR"
audio=0
# A server left from an earlier run on this folder is reused.
timeout 5 pactl info >/dev/null 2>&1 ||
    timeout 20 pulseaudio --daemonize=yes --exit-idle-time=-1 --disallow-exit -n \
        --load="module-null-sink sink_name=capture" --load=module-native-protocol-unix \
        >/dev/null 2>&1 || true
for i in $(seq 1 50); do timeout 5 pactl info >/dev/null 2>&1 && break; sleep 0.1; done
timeout 5 pactl set-default-sink capture >/dev/null 2>&1 && audio=1
# The sound server refuses "pactl exit" (it runs with --disallow-exit): end it by its pid.
stop_audio() {
    local pid
    pid=$(cat "$PULSE_RUNTIME_PATH/pid" 2>/dev/null) && kill "$pid" 2>/dev/null
    return 0
}
trap 'kill $xvfb 2>/dev/null; [ $native = 1 ] || timeout 20 wineserver -k 2>/dev/null; stop_audio' EXIT

# The native saver's files are named apart from the Wine run's.
if [ $native = 1 ]; then
    prefix=native-
    command=("$top/build/host/tazroscr" --root)
    what="native screen saver"
else
    prefix=
    command=(wine "$top/build/windows/tazroscr.scr" /s)
    what="screen saver"
fi
shot=out/${prefix}screenshot.png
audio_file=out/${prefix}audio.wav
rm -f "$audio_file"

echo "No display: running the $what for ten seconds on virtual display $DISPLAY ..."
if [ $audio = 1 ]; then
    timeout 60 parec -d capture.monitor --format=s16le --rate=44100 --channels=2 \
        --file-format=wav "$audio_file" &
    recorder=$!
fi
# The native saver plays through ALSA's default device, which reaches the
# sound server through ALSA's PulseAudio plugin.
timeout 60 "${command[@]}" >"out/${prefix}saver-output.txt" 2>&1 &
saver=$!
sleep 10
rm -f "$shot"
status=0
if ! kill -0 $saver 2>/dev/null; then
    wait $saver && code=0 || code=$?
    echo "The $what ended early (exit code $code); its output is in out/${prefix}saver-output.txt." >&2
    status=1
elif ! import -window root "$shot"; then
    echo "No screenshot could be taken of display $DISPLAY." >&2
    status=1
fi
kill $saver 2>/dev/null || true
wait $saver 2>/dev/null || true
[ $status = 0 ] && echo "Screenshot: $top/$shot"
if [ $audio = 1 ]; then
    kill $recorder 2>/dev/null || true
    wait $recorder 2>/dev/null || true
    echo "Audio:      $top/$audio_file"
fi
exit $status
