# shellcheck shell=bash
# Shared helpers of the end-to-end tests, over scripts/lib.sh (display, sound
# server, Wine, waiting, numbers, started processes): checks and their count,
# the real tazroscr.scr under Wine driven by our Win32 test driver, and the
# figures of screenshots and recordings.
#
# A test script sources this file, calls e2e_begin NAME (or sets up what it
# needs itself), runs checks with check/pass/fail, and ends with e2e_end,
# which prints "N passed, M failed" and exits non-zero on any failure.
# Every process runs under a timeout so that a hang fails the test instead
# of stalling the run, and is ended by its process id at the script's exit.
# scripts/test.sh runs the scripts that call e2e_begin one after another
# (they share the run's Wine prefix) and the others beside them; a script
# with the line "# test.sh: quiet" runs when nothing else does.

# shellcheck source=../../scripts/lib.sh
. "$(dirname "${BASH_SOURCE[0]}")/../../scripts/lib.sh"
E2E_TOP=$TAZRO_TOP
E2E_BUILD=${E2E_BUILD:-$E2E_TOP/build/windows}
SCR=$E2E_BUILD/tazroscr.scr
DRIVER=$E2E_BUILD/tests/driver/tazro_driver.exe
# The X helper of the host build (tests/native/xprobe.cpp).
XPROBE=${XPROBE:-$E2E_TOP/build/host/tests/native/xprobe}
SETTINGS_SUBKEY='Software\Velmorix\TazroSrc3D\V01'
wine_env

E2E_PASSED=0
E2E_FAILED=0

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

# e2e_work NAME [DIR]: names the test and empties its work folder (under the
# Windows build, or DIR), where spawn keeps its files.
e2e_work() {
    E2E_NAME=$1
    E2E_WORK=${2:-$E2E_BUILD/e2e}/$E2E_NAME
    rm -rf "$E2E_WORK"
    mkdir -p "$E2E_WORK"
    TAZRO_WORK=$E2E_WORK
}

# e2e_built FILE...: ends the test with one line when a file the host build
# makes is missing.
e2e_built() {
    local file
    for file in "$@"; do
        [ -e "$file" ] || { echo "e2e: build the host preset first ($file)" >&2; exit 1; }
    done
}

# e2e_display: the display in E2E_DISPLAY when set (to reuse one), else a
# virtual one of 1024 x 768.
e2e_display() {
    if [ -n "${E2E_DISPLAY:-}" ]; then
        export DISPLAY=$E2E_DISPLAY
    else
        start_display 1024x768x24
    fi
}

# e2e_begin NAME: a test of the Windows saver: its work folder, a display,
# the prefix in WINEPREFIX (shared by a whole run) or a fresh one of its
# own, and the test driver.
e2e_begin() {
    e2e_work "$1"
    if [ ! -f "$SCR" ] || [ ! -f "$DRIVER" ] || [ ! -x "$XPROBE" ]; then
        echo "e2e: build the host and Windows presets first ($SCR, $DRIVER, $XPROBE)" >&2
        exit 1
    fi
    e2e_display || exit 1
    if [ -n "${WINEPREFIX:-}" ]; then
        wine_prefix "$WINEPREFIX" || exit 1
    else
        wine_prefix "$E2E_WORK/prefix" fresh || exit 1
        # shellcheck disable=SC2016 # evaluated at the exit
        at_exit 'rm -rf "$E2E_WORK/prefix"'
    fi
    # A Wine session keeps the display it started on: one left from before
    # (on a display that is gone) ends first, and this one ends with the
    # test, every Wine process of the prefix with it.
    wine_stop
    at_exit wine_stop
    driver_start
    # No window manager runs on the virtual display, and Wine waits two
    # seconds for one at the end of each managed window: unmanaged windows
    # end at once.
    driver reg-set 'Software\Wine\X11 Driver' Managed 1 4e 00 # "N" as REG_SZ
    echo "# $E2E_NAME (display $DISPLAY, prefix $WINEPREFIX)"
}

