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
. "$HERE/lib.sh"
E2E_NAME=xscreensaver
PROGRAM=${TAZROSCR:-$E2E_TOP/build/host/tazroscr}
XM2WAV=${XM2WAV:-$E2E_TOP/build/host/tools/xm2wav/xm2wav}
SONG=${SONG:-$E2E_TOP/build/assets/voxaresource-123.xm}
SAVER_USER=${SAVER_USER:-tazrosaver}
WORK=$E2E_TOP/build/e2e/$E2E_NAME
HOME_DIR=$WORK/home
LISTEN=${MUSIC_SECONDS:-16} # seconds the hack runs before it is deactivated

for file in "$PROGRAM" "$XM2WAV"; do
    [ -x "$file" ] || { echo "e2e: build the host preset first ($file)" >&2; exit 1; }
done
[ "$(id -u)" = 0 ] || { echo "e2e: run as root (the test creates the daemon's user)" >&2; exit 1; }
echo "# $E2E_NAME"

DAEMON_PID=
SOUND_PID=
# Ends only what this script started: the daemon (and with it the hack it
# runs), the sound server and the virtual display.
cleanup() {
    if [ -n "$DAEMON_PID" ]; then
        as_user 10 xscreensaver-command -exit >/dev/null 2>&1
        kill "$DAEMON_PID" 2>/dev/null
    fi
    local pid
    pid=$(cat "$HOME_DIR/runtime/pulse/pid" 2>/dev/null)
    [ -n "$pid" ] && kill "$pid" 2>/dev/null
    [ -n "$SOUND_PID" ] && kill "$SOUND_PID" 2>/dev/null
    [ -n "$E2E_XVFB_PID" ] && kill "$E2E_XVFB_PID" 2>/dev/null
    return 0
}
trap cleanup EXIT

# as_user SECONDS COMMAND...: runs COMMAND as the daemon's user, under a
# timeout of SECONDS, in a clean environment with the test's display, home,
# sound server and PATH.
as_user() {
    local seconds=$1
    shift
    runuser -u "$SAVER_USER" -- env -i DISPLAY="$DISPLAY" HOME="$HOME_DIR" \
        XDG_RUNTIME_DIR="$HOME_DIR/runtime" PATH="$HOME_DIR/bin:/usr/bin:/bin" \
        timeout "$seconds" "$@"
}

# The user, without a login, a home or a shell of its own.
if ! id -u "$SAVER_USER" >/dev/null 2>&1; then
    useradd --system --user-group --no-create-home --home-dir /nonexistent \
        --shell /usr/sbin/nologin "$SAVER_USER" || { echo "e2e: useradd failed" >&2; exit 1; }
fi
rm -rf "$WORK"
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

e2e_start_display || exit 1
as_user 300 pulseaudio --daemonize=no --exit-idle-time=-1 -n \
    --load="module-null-sink sink_name=capture" --load="module-native-protocol-unix socket=$SOCKET" \
    >"$WORK/pulseaudio.log" 2>&1 &
SOUND_PID=$!
for i in $(seq 1 50); do
    as_user 5 pactl -s "unix:$SOCKET" info >/dev/null 2>&1 && break
    sleep 0.1
done
check "$SAVER_USER's sound server runs" as_user 5 pactl -s "unix:$SOCKET" set-default-sink capture
as_user 300 xscreensaver --no-splash --verbose >"$WORK/daemon.log" 2>&1 &
DAEMON_PID=$!
for i in $(seq 1 100); do
    as_user 5 xscreensaver-command -time >/dev/null 2>&1 && break
    sleep 0.1
done
check "the daemon runs as $SAVER_USER" as_user 5 xscreensaver-command -time

# --- activate ----------------------------------------------------------------
as_user 10 xscreensaver-command -activate >/dev/null 2>&1
started=$(date +%s.%N)
hack=
for i in $(seq 1 100); do
    hack=$(pgrep -u "$SAVER_USER" -x tazroscr | head -1)
    [ -n "$hack" ] && break
    sleep 0.1
