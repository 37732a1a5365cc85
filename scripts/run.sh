#!/usr/bin/env bash
# Installs what is missing, builds, and runs the screen saver under Wine.
# With a display: full screen until a key, a click or a mouse move ends it.
# Without one: ten seconds on a virtual display, then a screenshot (and the
# captured audio, when the saver plays music) under out/.
set -euo pipefail
cd "$(dirname "$0")/.."
top=$PWD

bash scripts/deps.sh
bash scripts/build.sh

export WINEDEBUG=-all WINEARCH=win64 WINEDLLOVERRIDES="mscoree,mshtml="
export WINEPREFIX=${WINEPREFIX:-$top/build/wineprefix}
if [ ! -f "$WINEPREFIX/system.reg" ]; then
    echo "Preparing the Wine prefix in $WINEPREFIX ..."
    timeout 300 wineboot -i >/dev/null 2>&1
fi

if [ -n "${DISPLAY:-}" ] && xdpyinfo >/dev/null 2>&1; then
    echo "Running the screen saver full screen: press a key or move the mouse to end it."
    exec wine build/windows/tazroscr.scr /s
fi

mkdir -p out
n=90
while [ -e /tmp/.X$n-lock ] || [ -e /tmp/.X11-unix/X$n ]; do n=$((n + 1)); done
Xvfb :$n -screen 0 1024x768x24 -nolisten tcp >/dev/null 2>&1 &
xvfb=$!
trap 'kill $xvfb 2>/dev/null; timeout 20 wineserver -k 2>/dev/null || true' EXIT
export DISPLAY=:$n
for i in $(seq 1 50); do xdpyinfo >/dev/null 2>&1 && break; sleep 0.1; done

echo "No display: running the screen saver for ten seconds on virtual display $DISPLAY ..."
timeout 60 wine build/windows/tazroscr.scr /s >out/saver-output.txt 2>&1 &
saver=$!
sleep 10
import -window root out/screenshot.png
pkill -f 'tazroscr\.scr' || true
wait $saver 2>/dev/null || true
echo "Screenshot: $top/out/screenshot.png"
