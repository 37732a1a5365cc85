#!/usr/bin/env bash
# The real screen saver draws the scene under Wine: screenshots of a full-screen
# run over the first seconds of the camera tour, and of a preview run inside a
# host window of ours, measured region by region with ImageMagick.
set -u
# shellcheck source=lib.sh
. "$(dirname "$0")/lib.sh"
e2e_begin scene

# --- full screen: the tour over its first sixteen seconds ---------------------
reg_clear
bounded xdotool mousemove 500 400
SAVER_TIMEOUT=90 saver_start /s
window=$(driver wait-window XIOpenGL - 30000)
check "/s makes its window" [ -n "$(echo "$window" | field handle)" ]
best=
best_sky=-1
for second in 3 5 7 9 11 13 15; do
    # The pictures are taken at set times of the camera tour.
    sleep_until "$SAVER_STARTED" "$second"
    shot=$E2E_WORK/fullscreen-$second.png
    screenshot "$shot"
    measure "$shot" >"$E2E_WORK/fullscreen-$second.txt"
    echo "# $second s: $(tr '\n' ' ' <"$E2E_WORK/fullscreen-$second.txt")"
    sky=$(value skytop <"$E2E_WORK/fullscreen-$second.txt")
    if num "$sky" '>' "$best_sky"; then
        best_sky=$sky
        best=$second
    fi
done
check "/s is still running after the screenshots" [ "$(saver_wait 0)" = running ]

for second in 3 5 7 9 11 13 15; do
    m=$E2E_WORK/fullscreen-$second.txt
    check "/s at $second s: not black (mean $(value mean <"$m"))" \
        [ "$(value mean <"$m")" -ge 40 ]
    check "/s at $second s: the floor fills the bottom quarter ($(value floorlow <"$m") %)" \
        [ "$(value floorlow <"$m")" -ge 80 ]
    check "/s at $second s: the character's red clothing shows ($(value red <"$m") %)" \
        num "$(value red <"$m")" '>' 0.1
    check "/s at $second s: the character is in the middle ($(value redx <"$m"), $(value redy <"$m"))" \
        in_range "$(value redx <"$m")" 30 70
done
# The tour looks up at the character from waypoint 3 on: the sky fills the top.
check "/s: a screenshot with the sky above the floor (at $best s: $best_sky % sky on top)" \
    [ "$best_sky" -ge 80 ]
[ -n "$best" ] && cp "$E2E_WORK/fullscreen-$best.png" "$E2E_WORK/fullscreen-best.png"

bounded xdotool key space
check "/s ends with exit code 0 on a key press" [ "$(saver_wait 15)" = 0 ]
saver_kill

# --- preview: the scene inside the host window --------------------------------
host_window 320 240
host=$HOST
check "the test driver made a preview host window" [ -n "$host" ]
saver_start /p "$host"
child=$(driver wait-window XIOpenGL - 30000 "$host")
check "/p makes its window inside the host" [ -n "$(echo "$child" | field handle)" ]
# The picture goes to the GL drawable Wine made for the child (see
# gl_drawable), which is measured here; the host window as the screen shows
# it is saved beside it.
wait_for 15 preview_drawn 320x240 "$E2E_WORK/preview.png"
drawable=$(gl_drawable 320x240)
check "/p: Wine made a 320 x 240 GL drawable for the child window ($drawable)" [ -n "$drawable" ]
screenshot "$E2E_WORK/preview-screen.png"
bounded convert "$E2E_WORK/preview-screen.png" -crop 320x240+40+40 +repage "$E2E_WORK/preview-host.png"
measure "$E2E_WORK/preview.png" >"$E2E_WORK/preview.txt"
echo "# preview: $(tr '\n' ' ' <"$E2E_WORK/preview.txt")"
echo "# host window on screen: $(measure "$E2E_WORK/preview-host.png" | tr '\n' ' ')"
m=$E2E_WORK/preview.txt
check "/p draws a picture: not black (mean $(value mean <"$m"))" [ "$(value mean <"$m")" -ge 40 ]
check "/p draws a scene, not a flat colour (spread $(value spread <"$m"))" \
    [ "$(value spread <"$m")" -ge 12 ]
check "/p: the floor fills the bottom quarter ($(value floorlow <"$m") %)" \
    [ "$(value floorlow <"$m")" -ge 80 ]
check "/p: the character's red clothing shows ($(value red <"$m") %)" num "$(value red <"$m")" '>' 0.1
check "/p: the character is in the middle ($(value redx <"$m"), $(value redy <"$m"))" \
    in_range "$(value redx <"$m")" 30 70
driver destroy-host "$host" >/dev/null
check "/p ends with exit code 0 when the host closes" [ "$(saver_wait 15)" = 0 ]
saver_kill

e2e_end
