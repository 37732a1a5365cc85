#!/bin/sh
# Command-line test of xm2wav: usage and errors, and the golden render of the
# fixed test song, whose PCM the golden unit test pins too.
# Usage: xm2wav_test.sh XM2WAV WRITE_TEST_SONG WORK_FOLDER
set -u
xm2wav=$1
writer=$2
work=$3
rm -rf "$work" && mkdir -p "$work" || exit 1
failures=0

fail() {
    echo "FAIL: $*"
    failures=$((failures + 1))
}

# expect CODE TEXT COMMAND...: exit code CODE and TEXT in the output.
expect() {
    code=$1
    text=$2
    shift 2
    out=$(timeout 120 "$@" 2>&1)
    got=$?
    [ "$got" -eq "$code" ] || fail "$* exited with $got, not $code: $out"
    case $out in
    *"$text"*) ;;
    *) fail "$* did not say '$text': $out" ;;
    esac
}

expect 0 "Usage: xm2wav IN.xm OUT.wav" "$xm2wav" --help
expect 2 "Usage:" "$xm2wav"
expect 2 "unknown option --loud" "$xm2wav" a.xm b.wav --loud
expect 2 "bad value for --rate: 100" "$xm2wav" a.xm b.wav --rate 100
expect 2 "bad value for --seconds: x" "$xm2wav" a.xm b.wav --seconds x
expect 1 "cannot read $work/missing.xm" "$xm2wav" "$work/missing.xm" "$work/out.wav"

echo "not a module" >"$work/text.xm"
expect 1 "not an XM module" "$xm2wav" "$work/text.xm" "$work/out.wav"

# Modules of other formats are refused by name: the tag at its offset in a
# file of zeros.
while read -r offset tag name; do
    head -c 2048 /dev/zero >"$work/other.mod"
    printf '%s' "$tag" | dd of="$work/other.mod" bs=1 seek="$offset" conv=notrunc 2>/dev/null
    expect 1 "$name module, not XM" "$xm2wav" "$work/other.mod" "$work/out.wav"
done <<'EOF'
0 IMPM IT
44 SCRM S3M
1080 M.K. MOD
EOF

"$writer" golden "$work/golden.xm" || fail "write_test_song failed"
cp "$work/golden.xm" "$work/damaged.xm"
printf '\000\000' | dd of="$work/damaged.xm" bs=1 seek=68 conv=notrunc 2>/dev/null # 0 channels
expect 1 "damaged module: no channels" "$xm2wav" "$work/damaged.xm" "$work/out.wav"
expect 1 "cannot write $work/no/such/folder.wav" "$xm2wav" "$work/golden.xm" "$work/no/such/folder.wav"

# The golden render: the same bytes as the engine gives in the unit test.
expect 0 "golden.wav: 8.00 s, 44100 Hz, 16-bit stereo" "$xm2wav" "$work/golden.xm" "$work/golden.wav" --seconds 8
sum=$(sha256sum "$work/golden.wav" | cut -d' ' -f1)
[ "$sum" = 79520c784ebc3648c2425edac8bb07d8069830fe140154cf0f23425d69e3bfdc ] ||
    fail "golden render changed: $sum"

# Without --seconds the song plays once through: the golden song comes back
# to order 1 after 8.14 s.
expect 0 "once.wav: 8.14 s" "$xm2wav" "$work/golden.xm" "$work/once.wav"
expect 0 "slow.wav: 1.50 s, 22050 Hz" "$xm2wav" "$work/golden.xm" "$work/slow.wav" --rate 22050 --seconds 1.5
size=$(wc -c <"$work/slow.wav")
[ "$size" -eq $((44 + 33075 * 4)) ] || fail "slow.wav has $size bytes"

# Renders whose data would not fit the WAV header's 32-bit sizes are refused
# before anything is written; the longest that fit are taken (written to
# /dev/full here, which fails at the first block instead of filling the disk).
while read -r seconds rate verdict; do
    rm -f "$work/long.wav"
    if [ "$verdict" = refused ]; then
        expect 2 "is too long for a WAV file" "$xm2wav" "$work/golden.xm" "$work/long.wav" \
            --seconds "$seconds" --rate "$rate"
        [ ! -e "$work/long.wav" ] || fail "$seconds s at $rate Hz wrote $work/long.wav"
    else
        expect 1 "error writing /dev/full" "$xm2wav" "$work/golden.xm" /dev/full \
            --seconds "$seconds" --rate "$rate"
    fi
done <<'EOF'
30000 44100 refused
24347.89 44100 refused
24347.88 44100 taken
5593 192000 refused
5592 192000 taken
86400 4000 taken
EOF

# Progress on a terminal (script gives standard error one): a render of more
# than 10 s shows it, ending at 100 %; a shorter one, or one without a
# terminal, does not.
progress() {
    timeout 120 script -qec "$*" /dev/null </dev/null | tr '\r' '\n'
}
out=$(progress "$xm2wav" "$work/golden.xm" "$work/long.wav" --seconds 30)
case $out in
*"30.0 of 30.0 s rendered (100%)"*) ;;
*) fail "no progress for 30 s on a terminal: $out" ;;
esac
out=$(progress "$xm2wav" "$work/golden.xm" "$work/short.wav" --seconds 5)
case $out in
*rendered*) fail "progress for 5 s: $out" ;;
esac
out=$("$xm2wav" "$work/golden.xm" "$work/long.wav" --seconds 30 2>&1)
case $out in
*rendered*) fail "progress without a terminal: $out" ;;
esac

[ "$failures" -eq 0 ] && echo "xm2wav: all checks passed"
[ "$failures" -eq 0 ]
