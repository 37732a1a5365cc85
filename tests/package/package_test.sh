#!/usr/bin/env bash
# The packages scripts/package.sh makes. The Debian package: its fields and
# files, lintian, an install into a throw-away root and the removal from it,
# and its settings file: it parses and every command line the settings GUI can
# make from it is accepted by the installed program. The Windows zip: its
# files, the read-me, and the version resource of the .scr in it.
set -u
HERE=$(cd "$(dirname "$0")" && pwd)
# shellcheck source=../e2e/lib.sh
. "$HERE/../e2e/lib.sh"
OUT=${PACKAGES:-$E2E_TOP/build/packages}
e2e_work package-test "$E2E_TOP/build"
E2E_NAME=package
WORK=$E2E_WORK
XPROBE=$E2E_TOP/build/host/tests/native/xprobe

version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$E2E_TOP/build/host/CMakeCache.txt")
deb=$OUT/tazroscr_${version}_amd64.deb
zip=$OUT/tazroscr-${version}-win64.zip
echo "# version $version"
if [ -z "$version" ] || [ ! -f "$deb" ] || [ ! -f "$zip" ]; then
    fail "both packages of version '$version' are in $OUT (run scripts/package.sh)"
    e2e_end
    exit 1
fi

# --- the Debian package ------------------------------------------------------
fields=$(bounded dpkg-deb -f "$deb" Package Version Architecture Section | tr '\n' ' ')
check "the package is tazroscr $version for amd64 in x11 ($fields)" \
    [ "$fields" = "Package: tazroscr Version: $version Architecture: amd64 Section: x11 " ]
check "it has a maintainer ($(dpkg-deb -f "$deb" Maintainer))" \
    [ -n "$(dpkg-deb -f "$deb" Maintainer)" ]
depends=$(dpkg-deb -f "$deb" Depends)
echo "# Depends: $depends"
echo "# Installed-Size: $(dpkg-deb -f "$deb" Installed-Size) KiB"

# Every file with its mode and owner; nothing else.
dpkg-deb -c "$deb" | awk '{ print $1, $2, $6 }' | sort >"$WORK/contents.txt"
sort >"$WORK/expected.txt" <<'EOF'
drwxr-xr-x root/root ./usr/
drwxr-xr-x root/root ./usr/libexec/
drwxr-xr-x root/root ./usr/libexec/xscreensaver/
-rwxr-xr-x root/root ./usr/libexec/xscreensaver/tazroscr
drwxr-xr-x root/root ./usr/share/
drwxr-xr-x root/root ./usr/share/doc/
drwxr-xr-x root/root ./usr/share/doc/tazroscr/
-rw-r--r-- root/root ./usr/share/doc/tazroscr/changelog.gz
-rw-r--r-- root/root ./usr/share/doc/tazroscr/copyright
drwxr-xr-x root/root ./usr/share/man/
drwxr-xr-x root/root ./usr/share/man/man6/
-rw-r--r-- root/root ./usr/share/man/man6/tazroscr.6.gz
drwxr-xr-x root/root ./usr/share/xscreensaver/
drwxr-xr-x root/root ./usr/share/xscreensaver/config/
-rw-r--r-- root/root ./usr/share/xscreensaver/config/tazroscr.xml
EOF
check "the package holds exactly the program, settings file, manual and documents, owned by root with sane modes" \
    diff -u "$WORK/expected.txt" "$WORK/contents.txt"

timeout 300 lintian -I --pedantic --fail-on error,warning --tag-display-limit 0 "$deb" >"$WORK/lintian.txt" 2>&1
lintian_rc=$?
sed 's/^/# lintian: /' "$WORK/lintian.txt"
check "lintian finds no error and no warning" [ "$lintian_rc" = 0 ]

