#!/usr/bin/env bash
# The native tazroscr under the real XScreenSaver daemon on a virtual display.
# The daemon launches no display mode as root, so it runs as an ordinary user
# that this test creates (once; later runs reuse it), with a home folder of
# its own under the build folder: a ~/.xscreensaver that lists tazroscr as
# the README says, and a ~/.asoundrc whose default ALSA device is a file
# device: it writes what is played into a file and hands it on to a null sink
# of the user's own PulseAudio server, which takes it at the real pace (ALSA's
# own null device would take it as fast as it is written). The server listens
# on a socket of its own, so that ALSA's PulseAudio hook, which makes the
# running server the default device, does not find it and leaves the file
# device the default. Activate: the hack
# draws the scene into the daemon's window and plays the song (compared with
# xm2wav's render of it). Deactivate: the hack's process is gone within a
# second.
set -u
HERE=$(cd "$(dirname "$0")" && pwd)
# shellcheck source=lib.sh
. "$HERE/lib.sh"
E2E_NAME=xscreensaver
PROGRAM=${TAZROSCR:-$E2E_TOP/build/host/tazroscr}
XM2WAV=${XM2WAV:-$E2E_TOP/build/host/tools/xm2wav/xm2wav}
SONG=${SONG:-$E2E_TOP/build/assets/voxaresource-123.xm}
SAVER_USER=${SAVER_USER:-tazrosaver}
WORK=$E2E_TOP/build/e2e/$E2E_NAME
HOME_DIR=$WORK/home
MUSIC=${MUSIC_SECONDS:-10} # seconds of music played before the hack is deactivated

e2e_built "$PROGRAM" "$XM2WAV"
[ "$(id -u)" = 0 ] || { echo "e2e: run as root (the test creates the daemon's user)" >&2; exit 1; }
echo "# $E2E_NAME"

DAEMON_PID=
# What this script started ends by process id at its exit (the daemon, and
# with it the hack it runs, the sound server, the virtual display); the
# daemon is asked to leave first.
# shellcheck disable=SC2016 # evaluated at the exit
at_exit '[ -z "$DAEMON_PID" ] || as_user 10 xscreensaver-command -exit >/dev/null 2>&1'

# as_user SECONDS COMMAND...: runs COMMAND as the daemon's user, under a
# timeout of SECONDS, in a clean environment with the test's display, home,
# sound server and PATH. A server is started with as_user_start instead, so
# that the process id the script keeps is runuser's own (which hands a stop
# signal on), not that of a shell around it.
as_user() {
    runuser -u "$SAVER_USER" -- env -i DISPLAY="$DISPLAY" HOME="$HOME_DIR" \
        XDG_RUNTIME_DIR="$HOME_DIR/runtime" PATH="$HOME_DIR/bin:/usr/bin:/bin" \
        timeout "$@"
}

# as_user_start LOG SECONDS COMMAND...: as_user in the background, its output
# in LOG; STARTED_PID is its process.
as_user_start() {
    local log=$1
    shift
    runuser -u "$SAVER_USER" -- env -i DISPLAY="$DISPLAY" HOME="$HOME_DIR" \
        XDG_RUNTIME_DIR="$HOME_DIR/runtime" PATH="$HOME_DIR/bin:/usr/bin:/bin" \
        timeout "$@" >"$log" 2>&1 &
    STARTED_PID=$!
    started "$STARTED_PID"
}

# The user, without a login, a home or a shell of its own.
if ! id -u "$SAVER_USER" >/dev/null 2>&1; then
    useradd --system --user-group --no-create-home --home-dir /nonexistent \
        --shell /usr/sbin/nologin "$SAVER_USER" || { echo "e2e: useradd failed" >&2; exit 1; }
