#!/bin/sh
# Builds the XM fuzz target with clang (libFuzzer, AddressSanitizer and
# UndefinedBehaviorSanitizer) into build/fuzz and runs it for a while.
# Usage: fuzz/run_xm_fuzz.sh [SECONDS] [extra libFuzzer options]
# Seeds: the fixed test songs (from a host build's write_test_song, when
# there is one) and any .xm files in build/fuzz/seeds. Findings are written
# to build/fuzz/findings; turn each one into a regression test.
set -eu
root=$(cd "$(dirname "$0")/.." && pwd)
out=$root/build/fuzz
seconds=${1:-60}
[ $# -gt 0 ] && shift
mkdir -p "$out/corpus" "$out/seeds" "$out/findings"

clang++ -std=c++17 -g -O1 -fsanitize=fuzzer,address,undefined -fno-sanitize-recover=all \
    -I "$root/src" "$root/fuzz/xm_fuzz.cpp" "$root"/src/music/*.cpp \
    "$root/src/platform/resources.cpp" -o "$out/xm_fuzz"

writer=$root/build/host/tests/music/write_test_song
if [ -x "$writer" ]; then
    for song in golden amiga busy; do
        "$writer" "$song" "$out/seeds/$song.xm"
    done
fi

timeout $((seconds + 120)) "$out/xm_fuzz" -max_total_time="$seconds" -max_len=65536 \
    -timeout=20 -rss_limit_mb=2048 -dict="$root/fuzz/xm.dict" \
    -artifact_prefix="$out/findings/" "$@" "$out/corpus" "$out/seeds"