# Installed into a throw-away root with its own, empty dpkg database: the
# dependencies are not installed there (hence --force-depends); the package
# has no maintainer scripts, so nothing runs inside the root.
root=$WORK/root
mkdir -p "$root/var/lib/dpkg/info" "$root/var/lib/dpkg/updates"
: >"$root/var/lib/dpkg/status"
# dpkg_root ACTION...: dpkg on the root, its output kept in $WORK/dpkg.txt.
dpkg_root() {
    timeout 60 dpkg --root="$root" --log=/dev/null --force-depends "$@" >>"$WORK/dpkg.txt" 2>&1
}
check "dpkg installs it into a throw-away root" dpkg_root -i "$deb"
check "dpkg lists it as installed there" \
    [ "$(dpkg-query --admindir="$root/var/lib/dpkg" -W -f='${Status} ${Version}' tazroscr)" = \
    "install ok installed $version" ]
program=$root/usr/libexec/xscreensaver/tazroscr
xml=$root/usr/share/xscreensaver/config/tazroscr.xml
check "the installed program is stripped" \
    sh -c "file -b '$program' | grep -q ', stripped'"
missing=$(ldd "$program" 2>&1 | grep 'not found')
check "every library the program needs is on this system ${missing:+($missing)}" [ -z "$missing" ]
# dpkg-shlibdeps: the package of each library the program links is a dependency.
for needed in $(objdump -p "$program" | awk '$1 == "NEEDED" { print $2 }'); do
    lib=$(ldd "$program" | awk -v n="$needed" '$1 == n && $3 ~ /^\// { print $3 }')
    owner=$(dpkg -S "$(readlink -f "$lib")" 2>/dev/null | head -1 | cut -d: -f1)
    [ -n "$owner" ] || owner=$(dpkg -S "$lib" 2>/dev/null | head -1 | cut -d: -f1)
    check "the dependencies name $owner, which holds $(basename "$lib")" \
        sh -c "echo '$depends' | tr ',|' '\n\n' | sed 's/(.*//; s/^ *//; s/ *\$//' | grep -qx '$owner'"
done
check "the installed program prints its version ($("$program" --version 2>&1 | head -1))" \
    sh -c "'$program' --version 2>&1 | head -1 | grep -qw '$version'"
man_warnings=$(LC_ALL=C.UTF-8 MANWIDTH=80 man --warnings -E UTF-8 -l -Tutf8 \
    "$root/usr/share/man/man6/tazroscr.6.gz" 2>&1 >"$WORK/man.txt")
check "the manual page renders without warnings${man_warnings:+ ($man_warnings)}" \
    [ -z "$man_warnings" ]
check "the manual page is for version $version" grep -q "tazroscr $version" "$WORK/man.txt"

# --- the settings file ---------------------------------------------------------
check "the settings file parses (xmllint)" xmllint --noout "$xml"
# A <file> is set to a folder with a module in it (the embedded song's).
mkdir -p "$WORK/music"
cp "$E2E_TOP/build/assets/voxaresource-123.xm" "$WORK/music/"
bounded perl "$HERE/xml_commands.pl" "$xml" "$WORK/music" >"$WORK/commands.txt" 2>&1
check "command lines come out of the settings file ($(wc -l <"$WORK/commands.txt"))" \
    [ "$(wc -l <"$WORK/commands.txt")" -ge 2 ]
check "one of them sets the music file (a <file>) to the folder" \
    grep -q -- "^--root --archivo-musica $WORK/music\$" "$WORK/commands.txt"

# accepted ARGS...: the program, started with ARGS on the virtual display,
# draws its first picture (a refused option ends it at once with 2) and ends
# with 0 within a second of SIGTERM then. Prints why when it does not. ALSA
# gets a configuration without a default device, so that no run plays into
# a sound server that happens to be running: the program says so and goes
# on silently.
printf 'pcm.other { type null }\n' >"$WORK/no-sound.conf"
accepted() {
    local figures
    figures=$(ALSA_CONFIG_PATH=$WORK/no-sound.conf bounded -s 90 "$XPROBE" measure 0 448 320 128 128 \
        -- "$program" "$@" 2>"$WORK/run.err" | tr '\n' ' ')
    read -r _ first _ _ _ took _ code <<<"$figures"
    if ! num "$first" '>=' 0; then
        echo "# no picture; ended with $code: $(head -3 "$WORK/run.err" | tr '\n' ' ')"
        return 1
    fi
    if [ "$code" != 0 ] || ! num "$took" '<' 1000; then
        echo "# after SIGTERM: exit code $code in $took ms"
        return 1
    fi
}

