#!/usr/bin/env bash
# The native saver's own music, --archivo-musica, on a virtual X display with
# its sound recorded through an ALSA file device: a folder with one good
# module, one damaged file and a file that is no module plays the good module
# (the recording is xm2wav's render of it, byte for byte) and says one line
# about the damaged file on standard error.
set -u
# shellcheck source=lib.sh
. "$(dirname "$0")/lib.sh"

NATIVE_BUILD=${NATIVE_BUILD:-$E2E_TOP/build/host}

# recorded BYTES: the file device holds that much, or the saver has ended.
recorded() {
    [ "$(stat -c %s "$E2E_WORK/music.raw" 2>/dev/null || echo 0)" -ge "$1" ] || ended run >/dev/null
}

# user_music_check: the whole check; needs a display and the sound server.
user_music_check() {
    local tazroscr=$NATIVE_BUILD/tazroscr xm2wav=$NATIVE_BUILD/tools/xm2wav/xm2wav
    local writer=$NATIVE_BUILD/tests/music/write_test_song
    local folder="$E2E_WORK/mis módulos" raw=$E2E_WORK/music.raw
    local rc bytes need=$((4 * 176400))
    mkdir -p "$folder"
    bounded "$writer" golden "$folder/bueno.xm" || { fail "the test module is written"; return; }
    # The signature of a module and nothing after it: no orders.
    { printf 'Extended Module: '; head -c 400 /dev/zero; } >"$folder/roto.xm"
    echo 'not a module' >"$folder/notas.txt"
    bounded -s 120 "$xm2wav" "$folder/bueno.xm" "$E2E_WORK/reference.wav" --seconds 30 >/dev/null 2>&1
    tail -c +45 "$E2E_WORK/reference.wav" >"$E2E_WORK/reference.raw" # the 44-byte header off

    printf 'pcm.!default { type file; slave.pcm { type pulse }; file "%s"; format "raw" }\n' \
        "$raw" >"$E2E_WORK/file-device.conf"
    ALSA_CONFIG_PATH=$E2E_WORK/file-device.conf spawn run 60 "$tazroscr" --root \
        --archivo-musica "$folder"
    # Until four seconds have been recorded (the first two are mixed before
    # the device starts), or twenty seconds have passed.
    wait_for 20 recorded "$need"
    kill -TERM "$SPAWNED" 2>/dev/null
    WAIT_STEP=0.02 wait_for 5 ended run >/dev/null
    rc=$(ended run)
    bytes=$(stat -c %s "$raw" 2>/dev/null || echo 0)
    check "--archivo-musica FOLDER: ends with 0 on SIGTERM ($rc)" [ "$rc" = 0 ]
    check "--archivo-musica FOLDER: at least 4 s recorded ($((bytes / 176400)) s)" \
        [ "$bytes" -ge "$need" ]
    check "--archivo-musica FOLDER: the recording is xm2wav's render of the good module" \
        cmp -s -n "$bytes" "$raw" "$E2E_WORK/reference.raw"
    echo "# standard error: $(cat "$E2E_WORK/run.err")"
    check "--archivo-musica FOLDER: one line on standard error, for the damaged file and why" \
        [ "$(wc -l <"$E2E_WORK/run.err")" = 1 ] &&
        grep -qF "tazroscr: '$folder/roto.xm' skipped: damaged module: the order list is empty" \
            "$E2E_WORK/run.err"
    check "--archivo-musica FOLDER: nothing on standard output" [ ! -s "$E2E_WORK/run.out" ]
}

e2e_work user_music "$NATIVE_BUILD/e2e"
e2e_built "$NATIVE_BUILD/tazroscr" "$NATIVE_BUILD/tools/xm2wav/xm2wav" \
    "$NATIVE_BUILD/tests/music/write_test_song"
e2e_display || exit 1
echo "# $E2E_NAME (display $DISPLAY)"
if start_sound "$E2E_WORK/pulse"; then
    user_music_check
else
    fail "a private PulseAudio server with a null sink starts"
fi
e2e_end
