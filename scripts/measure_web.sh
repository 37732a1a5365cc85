#!/usr/bin/env bash
# The web edition's figures, from build/web (build the host and web presets
# first): the page's weight (every file gzip-compressed, as a server would
# send it), and in headless Chromium at 1024 x 768 the time from the page's
# start to its first frame and the main thread's milliseconds per frame
# over SECONDS of drawing (default 10; the goal is 3 ms or less). Extra
# arguments are settings as a query, e.g. "sombras=0".
# Usage: scripts/measure_web.sh [SECONDS] [QUERY]
set -euo pipefail
cd "$(dirname "$0")/.."
. scripts/lib.sh
seconds=${1:-10}
query=${2:-}
web=build/web
for file in index.html tazroscr.js tazroscr.wasm; do
    [ -f "$web/$file" ] || {
        echo "measure_web: $web/$file is missing: build the host and web presets first" >&2
        exit 1
    }
done

total=0
for file in "$web"/index.html "$web"/tazroscr.js "$web"/tazroscr.wasm "$web"/favicon.ico; do
    size=$(bounded gzip -9c "$file" | wc -c)
    total=$((total + size))
    printf 'Page weight:  %8d bytes gzip-compressed  %s\n' "$size" "$(basename "$file")"
done
printf 'Page weight:  %8d bytes gzip-compressed in all (%d KiB; the limit is 1024 KiB)\n' \
    "$total" $((total / 1024))

TAZRO_WORK=$web
web_serve "$web" || exit 1
url=$WEB_URL
[ -n "$query" ] && url="$url?$query"
bounded -s $((seconds + 120)) node scripts/web_page.js bench "$url" "$seconds"
