#!/usr/bin/env bash
# Measures how our music engine agrees with two outside XM players,
# openmpt123 and xmp (Debian's; references only), on the rule songs
# (tests/music/rule_songs.cpp): one small module per playback rule of the
# format. Renders each with xm2wav, openmpt123 (linear interpolation) and xmp
# (in its mode for the tracker that defined the format, linear
# interpolation), all at 44,100 Hz, and compares them
# tick by tick (scripts/compare_players.py): prints per module the rows
# played and how many rows each pair agrees on, in pitch and level.
#
# A measuring tool, not a test: the rules are pinned by the unit tests.
# Usage: scripts/compare_players.sh [--detail] [NAME...]
# XM2WAV=path measures another xm2wav (an older build, say) in place of ours.
set -euo pipefail
cd "$(dirname "$0")/.."
top=$PWD
. scripts/lib.sh
detail=()
case ${1:-} in
-h | --help) sed -n '2,14s/^# \{0,1\}//p' "$0"; exit 0 ;;
esac
if [ "${1:-}" = --detail ]; then
    detail=(--detail)
    shift
fi
for tool in openmpt123 xmp python3; do
    command -v "$tool" >/dev/null || {
        echo "compare_players: needs $tool (apt-get install openmpt123 xmp python3)" >&2
        exit 1
    }
done

cmake --preset host >/dev/null
cmake --build --preset host -j "${JOBS:-2}" --target xm2wav write_rule_songs >/dev/null
xm2wav=${XM2WAV:-$top/build/host/tools/xm2wav/xm2wav}
work=$top/build/compare-players
rm -rf "$work"
mkdir -p "$work"
bounded "$top/build/host/tests/music/write_rule_songs" "$work" >"$work/rules.txt"

printf '%-26s %5s %13s %9s %12s\n' module rows ours~openmpt ours~xmp openmpt~xmp
total=(0 0 0 0)
while IFS=$'\t' read -r name rule; do
    if [ $# -gt 0 ] && ! printf '%s\n' "$@" | grep -qx "$name"; then
        continue
    fi
    xm=$work/$name.xm
    # A module we refuse counts as silence.
    bounded -s 60 "$xm2wav" "$xm" "$work/$name.ours.wav" >/dev/null 2>"$work/$name.ours.log" ||
        bounded python3 -c 'import wave; w = wave.open("'"$work/$name.ours.wav"'", "wb"); w.setnchannels(2); w.setsampwidth(2); w.setframerate(44100); w.close()'
    (cd "$work" && bounded -s 60 openmpt123 --quiet --render --samplerate 44100 --no-float \
        --filter 2 --force --output-type wav "$name.xm" >/dev/null 2>&1)
    mv "$xm.wav" "$work/$name.openmpt.wav"
    bounded -s 60 xmp --norc -q -e ft2 -i linear -f 44100 -d wav -o "$work/$name.xmp.wav" "$xm" \
        >/dev/null 2>&1
    line=$(bounded -s 120 python3 "$top/scripts/compare_players.py" "${detail[@]}" "$name" \
        "$work/$name.ours.wav" "$work/$name.openmpt.wav" "$work/$name.xmp.wav")
    read -r _ rows a b c <<<"$(head -n 1 <<<"$line")"
    printf '%-26s %5d %13d %9d %12d\n' "$name" "$rows" "$a" "$b" "$c"
    [ ${#detail[@]} -eq 0 ] || { echo "  ($rule)"; tail -n +2 <<<"$line"; }
    total=($((total[0] + rows)) $((total[1] + a)) $((total[2] + b)) $((total[3] + c)))
done <"$work/rules.txt"
printf '%-26s %5d %13d %9d %12d\n' total "${total[@]}"
