# shellcheck shell=bash
# The shell helpers of scripts/ and tests/e2e/, sourced by both (bash 5):
#   time       now, elapsed, wait_for (poll a condition until a deadline)
#   numbers    num A OP B, in_range V LOW HIGH: the one way to compare
#   tools      bounded: any outside tool under a timeout
#   processes  spawn, started, stop_pid, at_exit: what a script starts is
#              ended by its process id when the script exits, never by name
#   display    start_display, xvfb_start: Xvfb on a free display number
#   sound      start_sound, record_start, record_stop: a private PulseAudio
#              server with a null sink "capture" as its default, recorded
#   Wine       wine_env, wine_prefix, wine_stop: the environment every Wine
#              run here uses, a prepared (or fresh) prefix, its server ended
#   web        web_serve: a folder served over HTTP on 127.0.0.1
# Sourcing it sets no shell options and installs one EXIT trap (see at_exit).
# With TAZRO_TRACE=FOLDER set, each script that sources it writes every
# command it runs, with the time, to FOLDER/NAME.PID.trace (where does a
# suite spend its time?).

TAZRO_TOP=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)

if [ -n "${TAZRO_TRACE:-}" ] && mkdir -p "$TAZRO_TRACE"; then
    exec {BASH_XTRACEFD}>"$TAZRO_TRACE/$(basename "$0" .sh).$$.trace"
    PS4='+ ${EPOCHREALTIME} '
    set -x
fi

# --- time -----------------------------------------------------------------------

# now: seconds since the epoch, to the microsecond, without a new process.
now() {
    echo "${EPOCHREALTIME/,/.}"
}

# _us SECONDS: microseconds of a decimal number of seconds ("1.5", "2", ".25")
# into US.
_us() {
    local whole=${1%%.*} fraction=
    [ "$whole" = "$1" ] || fraction=${1#*.}
    fraction=${fraction}000000
    US=$((10#${whole:-0} * 1000000 + 10#${fraction:0:6}))
}

# elapsed SINCE: seconds from SINCE (a value of now) until now, two decimals.
elapsed() {
    local US since
    _us "$1"
    since=$US
    _us "$(now)"
    US=$((US - since))
    printf '%d.%02d\n' $((US / 1000000)) $((US % 1000000 / 10000))
}

# sleep_until SINCE SECONDS: returns SECONDS after SINCE (a value of now), for
# what happens at a set time (a camera tour, a song); conditions are polled
# with wait_for instead.
sleep_until() {
    local US since
    _us "$1"
    since=$US
    _us "$2"
    since=$((since + US))
    _us "$(now)"
    [ "$US" -lt "$since" ] || return 0
    US=$((since - US))
    sleep "$((US / 1000000)).$(printf '%06d' $((US % 1000000)))"
}

# wait_for SECONDS COMMAND...: runs COMMAND every WAIT_STEP seconds (0.1 by
# default) until it succeeds (true) or SECONDS have passed (false). COMMAND
# runs at least once, and once more at the deadline.
wait_for() {
    local US deadline
    _us "$1"
    deadline=$US
    _us "${EPOCHREALTIME/,/.}"
    deadline=$((deadline + US))
    shift
    while :; do
        "$@" && return 0
        _us "${EPOCHREALTIME/,/.}"
        [ "$US" -lt "$deadline" ] || break
        sleep "${WAIT_STEP:-0.1}"
    done
    "$@"
}

# --- numbers --------------------------------------------------------------------

# num A OP B: compares two decimal numbers; OP is one of < <= > >= == !=.
# False when either side is not a number (an empty figure fails every check).
num() {
    awk -v a="$1" -v op="$2" -v b="$3" 'BEGIN {
        n = "^[-+]?([0-9]+[.]?[0-9]*|[.][0-9]+)([eE][-+]?[0-9]+)?$"
        if (a !~ n || b !~ n) exit 1
        a += 0; b += 0
        if (op == "<") exit !(a < b)
        if (op == "<=") exit !(a <= b)
        if (op == ">") exit !(a > b)
        if (op == ">=") exit !(a >= b)
        if (op == "==") exit !(a == b)
        if (op == "!=") exit !(a != b)
        exit 2
    }'
}

# in_range VALUE LOW HIGH: LOW <= VALUE <= HIGH.
in_range() {
    num "$1" '>=' "$2" && num "$1" '<=' "$3"
}

# bits VALUE MASK EXPECTED: the bits of VALUE under MASK are EXPECTED
# (integers; 0x for hex); false when VALUE is not an integer.
bits() {
    [[ $1 =~ ^(0x[0-9a-fA-F]+|[0-9]+)$ ]] || return 1
    [ $(($1 & $2)) = $(($3)) ]
}

# difference A B: prints A - B, or nothing when either is not a number (so
# that a check on the result fails); distance A B: the same, without sign.
difference() {
    awk -v a="$1" -v b="$2" -v abs="${3:-}" 'BEGIN {
        n = "^[-+]?([0-9]+[.]?[0-9]*|[.][0-9]+)([eE][-+]?[0-9]+)?$"
        if (a !~ n || b !~ n) exit 1
        d = a - b
        if (abs && d < 0) d = -d
        printf "%.4g\n", d
    }'
}
distance() {
    difference "$1" "$2" abs
}

# --- tools ----------------------------------------------------------------------

# bounded [-s SECONDS] COMMAND...: COMMAND under a timeout (TOOL_TIMEOUT, 30 s
# by default), killed 5 s after it ignores the end of its time. Exit code
# 124 on time-out, as timeout(1).
bounded() {
    local seconds=${TOOL_TIMEOUT:-30}
    if [ "$1" = -s ]; then
        seconds=$2
        shift 2
    fi
    timeout -k 5 "$seconds" "$@"
}

# --- processes ------------------------------------------------------------------
# A process is remembered as "PID:START" (its start time in clock ticks since
# boot, from /proc), so that a process id given again to someone else's
# process after ours ended is never signalled.

TAZRO_STARTED=()
TAZRO_AT_EXIT=()

# _stat PID: the fields of /proc/PID/stat after the command name (the state
# first, the start time twentieth); false when there is no such process.
_stat() {
    local line
    { read -r line <"/proc/$1/stat"; } 2>/dev/null || return 1
    echo "${line##*) }"
}

# alive PID[:START]: the process runs (a zombie waiting for its parent has
# ended) and, with START, is the one that started then.
alive() {
    local fields
    fields=$(_stat "${1%%:*}") || return 1
    # shellcheck disable=SC2086 # split into the fields
    set -- "$1" $fields
    [ "$2" != Z ] || return 1
    case $1 in *:*) [ "${1#*:}" = "${21}" ] ;; esac
}

