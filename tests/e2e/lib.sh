# Shared helpers of the end-to-end tests: the real tazroscr.scr under Wine on
# a virtual X display, driven by xdotool and our Win32 test driver.
#
# A test script sources this file, calls e2e_begin NAME, runs checks with
# pass/fail, and ends with e2e_end, which prints "N passed, M failed" and
# exits non-zero on any failure. Every process runs under a timeout so that a
# hang fails the test instead of stalling the run.

E2E_TOP=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)
E2E_BUILD=${E2E_BUILD:-$E2E_TOP/build/windows}
SCR=$E2E_BUILD/tazroscr.scr
DRIVER=$E2E_BUILD/tests/driver/tazro_driver.exe
SETTINGS_KEY='HKCU\Software\Velmorix\TazroSrc3D\V01'

export WINEDEBUG=-all
export WINEARCH=win64
export WINEDLLOVERRIDES="mscoree,mshtml=" # no Mono or Gecko prompts in a fresh prefix

E2E_PASSED=0
E2E_FAILED=0
E2E_XVFB_PID=
E2E_OWN_PREFIX=0

pass() {
    E2E_PASSED=$((E2E_PASSED + 1))
    echo "ok - $*"
}

fail() {
    E2E_FAILED=$((E2E_FAILED + 1))
    echo "not ok - $*"
}

# check DESCRIPTION COMMAND...: passes when the command succeeds.
check() {
    local description=$1
    shift
    if "$@"; then pass "$description"; else fail "$description"; fi
}

# Starts Xvfb on a free display (unless E2E_DISPLAY names one to reuse).
e2e_start_display() {
    if [ -n "${E2E_DISPLAY:-}" ]; then
        export DISPLAY=$E2E_DISPLAY
        return 0
    fi
    local n=90
    while [ -e /tmp/.X$n-lock ] || [ -e /tmp/.X11-unix/X$n ]; do n=$((n + 1)); done
    Xvfb :$n -screen 0 1024x768x24 -nolisten tcp >/dev/null 2>&1 &
    E2E_XVFB_PID=$!
    export DISPLAY=:$n
    local i
    for i in $(seq 1 50); do
        xdpyinfo >/dev/null 2>&1 && return 0
        sleep 0.1
    done
    echo "e2e: Xvfb did not start" >&2
    return 1
}

# Uses the prefix in WINEPREFIX when set (shared by a whole run), else makes a
# fresh one under the build folder.
e2e_prefix() {
    if [ -z "${WINEPREFIX:-}" ]; then
        export WINEPREFIX=$E2E_BUILD/e2e/prefix-$1
        rm -rf "$WINEPREFIX"
        E2E_OWN_PREFIX=1
    fi
    if [ ! -f "$WINEPREFIX/system.reg" ]; then
        mkdir -p "$WINEPREFIX"
        timeout 300 wineboot -i >/dev/null 2>&1 || {
            echo "e2e: wineboot failed" >&2
            return 1
        }
    fi
    wine_fonts "$WINEPREFIX"
    # wineboot returns while the new prefix is still being set up in the
    # background: wait until the Wine server has nothing left to do.
    timeout 300 wineserver -w 2>/dev/null || true
}

