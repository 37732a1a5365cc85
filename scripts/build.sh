#!/usr/bin/env bash
# Builds the host tools (which generate the assets) and then the Windows
# screen saver that embeds them. Usage: scripts/build.sh [--asan]
set -euo pipefail
cd "$(dirname "$0")/.."
jobs=${JOBS:-$(nproc)}

cmake --preset host >/dev/null
cmake --build --preset host -j "$jobs"
if [ "${1:-}" = --asan ]; then
    cmake --preset host-asan >/dev/null
    cmake --build --preset host-asan -j "$jobs"
fi
# The Windows build embeds every generated asset: configure again so that new
# assets are picked up.
cmake --preset windows >/dev/null
cmake --build --preset windows -j "$jobs"
echo "Built build/windows/tazroscr.scr"