fi
e2e_work "$E2E_NAME" "$E2E_TOP/build/e2e"
mkdir -p "$HOME_DIR/bin" "$HOME_DIR/runtime" "$HOME_DIR/.config/pulse"
chmod 700 "$HOME_DIR/runtime"
SOCKET=$HOME_DIR/sound.socket
# No client may start a server of its own.
echo "autospawn = no" >"$HOME_DIR/.config/pulse/client.conf"
# A copy of the program in the user's own folder: the build folder may not be
# readable by other users.
cp "$PROGRAM" "$HOME_DIR/bin/tazroscr"
chmod 755 "$HOME_DIR/bin/tazroscr"
# The README's line in programs:, and the daemon held to it: no splash, no
# fading, no lock, no activation by itself.
cat >"$HOME_DIR/.xscreensaver" <<'EOF'
timeout:	8:00:00
cycle:		0
lock:		False
fade:		False
unfade:		False
splash:		False
mode:		one
selected:	0
programs:	GL: "TazroScr 3D" tazroscr --root \n\

EOF
cat >"$HOME_DIR/.asoundrc" <<EOF
pcm.!default {
    type file
    slave.pcm {
        type pulse
        server "unix:$SOCKET"
    }
    file "$HOME_DIR/music.raw"
    format "raw"
}
EOF
chown -R "$SAVER_USER:" "$HOME_DIR"

e2e_display || exit 1
as_user_start "$WORK/pulseaudio.log" 300 pulseaudio --daemonize=no --exit-idle-time=-1 -n \
    --load="module-null-sink sink_name=capture" --load="module-native-protocol-unix socket=$SOCKET"
wait_for 10 as_user 5 pactl -s "unix:$SOCKET" info >/dev/null 2>&1
check "$SAVER_USER's sound server runs" as_user 5 pactl -s "unix:$SOCKET" set-default-sink capture
as_user_start "$WORK/daemon.log" 300 xscreensaver --no-splash --verbose
DAEMON_PID=$STARTED_PID
wait_for 30 as_user 5 xscreensaver-command -time >/dev/null 2>&1
check "the daemon runs as $SAVER_USER" as_user 5 xscreensaver-command -time