e2e_display || fail "Xvfb starts"
while read -r line; do
    # shellcheck disable=SC2086 # the line is split as the daemon's shell splits it
    check "the program accepts: $line" accepted $line
done <"$WORK/commands.txt"
refused() { ! accepted "$@" >/dev/null; }
check "the same check refuses an option the program does not have" refused --root --no-such-option

check "dpkg removes it from the root" dpkg_root -P tazroscr
check "no file is left under usr/ ($(find "$root/usr" -type f 2>/dev/null | wc -l))" \
    [ -z "$(find "$root/usr" -type f 2>/dev/null)" ]

# --- the Windows zip -------------------------------------------------------------
check "the zip holds the screen saver, the read-me and the licence" \
    [ "$(unzip -Z1 "$zip" | sort | tr '\n' ' ')" = "LEEME-README.txt LICENSE.txt tazroscr.scr " ]
unzip -q -o "$zip" -d "$WORK/zip"
scr=$WORK/zip/tazroscr.scr
readme=$WORK/zip/LEEME-README.txt
licence=$WORK/zip/LICENSE.txt
# The .deb's copyright file's licence paragraph, as plain text.
awk '/^License: / { on = 1; text = ""; next } on && /^ \.$/ { text = text "\n"; next }
    on && /^ / { text = text substr($0, 2) "\n"; next } { on = 0 } END { printf "%s", text }' \
    "$E2E_TOP/packaging/copyright" >"$WORK/licence-expected.txt"
# licence_ok: Windows line ends, a copyright line, and that text at the end.
licence_ok() {
    [ "$(grep -c $'\r$' "$licence")" = "$(wc -l <"$licence")" ] &&
        grep -q '^Copyright (c) [0-9]' "$licence" &&
        tr -d '\r' <"$licence" | tail -n "$(wc -l <"$WORK/licence-expected.txt")" |
        cmp -s - "$WORK/licence-expected.txt"
}
check "the licence has Windows line ends and the copyright file's licence text" licence_ok
check "the .scr is a 64-bit Windows program" \
    sh -c "x86_64-w64-mingw32-objdump -f '$scr' | grep -q 'file format pei-x86-64'"
check "the .scr is stripped" \
    sh -c "x86_64-w64-mingw32-objdump -t '$scr' | grep -q 'no symbols'"
check "the read-me has Windows line ends" \
    [ "$(grep -c $'\r$' "$readme")" = "$(wc -l <"$readme")" ]
check "the read-me names the version" grep -q "TazroScr 3D $version" "$readme"
check "the read-me says how to install, in Spanish and in English" \
    sh -c "grep -q 'elija \"Instalar\"' '$readme' && grep -q 'choose \"Install\"' '$readme' &&
        grep -qi 'carpeta de Windows' '$readme' && grep -qi 'Windows folder' '$readme'"

wrestool -x --raw --type=16 "$scr" >"$WORK/version.res" 2>/dev/null
wrestool -x --raw --type=6 --name=1 "$scr" >"$WORK/strings.res" 2>/dev/null
bounded perl "$HERE/version_info.pl" "$WORK/version.res" "$WORK/strings.res" >"$WORK/version.txt" 2>&1
sed 's/^/# resource: /' "$WORK/version.txt"
info() { awk -v k="$1" 'index($0, k " ") == 1 { print substr($0, length(k) + 2); exit }' \
    "$WORK/version.txt"; }
check "the numeric file and product versions are $version.0" \
    [ "$(info fixed)" = "$version.0 $version.0" ]
check "the version strings are $version" \
    [ "$(info 'string FileVersion')/$(info 'string ProductVersion')" = "$version/$version" ]
check "the product name is TazroScr 3D" [ "$(info 'string ProductName')" = "TazroScr 3D" ]
check "there is a description ($(info 'string FileDescription'))" \
    [ -n "$(info 'string FileDescription')" ]
check "the screen-saver list shows the name TazroScr 3D (string 1)" \
    [ "$(info string1)" = "TazroScr 3D" ]

e2e_end