done
check "activating starts tazroscr as $SAVER_USER" [ -n "$hack" ]
hack=${hack:-0}
arguments=$(tr '\0' ' ' <"/proc/$hack/cmdline" 2>/dev/null)
check "the daemon runs it as the README says ($arguments)" [ "$arguments" = "tazroscr --root " ]
window=$(tr '\0' '\n' <"/proc/$hack/environ" 2>/dev/null | sed -n 's/^XSCREENSAVER_WINDOW=//p')
geometry=$(xwininfo -id "${window:-0}" 2>/dev/null | awk '/Width:/ { w = $2 } /Height:/ { h = $2 }
    /Map State:/ { m = $3 } END { print w "x" h, m }')
check "it draws into the daemon's window $window, which covers the screen ($geometry)" \
    [ "$geometry" = "1024x768 IsViewable" ]

# shoot NAME: a screenshot of the whole screen and its figures, in $WORK.
shoot() {
    import -window root "$WORK/$1.png" 2>/dev/null
    measure "$WORK/$1.png" >"$WORK/$1.txt"
}

# The first picture: the daemon's window is black until the hack draws.
first=
for i in $(seq 1 100); do
    shoot first
    if in_range "$(value mean <"$WORK/first.txt")" 40 255; then
        first=$(echo "$(date +%s.%N) - $started" | bc)
        break
    fi
    sleep 0.1
done
echo "# measure: activation to the first picture on the screen: ${first:-none} s"
check "the scene appears on the screen (after ${first:-no} s)" [ -n "$first" ]

# Two pictures a few seconds apart, on the camera tour.
for shot in 1 2; do
    sleep 3
    m=$WORK/screen-$shot.txt
    shoot "screen-$shot"
    echo "# picture $shot: $(tr '\n' ' ' <"$m")"
    check "picture $shot: the floor fills the bottom quarter ($(value floorlow <"$m") %)" \
        in_range "$(value floorlow <"$m")" 80 100
    check "picture $shot: the character's red clothing shows ($(value red <"$m") %)" \
        above "$(value red <"$m")" 0.1
    check "picture $shot: the character is in the middle ($(value redx <"$m"), $(value redy <"$m"))" \
        in_range "$(value redx <"$m")" 30 70
done
changed=$(compare -metric AE -fuzz 5% "$WORK/screen-1.png" "$WORK/screen-2.png" null: 2>&1)
check "the scene moves: the pictures differ in $changed of 786432 pixels" \
    in_range "${changed%%.*}" 7864 786432

until [ "$(echo "$(date +%s.%N) >= $started + $LISTEN" | bc)" = 1 ]; do sleep 0.1; done
check "tazroscr still runs after $LISTEN s" kill -0 "$hack"

# --- deactivate --------------------------------------------------------------
# gone PID: the process has ended (a zombie waiting for its parent counts).
gone() {
    local state
    state=$(awk '{ print $3 }' "/proc/$1/stat" 2>/dev/null)
    [ -z "$state" ] || [ "$state" = Z ]
}
start=$(date +%s.%N)
as_user 10 xscreensaver-command -deactivate >/dev/null 2>&1
for i in $(seq 1 300); do
    gone "$hack" && break
    sleep 0.01
done
took=$(echo "$(date +%s.%N) - $start" | bc)
echo "# measure: deactivate to the end of the hack: $took s"
check "deactivating ends tazroscr within a second ($took s)" \
    awk -v t="$took" 'BEGIN { exit !(t < 1) }'
left=$(ps -u "$SAVER_USER" -o stat=,comm= | awk '$2 == "tazroscr" && $1 !~ /^Z/' | wc -l)
check "no tazroscr of $SAVER_USER is left running ($left)" [ "$left" = 0 ]
grep -E 'tazroscr' "$WORK/daemon.log" | sed 's/^/# daemon: /'

# --- the music -----------------------------------------------------------------
raw=$HOME_DIR/music.raw
check "the hack played into the ALSA file device ($(stat -c %s "$raw" 2>/dev/null || echo 0) bytes)" \
    [ "$(stat -c %s "$raw" 2>/dev/null || echo 0)" -gt 1764000 ]
sox -t raw -r 44100 -e signed -b 16 -c 2 -L "$raw" "$WORK/music.wav" 2>/dev/null
"$XM2WAV" "$SONG" "$WORK/reference.wav" --seconds 30 >/dev/null 2>&1
perl "$HERE/wav_match.pl" "$WORK/reference.wav" "$WORK/music.wav" 8 4 50 >"$WORK/match.txt" 2>&1
sed 's/^/# match: /' "$WORK/match.txt"
match() { field "$1" <"$WORK/match.txt"; }
at_least() { perl -e 'exit(($ARGV[1] =~ /^-?[0-9.]+$/ && $ARGV[1] >= $ARGV[0]) ? 0 : 1)' -- "$@"; }
below() { perl -e 'exit(($ARGV[1] =~ /^-?[0-9.]+$/ && $ARGV[1] < $ARGV[0]) ? 0 : 1)' -- "$@"; }
check "the played music matches xm2wav's render piece by piece (median $(match piece_median))" \
    at_least 0.9 "$(match piece_median)"
check "no two seconds of it differ from the render (lowest $(match piece_min))" \
    at_least 0.5 "$(match piece_min)"
check "it starts with the song ($(match offset) s in)" below 1 "$(match offset)"
level_gap=$(perl -e 'printf "%.2f", abs($ARGV[0] - $ARGV[1]) if "@ARGV" =~ /^-?[0-9.]+ -?[0-9.]+$/' \
    -- "$(match capture_db)" "$(match reference_db)")
check "it plays at the render's level (differs by $level_gap dB)" below 1 "$level_gap"

e2e_end
