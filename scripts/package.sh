#!/usr/bin/env bash
# Installs what is missing, builds both products and packages them: the host
# build (the XScreenSaver hack), the Windows build (the .scr, which embeds the
# host build's assets), then CPack: the Debian package and the Windows zip,
# both under build/packages/. Prints their paths.
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/deps.sh
bash scripts/build.sh
out=build/packages
rm -rf "$out"
mkdir -p "$out"
for preset in deb zip; do
    if ! cpack --preset "$preset" >"$out/cpack-$preset.log" 2>&1; then
        echo "cpack --preset $preset failed; last lines of $out/cpack-$preset.log:" >&2
        tail -n 20 "$out/cpack-$preset.log" >&2
        exit 1
    fi
done
deb=$(ls "$out"/tazroscr_*_amd64.deb)
zip=$(ls "$out"/tazroscr-*-win64.zip)
echo "Debian package: $deb"
echo "Windows zip:    $zip"