e2e_end() {
    echo "$E2E_NAME: $E2E_PASSED passed, $E2E_FAILED failed"
    [ "$E2E_FAILED" -eq 0 ]
}

# --- the Win32 test driver --------------------------------------------------------

# driver_start: one driver process in batch mode answers every later driver
# call of the test (a Wine process costs a fraction of a second to start).
driver_start() {
    local in=$E2E_WORK/driver.in out=$E2E_WORK/driver.out
    rm -f "$in" "$out"
    mkfifo "$in" "$out" || return 1
    timeout -k 5 3600 wine "$DRIVER" batch <"$in" >"$out" 2>/dev/null &
    E2E_DRIVER_PID=$!
    started "$E2E_DRIVER_PID"
    # Opened for reading and writing, which does not wait for the other end:
    # a driver that never starts leaves the first command to time out.
    exec 7<>"$in" 8<>"$out"
    at_exit 'exec 7>&- 8<&-'
}

# driver ARGS...: one command of the driver (its output without carriage
# returns, its exit code). Through the batch process when one runs, else in
# a process of its own. The whole answer is read before any of it is
# printed, so that a reader that stops early (awk's exit, head) leaves
# nothing of it behind for the next command.
driver() {
    # A line break in an argument would end the command line early.
    if [ -z "${E2E_DRIVER_PID:-}" ] || [[ "$*" == *$'\n'* ]] || ! alive "$E2E_DRIVER_PID"; then
        driver_once "$@"
        return
    fi
    local IFS=$'\t' line output='' code=''
    printf '%s\n' "$*" >&7
    # No command waits longer than 60 s by itself.
    while IFS= read -r -t 90 line <&8; do
        line=${line%$'\r'}
        case $line in
        "=end "*)
            code=${line#=end }
            break
            ;;
        esac
        output+=$line$'\n'
    done
    if [ -z "$code" ]; then
        echo "e2e: the test driver did not answer 'driver $*'; ending it" >&2
        stop_pid "$E2E_DRIVER_PID"
        return 1
    fi
    printf '%s' "$output"
    return "$code"
}

# driver_once ARGS...: the driver in a process of its own, for a command run
# in the background or one that must start afresh (the sound device is
# chosen when a process first plays).
driver_once() {
    timeout -k 5 60 wine "$DRIVER" "$@" 2>/dev/null | tr -d '\r'
    return "${PIPESTATUS[0]}"
}

# field NAME: the value of "NAME value" in the driver output on stdin, exactly
# as printed (inner and trailing blanks kept).
field() {
    awk -v k="$1" 'index($0, k " ") == 1 { print substr($0, length(k) + 2); exit }'
}

# host_window W H [LIFETIME_MS]: starts the test driver's stand-in for the
# display control panel's preview window (in the background, until it is
# closed or its lifetime ends); HOST is its handle, empty when it did not
# come up. The driver writes straight to a file: a pipe would hold the handle
# back until the driver ends.
host_window() {
    local name=host-$RANDOM
    spawn "$name" 150 wine "$DRIVER" host-window "$@"
    wait_for 10 _host_handle "$name" >/dev/null
    # shellcheck disable=SC2034 # for the caller
    HOST=$(_host_handle "$name")
}

_host_handle() {
    tr -d '\r' <"$E2E_WORK/$1.out" | field handle | grep .
}

# --- the settings in the registry ---------------------------------------------

# reg_dword NAME VALUE: stores a REG_DWORD (VALUE a number, 0x for hex).
reg_dword() {
    local v=$(($2))
    # shellcheck disable=SC2046 # four bytes, four arguments
    driver reg-set "$SETTINGS_SUBKEY" "$1" 4 \
        $(printf '%02x %02x %02x %02x' $((v & 255)) $((v >> 8 & 255)) $((v >> 16 & 255)) \
            $((v >> 24 & 255))) >/dev/null
}

# reg_bytes NAME TYPE BYTE...: stores a value with that type tag and bytes.
reg_bytes() {
    driver reg-set "$SETTINGS_SUBKEY" "$@" >/dev/null
}