# _ended PID[:START]: not alive.
_ended() {
    ! alive "$1"
}

# started PID...: remembers processes of this script, to be ended at its exit.
started() {
    local pid fields
    for pid in "$@"; do
        fields=$(_stat "$pid") || continue
        # shellcheck disable=SC2086
        set -- $fields
        TAZRO_STARTED+=("$pid:${20}")
    done
}

# stop_pid PID[:START] [SECONDS]: ends the process with SIGTERM, and with
# SIGKILL when it is still there after SECONDS (5 by default); returns once
# it has ended. Nothing happens when it has already ended.
stop_pid() {
    local entry=$1 pid=${1%%:*} fields
    if [ "$entry" = "$pid" ]; then
        fields=$(_stat "$pid") || return 0
        # shellcheck disable=SC2086
        set -- "$1" "${2:-5}" $fields
        entry=$pid:${22}
    fi
    alive "$entry" || return 0
    kill -TERM "$pid" 2>/dev/null || true
    if ! WAIT_STEP=0.02 wait_for "${2:-5}" _ended "$entry"; then
        if alive "$entry"; then kill -KILL "$pid" 2>/dev/null || true; fi
        WAIT_STEP=0.02 wait_for 2 _ended "$entry" || true
    fi
    wait "$pid" 2>/dev/null || true # collects a child of this shell
    return 0
}