# --- activate ----------------------------------------------------------------
# the_hack: the tazroscr the daemon started (among the processes that
# descend from the one this script started), as "PID USER".
the_hack() {
    local pid
    for pid in $(descendants "$DAEMON_PID"); do
        [ "$(cat "/proc/$pid/comm" 2>/dev/null)" = tazroscr ] || continue
        echo "$pid $(stat -c %U "/proc/$pid" 2>/dev/null)"
        return 0
    done
    return 1
}
as_user 10 xscreensaver-command -activate >/dev/null 2>&1
activated=$(now)
WAIT_STEP=0.02 wait_for 10 the_hack >/dev/null
read -r hack user <<<"$(the_hack)"
check "activating starts tazroscr as $SAVER_USER ($hack ${user:-})" [ -n "$hack" -a "${user:-}" = "$SAVER_USER" ]
hack=${hack:-0}
arguments=$(tr '\0' ' ' <"/proc/$hack/cmdline" 2>/dev/null)
check "the daemon runs it as the README says ($arguments)" [ "$arguments" = "tazroscr --root " ]
window=$(tr '\0' '\n' <"/proc/$hack/environ" 2>/dev/null | sed -n 's/^XSCREENSAVER_WINDOW=//p')
geometry=$(bounded xwininfo -id "${window:-0}" 2>/dev/null | awk '/Width:/ { w = $2 } /Height:/ { h = $2 }
    /Map State:/ { m = $3 } END { print w "x" h, m }')
check "it draws into the daemon's window $window, which covers the screen ($geometry)" \
    [ "$geometry" = "1024x768 IsViewable" ]

# shoot NAME: a screenshot of the whole screen and its figures, in $WORK.
shoot() {
    screenshot "$WORK/$1.png"
    measure "$WORK/$1.png" >"$WORK/$1.txt"
}

# The first picture: the daemon's window is black until the hack draws.
first=
WAIT_STEP=0.02 wait_for 10 drawn && first=$(elapsed "$activated")
echo "# measure: activation to the first picture on the screen: ${first:-none} s"
shoot first
check "the scene appears on the screen (after ${first:-no} s)" \
    in_range "$(value mean <"$WORK/first.txt")" 40 255

# Two pictures a few seconds apart, on the camera tour.
for shot in 1 2; do
    sleep 3
    m=$WORK/screen-$shot.txt
    shoot "screen-$shot"
    echo "# picture $shot: $(tr '\n' ' ' <"$m")"
    check "picture $shot: the floor fills the bottom quarter ($(value floorlow <"$m") %)" \
        in_range "$(value floorlow <"$m")" 80 100
    check "picture $shot: the character's red clothing shows ($(value red <"$m") %)" \
        num "$(value red <"$m")" '>' 0.1
    check "picture $shot: the character is in the middle ($(value redx <"$m"), $(value redy <"$m"))" \
        in_range "$(value redx <"$m")" 30 70
done
changed=$(bounded compare -metric AE -fuzz 5% "$WORK/screen-1.png" "$WORK/screen-2.png" null: 2>&1)
check "the scene moves: the pictures differ in $changed of 786432 pixels" \
    in_range "${changed%%.*}" 7864 786432

raw=$HOME_DIR/music.raw
# played SECONDS: the file device holds that much music.
played() {
    [ "$(stat -c %s "$raw" 2>/dev/null || echo 0)" -gt $(($1 * 176400)) ]
}
wait_for $((MUSIC + 20)) played "$MUSIC"
check "tazroscr still runs after $MUSIC s of music ($(elapsed "$activated") s)" alive "${hack:-0}"

# --- deactivate --------------------------------------------------------------
start=$(now)
as_user 10 xscreensaver-command -deactivate >/dev/null 2>&1
WAIT_STEP=0.01 wait_for 3 _ended "${hack:-0}"
took=$(elapsed "$start")
echo "# measure: deactivate to the end of the hack: $took s"
check "deactivating ends tazroscr within a second ($took s)" num "$took" '<' 1
left=$(ps -u "$SAVER_USER" -o stat=,comm= | awk '$2 == "tazroscr" && $1 !~ /^Z/' | wc -l)
check "no tazroscr of $SAVER_USER is left running ($left)" [ "$left" = 0 ]
grep -E 'tazroscr' "$WORK/daemon.log" | sed 's/^/# daemon: /'

# --- the music -----------------------------------------------------------------
check "the hack played into the ALSA file device ($(stat -c %s "$raw" 2>/dev/null || echo 0) bytes)" \
    [ "$(stat -c %s "$raw" 2>/dev/null || echo 0)" -gt 1764000 ]
bounded sox -t raw -r 44100 -e signed -b 16 -c 2 -L "$raw" "$WORK/music.wav" 2>/dev/null
bounded -s 120 "$XM2WAV" "$SONG" "$WORK/reference.wav" --seconds 30 >/dev/null 2>&1
bounded -s 120 perl "$HERE/wav_match.pl" "$WORK/reference.wav" "$WORK/music.wav" 8 4 50 >"$WORK/match.txt" 2>&1
sed 's/^/# match: /' "$WORK/match.txt"
match() { field "$1" <"$WORK/match.txt"; }
check "the played music matches xm2wav's render piece by piece (median $(match piece_median))" \
    num "$(match piece_median)" '>=' 0.9
check "no two seconds of it differ from the render (lowest $(match piece_min))" \
    num "$(match piece_min)" '>=' 0.5
check "it starts with the song ($(match offset) s in)" num "$(match offset)" '<' 1
level_gap=$(distance "$(match capture_db)" "$(match reference_db)")
check "it plays at the render's level (differs by $level_gap dB)" num "$level_gap" '<' 1

e2e_end