# wine_fonts PREFIX: copies Wine's own fonts (the real "MS Sans Serif" among
# them) into the prefix; Debian's Wine does not find them by itself, and the
# wider fallback font makes the dialogs' texts wrap.
wine_fonts() {
    if [ -d /usr/share/wine/fonts ]; then
        mkdir -p "$1/drive_c/windows/Fonts"
        cp -n /usr/share/wine/fonts/* "$1/drive_c/windows/Fonts/" 2>/dev/null
    fi
    return 0
}

e2e_begin() {
    E2E_NAME=$1
    E2E_WORK=$E2E_BUILD/e2e/$E2E_NAME
    rm -rf "$E2E_WORK"
    mkdir -p "$E2E_WORK"
    if [ ! -f "$SCR" ] || [ ! -f "$DRIVER" ]; then
        echo "e2e: build the Windows preset first ($SCR, $DRIVER)" >&2
        exit 1
    fi
    e2e_start_display || exit 1
    e2e_prefix "$E2E_NAME" || exit 1
    trap e2e_cleanup EXIT
    echo "# $E2E_NAME (display $DISPLAY, prefix $WINEPREFIX)"
}

e2e_cleanup() {
    pkill -f "$SCR" 2>/dev/null
    timeout 20 wineserver -k 2>/dev/null
    [ -n "$E2E_XVFB_PID" ] && kill "$E2E_XVFB_PID" 2>/dev/null
    [ "$E2E_OWN_PREFIX" = 1 ] && rm -rf "$WINEPREFIX"
    return 0
}

e2e_end() {
    echo "$E2E_NAME: $E2E_PASSED passed, $E2E_FAILED failed"
    [ "$E2E_FAILED" -eq 0 ]
}

# driver ARGS...: the Win32 test driver, with a timeout.
driver() {
    timeout 60 wine "$DRIVER" "$@" 2>/dev/null | tr -d '\r'
}

# saver_start ARGS...: starts the screen saver in the background; its exit
# code lands in $E2E_WORK/saver.rc when it ends (124 after the time-out).
saver_start() {
    rm -f "$E2E_WORK/saver.rc"
    (
        timeout "${SAVER_TIMEOUT:-60}" wine "$SCR" "$@" >"$E2E_WORK/saver.out" 2>&1
        echo $? >"$E2E_WORK/saver.rc"
    ) &
    SAVER_STARTED=$(date +%s.%N)
}

# saver_wait SECONDS: waits for the saver to end; prints its exit code, or
# "running" when it is still running after that long.
saver_wait() {
    local deadline
    deadline=$(($(date +%s) + $1))
    while [ ! -f "$E2E_WORK/saver.rc" ]; do
        if [ "$(date +%s)" -ge "$deadline" ]; then
            echo running
            return 0
        fi
        sleep 0.1
    done
    cat "$E2E_WORK/saver.rc"
}

# saver_kill: ends a saver that a test left running, and waits for it.
saver_kill() {
    pkill -f "$SCR" 2>/dev/null
    saver_wait 10 >/dev/null
    timeout 30 wineserver -w 2>/dev/null || true
}

# host_window W H [LIFETIME_MS]: starts the test driver's stand-in for the
# display control panel's preview window (in the background, until it is
# closed or its lifetime ends) and prints its handle, empty when it did not
# come up. The driver writes straight to a file: a pipe would hold the handle
# back until the driver ends.
host_window() {
    local out=$E2E_WORK/host-$$-$RANDOM.txt handle i
    timeout 150 wine "$DRIVER" host-window "$@" >"$out" 2>/dev/null &
    for i in $(seq 1 100); do
        handle=$(tr -d '\r' <"$out" | field handle)
        [ -n "$handle" ] && break
        sleep 0.1
    done
    echo "$handle"
}

# field NAME: the value of "NAME value" in the driver output on stdin, exactly
# as printed (inner and trailing blanks kept).
field() {
    awk -v k="$1" 'index($0, k " ") == 1 { print substr($0, length(k) + 2); exit }'
}

# measure FILE [GEOMETRY]: figures of a picture (or of the GEOMETRY crop of it),
# scaled down to 128 x 96 cells, as "name value" lines:
#   mean      mean brightness, 0 to 255
#   spread    standard deviation of the brightness (a flat picture has none)
#   skytop    per cent of the top quarter that is sky blue
#   floorlow  per cent of the bottom quarter that is floor (red over blue)
#   red       per cent of the picture in the character's red clothing
#   redx redy centre of those red cells, per cent of the width and height
measure() {
    local crop=()
    [ -n "${2:-}" ] && crop=(-crop "$2" +repage)
    timeout 10 convert "$1" "${crop[@]}" -alpha off -scale '128x96!' -depth 8 txt:- 2>/dev/null |
        awk -F'[(),: ]+' '
        NR > 1 {
            x = $1; y = $2; r = $3; g = $4; b = $5
            v = (r + g + b) / 3; n++; sum += v; sq += v * v
            if (y < 24) { top++; if (b > r + 20) sky++ }
            if (y >= 72) { low++; if (r > b + 20) floor++ }
            if (r > 40 && r > 1.6 * g && r > 1.6 * b) { red++; rx += x; ry += y }
        }
        END {
            mean = sum / n
            printf "mean %d\nspread %d\n", mean, sqrt(sq / n - mean * mean)
            printf "skytop %d\nfloorlow %d\n", 100 * sky / top, 100 * floor / low
            printf "red %.2f\n", 100 * red / n
            if (red > 0) printf "redx %d\nredy %d\n", 100 * rx / red / 128, 100 * ry / red / 96
            else printf "redx -1\nredy -1\n"
        }'
}

# value NAME: a figure from measure's output on stdin.
value() {
    awk -v k="$1" '$1 == k { print $2 }'
}

# in_range VALUE LOW HIGH: an integer within the bounds (an empty value is not).
in_range() {
    [ "${1:--1}" -ge "$2" ] && [ "${1:--1}" -le "$3" ]
}

# above VALUE LIMIT: a decimal greater than the limit.
above() {
    awk -v v="$1" -v l="$2" 'BEGIN { exit !(v > l) }'
}

# peak FILE: the largest absolute sample of a recording, 0 to 32768.
peak() {
    sox "$1" -n stat 2>&1 | awk '/^Maximum amplitude/ { max = $3 } /^Minimum amplitude/ { min = -$3 }
        END { v = max > min ? max : min; printf "%d\n", v * 32768 + 0.5 }'
}

# reg_value NAME: "TYPE DATA" of a settings value, empty when missing.
reg_value() {
    timeout 30 wine reg query "$SETTINGS_KEY" /v "$1" 2>/dev/null | tr -d '\r' |
        awk -v k="$1" '$1 == k { print $2, $3 }'
}

# e2e_start_audio: a private PulseAudio server with a null sink named
# "capture" as the default device, so that Wine's wave output can be recorded.
e2e_start_audio() {
    export XDG_RUNTIME_DIR=$E2E_WORK/pulse-runtime
    export PULSE_RUNTIME_PATH=$XDG_RUNTIME_DIR/pulse
    mkdir -p "$XDG_RUNTIME_DIR"
    chmod 700 "$XDG_RUNTIME_DIR"
    timeout 20 pulseaudio --daemonize=yes --exit-idle-time=-1 --disallow-exit -n \
        --load="module-null-sink sink_name=capture" --load=module-native-protocol-unix \
        >/dev/null 2>&1 || return 1
    local i
    for i in $(seq 1 50); do
        timeout 5 pactl info >/dev/null 2>&1 && break
        sleep 0.1
    done
    timeout 5 pactl set-default-sink capture
}

# e2e_stop_audio: ends the server e2e_start_audio started (by the process id
# in its pid file: it refuses "pactl exit", having been started with
# --disallow-exit, and its command line does not name its folder).
e2e_stop_audio() {
    local pid i
    pid=$(cat "${PULSE_RUNTIME_PATH:-/nonexistent}/pid" 2>/dev/null)
    [ -n "$pid" ] || return 0
    kill "$pid" 2>/dev/null
    for i in $(seq 1 50); do
        kill -0 "$pid" 2>/dev/null || break
        sleep 0.1
    done
    return 0
}

# capture_start FILE: records the null sink to a WAV file until capture_stop.
capture_start() {
    timeout 600 parec -d capture.monitor --format=s16le --rate=44100 --channels=2 \
        --file-format=wav "$1" &
    E2E_CAPTURE_PID=$!
}

capture_stop() {
    kill "$E2E_CAPTURE_PID" 2>/dev/null
    wait "$E2E_CAPTURE_PID" 2>/dev/null
    return 0
}
