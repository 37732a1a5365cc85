#!/usr/bin/env bash
# Installs what is missing, builds the products and packages them: the host
# build (the XScreenSaver hack), the Windows build (the .scr, which embeds the
# host build's assets) and the web build (the page, which embeds them too),
# then CPack: the Debian package, the Windows zip and the web edition's zip,
# all under build/packages/. Prints their paths.
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/deps.sh
bash scripts/build.sh
cmake --preset web >/dev/null
cmake --build --preset web -j "${JOBS:-$(nproc)}"
out=build/packages
rm -rf "$out"
mkdir -p "$out"
for preset in deb zip web-zip; do
    if ! cpack --preset "$preset" >"$out/cpack-$preset.log" 2>&1; then
        echo "cpack --preset $preset failed; last lines of $out/cpack-$preset.log:" >&2
        tail -n 20 "$out/cpack-$preset.log" >&2
        exit 1
    fi
done
deb=$(ls "$out"/tazroscr_*_amd64.deb)
zip=$(ls "$out"/tazroscr-*-win64.zip)
webzip=$(ls "$out"/tazroscr-*-web.zip)
echo "Debian package: $deb"
echo "Windows zip:    $zip"
echo "Web zip:        $webzip"
