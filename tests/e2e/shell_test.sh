#!/usr/bin/env bash
# The real screen saver under Wine: full-screen and preview runs, how input
# ends them, failed window creation, and the frame rate stored afterwards.
set -u
# shellcheck source=lib.sh
. "$(dirname "$0")/lib.sh"
e2e_begin shell

# dword_float HEX: the float whose bit pattern is that REG_DWORD.
dword_float() {
    bounded perl -e 'printf "%.6g\n", unpack("f", pack("L", hex(shift)))' "$1"
}

# dword_bytes_float "4 4 B0 B1 B2 B3": the float whose bit pattern a stored
# REG_DWORD holds.
dword_bytes_float() {
    # shellcheck disable=SC2086 # split into the fields
    set -- $1
    dword_float "$6$5$4$3"
}

# start_fullscreen: a /s run with the cursor at (500, 400); waits for its
# window, and for its first picture when asked ("drawn"), before which it
# may not yet take input.
start_fullscreen() {
    bounded xdotool mousemove 500 400
    saver_start /s
    driver wait-window XIOpenGL - 30000 >"$E2E_WORK/window.txt"
    [ "${1:-}" != drawn ] || wait_for 15 drawn
}

# --- full screen: the window, then each way input ends the run ---------------
reg_clear
start_fullscreen
window=$(cat "$E2E_WORK/window.txt")
echo "# measure: start to visible window under Wine: $(elapsed "$SAVER_STARTED") s"
check "/s makes one window of class XIOpenGL" [ -n "$(echo "$window" | field handle)" ]
check "/s window covers the screen (0 0 1024 768)" \
    [ "$(echo "$window" | field rect)" = "0 0 1024 768" ]
style=$(echo "$window" | field style)
check "/s window is a borderless pop-up ($style)" \
    bits "$style" 0x80C40000 0x80000000
check "/s window has no parent" [ "$(echo "$window" | field parent)" = "0" ]
wait_for 15 drawn
screenshot "$E2E_WORK/fullscreen.png"
# Two seconds without input, in which nothing may end the run.
check "/s keeps running without input" [ "$(saver_wait 2)" = running ]
bounded xdotool key space
check "/s: a key press ends the run with exit code 0" [ "$(saver_wait 15)" = 0 ]

frames=$(reg_value frames)
echo "# frames after /s: $frames"
check "/s stores frames as a four-byte REG_DWORD" [ "${frames% * * * *}" = "4 4" ]
fps=$(dword_bytes_float "$frames")
echo "# measure: smoothed frame rate of the whole scene: $fps frames per second"
positive_finite() { num "$1" '>' 0 && num "$1" '<' 1e30; }
check "/s stores a positive finite frame rate ($fps)" positive_finite "$fps"

for button in 1 2 3; do
    start_fullscreen drawn
    bounded xdotool click $button
    check "/s: mouse button $button ends the run with exit code 0" [ "$(saver_wait 15)" = 0 ]
done

start_fullscreen drawn
bounded xdotool mousemove 550 450
check "/s: a move of 50 pixels on both axes does not end the run" [ "$(saver_wait 2)" = running ]
bounded xdotool mousemove 500 400
sleep 0.5
bounded xdotool mousemove 551 400
check "/s: a move of 51 pixels on one axis ends the run with exit code 0" \
    [ "$(saver_wait 15)" = 0 ]

start_fullscreen drawn
bounded xdotool mousemove 500 349
check "/s: a move of 51 pixels upwards ends the run with exit code 0" [ "$(saver_wait 15)" = 0 ]
saver_kill

# --- preview inside a host window of ours ------------------------------------
reg_dword frames 0x41200000
host_window 320 240
host=$HOST
check "the test driver made a preview host window" [ -n "$host" ]
saver_start /p "$host"
child=$(driver wait-window XIOpenGL - 30000 "$host")
check "/p makes a child window of class XIOpenGL in the host" [ -n "$(echo "$child" | field handle)" ]
check "/p child is sized from the host window (320 x 240)" \
    [ "$(echo "$child" | field client)" = "320 240" ]
check "/p child is a child of the host" [ -n "$host" -a "$(echo "$child" | field parent)" = "$host" ]
screenshot "$E2E_WORK/preview.png"
driver key "$(echo "$child" | field handle)" 32 >/dev/null
bounded xdotool key space
# The host window spans 40 to 360 and 40 to 280 on the screen: click inside it.
bounded xdotool mousemove 200 160
for button in 1 2 3; do
    bounded xdotool click $button
    sleep 0.3
done
check "/p: key presses and clicks of each mouse button in the preview do nothing" \
    [ "$(saver_wait 2)" = running ]
driver destroy-host "$host" >/dev/null
check "/p: closing the host window ends the run with exit code 0" [ "$(saver_wait 15)" = 0 ]
check "/p leaves the stored frames unchanged" [ "$(reg_value frames)" = "4 4 00 00 20 41" ]
saver_kill

# --- preview with numbers that name no window ---------------------------------
# Among them the values the system reads as special parents: 0 (none) and -3
# (also as 4294967293, its 32-bit form), the parent of message-only windows.
# box MSGBOX_OUTPUT: "caption|text|owner" of a message box.
box() {
    echo "$(echo "$1" | field caption)|$(echo "$1" | field text)|$(echo "$1" | field owner)"
}
for number in 987654321 0 -3 4294967293; do
    saver_start /p "$number"
    first=$(box "$(driver msgbox 30000 press)")
    second=$(box "$(driver msgbox 30000 press)")
    check "/p $number: \"No se puede crear la ventana\", Informacion, no owner ($first)" \
        [ "$first" = "Informacion|No se puede crear la ventana|0" ]
    check "/p $number: then the closing message, Informacion, no owner ($second)" \
        [ "$second" = 'Informacion|La ventana no se ha podido crear\ny se cerrara la aplicacion |0' ]
    check "/p $number ends with exit code 0" [ "$(saver_wait 15)" = 0 ]
    saver_kill
done

# --- /a: the system's password change, then the end ---------------------------
# Watched from before the start until well after the end: no GL window appears.
driver_once wait-window XIOpenGL - 6000 >"$E2E_WORK/password-window.txt" &
watcher=$!
sleep 0.5 # the watcher's Wine process is up before the saver starts
saver_start /a 0
check "/a ends with exit code 0" [ "$(saver_wait 30)" = 0 ]
wait $watcher
check "/a makes no window" [ "$(cat "$E2E_WORK/password-window.txt")" = timeout ]
saver_kill

e2e_end