# descendants PID: the processes that descend from PID (its children, theirs
# and so on), one process id a line.
descendants() {
    local stat line pid parent
    local -A kids=()
    for stat in /proc/[0-9]*/stat; do
        { read -r line <"$stat"; } 2>/dev/null || continue
        pid=${line%% *}
        line=${line##*) }
        parent=${line#* }
        parent=${parent%% *}
        kids[$parent]+=" $pid"
    done
    local queue=("$1") next
    while [ ${#queue[@]} -gt 0 ]; do
        next=${queue[0]}
        queue=("${queue[@]:1}")
        for pid in ${kids[$next]:-}; do
            echo "$pid"
            queue+=("$pid")
        done
    done
}

# spawn NAME SECONDS COMMAND...: starts COMMAND in the background under a
# timeout of SECONDS, remembered for the end (so call it in the script's own
# shell, not in a $(...) subshell). Its process id (the command's
# own, not the timeout's) is in SPAWNED, its exit code lands in
# $TAZRO_WORK/NAME.rc when it ends (124 after the time-out), its output in
# NAME.out and NAME.err there.
spawn() {
    local name=$1 seconds=$2 dir=${TAZRO_WORK:?spawn needs TAZRO_WORK}
    shift 2
    rm -f "$dir/$name.rc" "$dir/$name.pid"
    (
        # shellcheck disable=SC2016 # the inner shell's own $$, $0 and $@
        timeout -k 5 "$seconds" sh -c 'echo $$ >"$0"; exec "$@"' "$dir/$name.pid" "$@" \
            >"$dir/$name.out" 2>"$dir/$name.err"
        echo $? >"$dir/$name.rc.new"
        mv "$dir/$name.rc.new" "$dir/$name.rc"
    ) </dev/null >/dev/null 2>&1 &
    WAIT_STEP=0.01 wait_for 10 test -s "$dir/$name.pid"
    SPAWNED=$(cat "$dir/$name.pid" 2>/dev/null)
    if [ -n "$SPAWNED" ]; then started "$SPAWNED"; fi
    return 0
}

# ended NAME: the exit code of a spawned command that has ended; false while
# it runs.
ended() {
    [ -f "$TAZRO_WORK/$1.rc" ] && cat "$TAZRO_WORK/$1.rc"
}

# at_exit COMMAND: evaluates COMMAND when the script exits, before the
# started processes are ended; the latest registered runs first.
at_exit() {
    TAZRO_AT_EXIT=("$1" "${TAZRO_AT_EXIT[@]}")
}

_tazro_exit() {
    local command i
    for command in "${TAZRO_AT_EXIT[@]}"; do
        eval "$command" || true
    done
    for ((i = ${#TAZRO_STARTED[@]} - 1; i >= 0; i--)); do
        stop_pid "${TAZRO_STARTED[$i]}" 3
    done
    return 0
}
trap _tazro_exit EXIT
# A script ended by a signal (a time-out above it) still cleans up.
trap 'exit 129' HUP
trap 'exit 130' INT
trap 'exit 143' TERM

# --- display --------------------------------------------------------------------

# xvfb_start [GEOMETRY...]: a virtual X server with one screen per geometry
# (1024x768x24 when none is given), on the first free display number from
# 100 on (the low ones are where programs look for a real display). Sets
# XVFB_DISPLAY (":N") and XVFB_PID once it takes connections. The server
# takes its number atomically (its lock file): when another one took it
# meanwhile (a script that looked at the same moment), ours ends at once, and
# the other one answers on that number; so a number is ours only when its
# lock names our server, and else the next one is tried.
xvfb_start() {
    local screen_options=() n=0 geometry
    [ $# -gt 0 ] || set -- 1024x768x24
    for geometry in "$@"; do
        screen_options+=(-screen "$n" "$geometry")
        n=$((n + 1))
    done
    for ((n = 100; n < 1000; n++)); do
        [ -e "/tmp/.X$n-lock" ] || [ -e "/tmp/.X11-unix/X$n" ] && continue
        timeout -k 5 "${XVFB_TIMEOUT:-3600}" Xvfb ":$n" "${screen_options[@]}" -nolisten tcp \
            >/dev/null 2>&1 &
        XVFB_PID=$!
        WAIT_STEP=0.05 wait_for 30 _xvfb_settled "$n"
        if _xvfb_ours "$n"; then
            started "$XVFB_PID"
            XVFB_DISPLAY=:$n
            return 0
        fi
        stop_pid "$XVFB_PID"
    done
    echo "Xvfb did not start" >&2
    return 1
}

# _xvfb_ours N: display :N's lock file names our server (the child of the
# timeout in XVFB_PID), which runs.
_xvfb_ours() {
    local pid fields
    { read -r pid <"/tmp/.X$1-lock"; } 2>/dev/null || return 1
    alive "$XVFB_PID" && fields=$(_stat "$pid") || return 1
    # shellcheck disable=SC2086 # split into the fields (the parent second)
    set -- $fields
    [ "$2" = "$XVFB_PID" ]
}

# _xvfb_settled N: our server on :N has ended, or holds the number and takes
# connections.
_xvfb_settled() {
    ! alive "$XVFB_PID" || { _xvfb_ours "$1" && DISPLAY=:$1 timeout 5 xdpyinfo >/dev/null 2>&1; }
}

# start_display [GEOMETRY...]: xvfb_start, and DISPLAY set to it.
start_display() {
    xvfb_start "$@" || return 1
    export DISPLAY=$XVFB_DISPLAY
}

# has_display: DISPLAY names an X server that answers.
has_display() {
    [ -n "${DISPLAY:-}" ] && bounded -s 10 xdpyinfo >/dev/null 2>&1
}

# --- sound ----------------------------------------------------------------------

# start_sound DIR: a private PulseAudio server whose runtime folder is DIR,
# with a null sink "capture" as the default device, so that what a program
# plays can be recorded. Exports XDG_RUNTIME_DIR and PULSE_RUNTIME_PATH for
# the programs started after it; SOUND_PID is the server.
start_sound() {
    export XDG_RUNTIME_DIR=$1
    export PULSE_RUNTIME_PATH=$XDG_RUNTIME_DIR/pulse
    mkdir -p "$XDG_RUNTIME_DIR" && chmod 700 "$XDG_RUNTIME_DIR" || return 1
    timeout -k 5 "${SOUND_TIMEOUT:-3600}" pulseaudio --daemonize=no --exit-idle-time=-1 -n \
        --load="module-null-sink sink_name=capture" --load=module-native-protocol-unix \
        >"$XDG_RUNTIME_DIR/pulseaudio.log" 2>&1 &
    SOUND_PID=$!
    started "$SOUND_PID"
    wait_for 20 bounded -s 5 pactl info >/dev/null 2>&1 &&
        bounded -s 5 pactl set-default-sink capture >/dev/null 2>&1
}

# stop_sound: ends the server start_sound started.
stop_sound() {
    if [ -n "${SOUND_PID:-}" ]; then stop_pid "$SOUND_PID"; fi
    SOUND_PID=
}

# record_start FILE [SECONDS]: records the null sink into a WAV file (44,100
# Hz, 16 bits, stereo) until record_stop or SECONDS (600) pass, and waits
# until the recorder writes (false when it does not within ten seconds).
record_start() {
    rm -f "$1"
    timeout -k 5 "${2:-600}" parec -d capture.monitor --format=s16le --rate=44100 --channels=2 \
        --file-format=wav "$1" &
    RECORD_PID=$!
    started "$RECORD_PID"
    wait_for 10 _recording "$1"
}

# _recording FILE: more than a twentieth of a second is in the file.
_recording() {
    [ "$(stat -c %s "$1" 2>/dev/null || echo 0)" -gt 8820 ]
}

# record_stop: ends the recording (its file is complete afterwards).
record_stop() {
    if [ -n "${RECORD_PID:-}" ]; then stop_pid "$RECORD_PID"; fi
    RECORD_PID=
    return 0
}

# --- Wine -----------------------------------------------------------------------

# wine_env: no debugging output, a 64-bit prefix, no Mono or Gecko prompt in
# a new prefix.
wine_env() {
    export WINEDEBUG=-all WINEARCH=win64 WINEDLLOVERRIDES="mscoree,mshtml="
}

# wine_prefix DIR [fresh]: makes WINEPREFIX the prefix in DIR, made first
# when DIR holds none (or always, with "fresh"), with Wine's own fonts in it
# (Debian's Wine does not find them by itself, and the wider fallback font
# makes dialog texts wrap); returns once the Wine server is idle.
wine_prefix() {
    wine_env
    export WINEPREFIX=$1
    if [ "${2:-}" = fresh ]; then
        wine_stop
        rm -rf "$WINEPREFIX"
    fi
    if [ ! -f "$WINEPREFIX/system.reg" ]; then
        mkdir -p "$WINEPREFIX"
        bounded -s 300 wineboot -i >/dev/null 2>&1 || {
            echo "wineboot failed in $WINEPREFIX" >&2
            return 1
        }
        # wineboot returns while the new prefix is still being set up in the
        # background: a program started now would find it half made.
        bounded -s 300 wineserver -w 2>/dev/null || true
    fi
    if [ -d /usr/share/wine/fonts ]; then
        mkdir -p "$WINEPREFIX/drive_c/windows/Fonts"
        cp -n /usr/share/wine/fonts/* "$WINEPREFIX/drive_c/windows/Fonts/" 2>/dev/null || true
    fi
    return 0
}

# wine_stop: ends the Wine server of our own prefix (and with it every Wine
# process in that prefix); never without a WINEPREFIX of ours.
wine_stop() {
    [ -n "${WINEPREFIX:-}" ] && [ -d "$WINEPREFIX" ] || return 0
    bounded -s 20 wineserver -k 2>/dev/null || true
    return 0
}

# --- web ------------------------------------------------------------------------

# web_serve FOLDER [PORT] [SECONDS]: serves FOLDER over HTTP on 127.0.0.1
# (scripts/serve_web.py, on PORT, or a free port when it is 0, the default,
# or taken) in the background, under a timeout of SECONDS (3600), ended with
# the script; its files web-server.* are in TAZRO_WORK. WEB_URL is the
# page's address once it serves; false when it does not within ten seconds.
web_serve() {
    spawn web-server "${3:-3600}" python3 "$TAZRO_TOP/scripts/serve_web.py" "$1" "${2:-0}"
    # shellcheck disable=SC2034 # for the caller
    WEB_SERVER_PID=$SPAWNED
    WEB_URL=
    WAIT_STEP=0.05 wait_for 10 _web_url >/dev/null || {
        echo "the page's server did not start; see $TAZRO_WORK/web-server.err" >&2
        return 1
    }
    # shellcheck disable=SC2034 # for the caller
    WEB_URL=$(_web_url)
}

# _web_url: the address the server printed first.
_web_url() {
    head -n 1 "$TAZRO_WORK/web-server.out" 2>/dev/null | grep '^http'
}
