#!/usr/bin/env bash
# End-to-end tests of the web edition in headless Chromium: the page of
# build/web served from 127.0.0.1 by Python's http.server, driven over the
# DevTools protocol by tests/e2e/web/web_test.js, against scene2png's
# pictures and xm2wav's sound from the host build. Self-contained: it needs
# the host build (tools and assets) and the web build, nothing else of the
# other end-to-end scripts. Ends with "web: N passed, M failed".
set -uo pipefail
# shellcheck source=../../scripts/lib.sh
. "$(dirname "$0")/../../scripts/lib.sh"
top=$TAZRO_TOP
web=${WEB_BUILD:-$top/build/web}
host=${HOST_BUILD:-$top/build/host}
assets=${TAZRO_ASSET_DIR:-$top/build/assets}
scene2png=$host/tools/scene2png/scene2png
xm2wav=$host/tools/xm2wav/xm2wav
writer=$host/tests/music/write_test_song
work=$web/e2e
references=$work/references

for file in "$web/index.html" "$web/tazroscr.js" "$web/tazroscr.wasm" "$scene2png" "$xm2wav" \
    "$writer" "$assets/voxaresource-123.xm"; do
    if [ ! -f "$file" ]; then
        echo "web_test: $file is missing: build the host and web presets first" >&2
        exit 1
    fi
done
rm -rf "$work"
mkdir -p "$references"

# scene2png's pictures of the frames the page is asked for (640 x 480 unless
# told otherwise); the hashes of xm2wav's first 6 seconds of the song and
# first 2 seconds of a module of the test writer's (the WAV files' data
# chunks), which the page is given as the user's own.
reference() {
    local name=$1
    shift
    bounded -s 120 "$scene2png" --assets "$assets" "$@" "$references/$name.png" ||
        echo "web_test: scene2png failed for $name" >&2
}
reference still-6 --start 6
reference still-6-small --start 6 --size 320x240
reference still-12 --start 12
reference still-12-lava --start 12 --nSuelo 8
reference still-12-perface --start 12 --tipoIlum 1
pcm_hash() {
    local module=$1 seconds=$2 out=$3
    bounded -s 120 "$xm2wav" "$module" "$work/render.wav" --seconds "$seconds" >/dev/null ||
        echo "web_test: xm2wav failed for $module" >&2
    bounded python3 - "$work/render.wav" >"$out" <<'PY'
import hashlib, struct, sys
data = open(sys.argv[1], "rb").read()
at = 12
while at + 8 <= len(data):
    name, size = data[at:at + 4], struct.unpack("<I", data[at + 4:at + 8])[0]
    if name == b"data":
        print(hashlib.sha256(data[at + 8:at + 8 + size]).hexdigest())
        break
    at += 8 + size + (size & 1)
PY
}
pcm_hash "$assets/voxaresource-123.xm" 6 "$references/sound.sha256"
bounded "$writer" golden "$references/golden.xm" || echo "web_test: write_test_song failed" >&2
pcm_hash "$references/golden.xm" 2 "$references/golden.sha256"

TAZRO_WORK=$work # where web_serve keeps the server's files
web_serve "$web" || exit 1
url=$WEB_URL
echo "# web edition at $url (work folder $work)"
bounded -s 900 node "$top/tests/e2e/web/web_test.js" "$url" "$work" "$references"
