#!/bin/sh
# Robustness of the music engine against real modules: downloads Debian's
# bomberclone-data, flobopuyo and rafkill-data packages, unpacks them and
# renders every .xm file in them for 30 seconds with a sanitizer build of
# xm2wav. Each file must either render or be refused with a clear message,
# and no sanitizer may report anything.
# Usage: tests/music/debian_xm.sh [XM2WAV]   (default: build/asan/tools/xm2wav/xm2wav)
# Needs network access to the Debian archive (apt-get download).
set -u
root=$(cd "$(dirname "$0")/../.." && pwd)
xm2wav=${1:-$root/build/asan/tools/xm2wav/xm2wav}
[ -x "$xm2wav" ] || { echo "debian_xm: no xm2wav at $xm2wav (build the host-asan preset)"; exit 2; }
# The renders run inside a scratch folder: make the tool's path absolute.
xm2wav=$(cd "$(dirname "$xm2wav")" && pwd)/$(basename "$xm2wav")

work=$(mktemp -d) || exit 2
trap 'rm -rf "$work"' EXIT INT TERM
cd "$work" || exit 2
if ! timeout 600 apt-get download -o APT::Sandbox::User=root \
    bomberclone-data flobopuyo rafkill-data >download.log 2>&1; then
    cat download.log
    echo "debian_xm: download failed"
    exit 2
fi
for deb in ./*.deb; do
    dpkg-deb -x "$deb" unpacked || { echo "debian_xm: cannot unpack $deb"; exit 2; }
done

export ASAN_OPTIONS=halt_on_error=1:detect_leaks=1:abort_on_error=0
export UBSAN_OPTIONS=halt_on_error=1:print_stacktrace=1
files=0
rendered=0
refused=0
failures=0
find unpacked -iname '*.xm' | sort >list.txt
while IFS= read -r file; do
    files=$((files + 1))
    name=$(basename "$file")
    timeout 600 "$xm2wav" "$file" out.wav --seconds 30 >log.txt 2>&1
    code=$?
    if grep -q -E 'Sanitizer|runtime error' log.txt; then
        echo "FAIL $name: sanitizer report"
        cat log.txt
        failures=$((failures + 1))
    elif [ "$code" -eq 0 ]; then
        size=$(wc -c <out.wav)
        audible=$(tail -c +45 out.wav | tr -d '\000' | head -c 1 | wc -c)
        if [ "$size" -ne $((44 + 30 * 44100 * 4)) ]; then
            echo "FAIL $name: $size bytes, not 30 seconds"
            failures=$((failures + 1))
        elif [ "$audible" -eq 0 ]; then
            echo "FAIL $name: rendered silence"
            failures=$((failures + 1))
        else
            echo "ok   $name: rendered 30 s"
            rendered=$((rendered + 1))
        fi
    elif [ "$code" -eq 1 ] && grep -q '^xm2wav: ' log.txt; then
        echo "ok   $name: refused: $(cat log.txt)"
        refused=$((refused + 1))
    else
        echo "FAIL $name: exit code $code"
        cat log.txt
        failures=$((failures + 1))
    fi
done <list.txt

echo "debian_xm: $files files, $rendered rendered, $refused refused"
echo "debian_xm: $((rendered + refused)) passed, $failures failed"
[ "$files" -gt 0 ] && [ "$failures" -eq 0 ]