# reg_clear [NAME]: removes a stored setting, or all of them.
# shellcheck disable=SC2120 # NAME is optional
reg_clear() {
    driver reg-delete "$SETTINGS_SUBKEY" "$@" >/dev/null
}

# reg_value NAME: "TYPE SIZE BYTES" of a setting exactly as stored (4 is
# REG_DWORD), e.g. "4 1 01"; "missing" when there is no such value or key.
reg_value() {
    driver reg-value "$SETTINGS_SUBKEY" "$1" | awk '
        $1 == "type" { t = $2 } $1 == "size" { s = $2 }
        $1 == "data" { $1 = ""; d = substr($0, 2) }
        END { if (t == "") print "missing"; else print t, s, d }'
}

# --- the saver under Wine -----------------------------------------------------

# saver_start ARGS...: starts the screen saver in the background (under
# SAVER_TIMEOUT, 60 s by default); SAVER_PID is its process, its exit code
# lands in $E2E_WORK/saver.rc when it ends (124 after the time-out).
saver_start() {
    spawn saver "${SAVER_TIMEOUT:-60}" wine "$SCR" "$@"
    SAVER_PID=$SPAWNED
    # shellcheck disable=SC2034 # for the caller
    SAVER_STARTED=$(now)
}

# saver_wait SECONDS: waits up to that long for the saver to end; prints its
# exit code, or "running" when it still runs.
saver_wait() {
    WAIT_STEP=0.02 wait_for "$1" ended saver >/dev/null
    ended saver || echo running
}

# saver_kill: ends a saver that a test left running, and waits for it.
saver_kill() {
    [ -n "${SAVER_PID:-}" ] && stop_pid "$SAVER_PID"
    saver_wait 10 >/dev/null
    SAVER_PID=
}

# --- pictures and sound -------------------------------------------------------

# screenshot FILE [WINDOW]: the whole screen (or one X window) as a picture.
screenshot() {
    bounded import -window "${2:-root}" "$1" 2>/dev/null
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
    bounded convert "$1" "${crop[@]}" -alpha off -scale '128x96!' -depth 8 txt:- 2>/dev/null |
        awk -F'[(),: ]+' '
        NR > 1 {
            x = $1; y = $2; r = $3; g = $4; b = $5
            v = (r + g + b) / 3; n++; sum += v; sq += v * v
            if (y < 24) { top++; if (b > r + 20) sky++ }
            if (y >= 72) { low++; if (r > b + 20) floor++ }
            if (r > 40 && r > 1.6 * g && r > 1.6 * b) { red++; rx += x; ry += y }
        }
        END {
            if (n == 0) exit 1
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

# drawn [X Y W H]: something has been drawn in that region of the screen
# (the middle by default): the first picture, after a black window.
drawn() {
    [ $# = 4 ] || set -- 448 320 128 128
    bounded -s 10 "$XPROBE" drawn "$@"
}

# gl_drawable WxH: the X window that Wine made as the GL drawable of a
# preview's child window. Wine 8 gives a GL child window of another
# process's window no device context drawable of its own, so the picture
# never reaches the host window on the X screen: it is drawn into an X window
# of the host's size without a name.
gl_drawable() {
    bounded xwininfo -root -tree |
        awk -v size="$1" '/\(has no name\): \(\)  / && $0 ~ "  " size "\\+0\\+0" { print $1; exit }' | grep .
}

# preview_drawn WxH FILE: the preview's GL drawable shows a picture (kept in
# FILE).
preview_drawn() {
    local drawable
    drawable=$(gl_drawable "$1") && screenshot "$2" "$drawable" &&
        in_range "$(measure "$2" | value mean)" 40 255
}

# peak FILE: the largest absolute sample of a recording, 0 to 32768.
peak() {
    bounded sox "$1" -n stat 2>&1 | awk '/^Maximum amplitude/ { max = $3 } /^Minimum amplitude/ { min = -$3 }
        END { v = max > min ? max : min; printf "%d\n", v * 32768 + 0.5 }'
}
