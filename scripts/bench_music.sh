#!/usr/bin/env bash
# Music engine speed against xmp, the fastest XM player in Debian. Renders
# every XM file of Debian's bomberclone-data, flobopuyo and rafkill-data and
# our own song for 240 s of looping audio with xm2wav and with xmp (linear
# interpolation, 44,100 Hz, WAV output), takes the best processor time
# (user + system) of several runs of each, and prints per file and in total
# the seconds and the ratio (xmp's time over ours: above 1 means we are
# faster). Both write their WAV bytes to /dev/null, so the disk stays out of
# the measure. Then prints bench_mixer's figures on the host and for the
# cross-built engine under Wine.
#
# A benchmark, not a test: on a loaded machine the figures move; the best of
# more runs steadies them.
# Usage: scripts/bench_music.sh [--runs N] [--seconds S] [--no-wine]
# XM2WAV=path measures another xm2wav (an older build, say) in place of ours.
set -euo pipefail
cd "$(dirname "$0")/.."
top=$PWD
. scripts/lib.sh
runs=5
seconds=240
wine=1
while [ $# -gt 0 ]; do
    case $1 in
    --runs) runs=$2; shift 2 ;;
    --seconds) seconds=$2; shift 2 ;;
    --no-wine) wine=0; shift ;;
    -h | --help) sed -n '2,16s/^# \{0,1\}//p' "$0"; exit 0 ;;
    *) echo "bench_music: unknown option $1 (see --help)" >&2; exit 2 ;;
    esac
done

if ! command -v xmp >/dev/null; then
    echo "Installing xmp"
    export DEBIAN_FRONTEND=noninteractive
    apt-get update -qq
    apt-get install -y -qq --no-install-recommends xmp >/dev/null
fi

jobs=${JOBS:-$(nproc)}
echo "Building xm2wav and bench_mixer"
cmake --preset host >/dev/null
cmake --build --preset host -j "$jobs" --target xm2wav bench_mixer assets >/dev/null
xm2wav=${XM2WAV:-$top/build/host/tools/xm2wav/xm2wav}
song=$top/build/assets/voxaresource-123.xm

# The Debian modules, downloaded once into the build folder.
data=$top/build/bench-music
if [ ! -f "$data/list.txt" ]; then
    rm -rf "$data"
    mkdir -p "$data"
    (cd "$data" && timeout 600 apt-get download -o APT::Sandbox::User=root \
        bomberclone-data flobopuyo rafkill-data >download.log 2>&1) || {
        cat "$data/download.log"
        echo "bench_music: download failed" >&2
        exit 1
    }
    for deb in "$data"/*.deb; do
        dpkg-deb -x "$deb" "$data/unpacked"
    done
    find "$data/unpacked" -iname '*.xm' | sort >"$data/list.txt.new"
    mv "$data/list.txt.new" "$data/list.txt"
fi
mapfile -t files <"$data/list.txt"
files+=("$song")

# cpu COMMAND...: processor seconds (user + system) of one run.
cpu() {
    local TIMEFORMAT='%U %S' t
    t=$({ time "$@" >/dev/null 2>&1; } 2>&1 | tail -n 1)
    awk -v t="$t" 'BEGIN { split(t, a, " "); printf "%.3f", a[1] + a[2] }'
}

# best COMMAND...: the least processor time of $runs runs.
best() {
    local low="" t i
    for ((i = 0; i < runs; i++)); do
        t=$(cpu "$@")
        if [ -z "$low" ] || num "$t" '<' "$low"; then
            low=$t
        fi
    done
    echo "$low"
}

echo
echo "Processor seconds for $seconds s of audio at 44,100 Hz, best of $runs runs"
printf '%-36s %9s %9s %8s %11s\n' file xm2wav xmp ratio "x realtime"
total_ours=0
total_xmp=0
for file in "${files[@]}"; do
    name=$(basename "$file")
    [ "$file" = "$song" ] && name="our song ($name)"
    ours=$(best "$xm2wav" "$file" /dev/null --seconds "$seconds")
    theirs=$(best xmp --norc -q -l -i linear -f 44100 -t "$seconds" -d wav -o /dev/null "$file")
    total_ours=$(awk -v a="$total_ours" -v b="$ours" 'BEGIN { print a + b }')
    total_xmp=$(awk -v a="$total_xmp" -v b="$theirs" 'BEGIN { print a + b }')
    awk -v n="$name" -v o="$ours" -v x="$theirs" -v s="$seconds" 'BEGIN {
        printf "%-36s %9.3f %9.3f %8.2f %11.0f\n", n, o, x, (o > 0 ? x / o : 0), (o > 0 ? s / o : 0) }'
done
awk -v o="$total_ours" -v x="$total_xmp" -v n="${#files[@]}" 'BEGIN {
    printf "%-36s %9.3f %9.3f %8.2f\n", "total (" n " files)", o, x, (o > 0 ? x / o : 0) }'

echo
echo "bench_mixer on the host"
"$top/build/host/tools/bench_mixer/bench_mixer" --seconds "$seconds" "$song"

if [ "$wine" = 1 ]; then
    # Wine's process clock moves in steps of about 10 ms: ten times the
    # audio keeps that step small against the measure.
    echo
    echo "bench_mixer cross-built, under Wine"
    cmake --preset windows >/dev/null
    cmake --build --preset windows -j "$jobs" --target bench_mixer >/dev/null
    wine_prefix "$top/build/windows/bench/prefix"
    at_exit wine_stop
    bounded -s 600 wine "$top/build/windows/tools/bench_mixer/bench_mixer.exe" \
        --seconds "$(awk -v s="$seconds" 'BEGIN { print s * 10 }')" "$song" | tr -d '\r'
fi
