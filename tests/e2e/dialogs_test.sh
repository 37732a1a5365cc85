#!/usr/bin/env bash
# The configuration and credits dialogs of the real screen saver under Wine:
# layout, what a fresh profile shows, what OK, Cancel and "Valores por
# defecto" store (read back byte for byte), the case-sensitive floor names,
# the credits dialog and its keys, the owner window of each switch, and
# strange stored values. Screenshots of both dialogs land in the work folder
# (and in $DIALOG_SHOTS when set).
set -u
# shellcheck source=lib.sh
. "$(dirname "$0")/lib.sh"
e2e_begin dialogs
# A dialog stays open while it is inspected: give each run more time than the
# default.
SAVER_TIMEOUT=180

# expect_stored NAME "TYPE SIZE BYTES" WHEN
expect_stored() {
    local got
    got=$(reg_value "$1")
    check "$3: $1 is stored as '$2' (got '$got')" [ "$got" = "$2" ]
}

# open_dialog ARGS...: starts the saver and waits until its configuration
# dialog is shown (filled: the dialog becomes visible after WM_INITDIALOG).
# Sets DLG to its handle and keeps its facts in dialog.txt.
open_dialog() {
    saver_start "$@"
    DLG=$(driver dialog - 30000 | field handle)
    wait_visible "$DLG"
    driver info "$DLG" >"$E2E_WORK/dialog.txt"
}

# visible HWND: the window is shown.
visible() {
    [ "$(driver info "$1" | field visible)" = 1 ]
}

# wait_visible HWND: up to ten seconds.
wait_visible() {
    wait_for 10 visible "$1"
}

# gone HWND: the window no longer exists.
gone() {
    driver info "$1" | grep -q '^no window'
}

# state ID: the check state of button ID (0, 1) in the open dialog.
state() {
    driver controls "$DLG" | awk -v id="$1" '
        $2 == id && $3 == "Button" { sub("check=", "", $4); print $4; exit }'
}

text() {
    driver get-text "$DLG" "$1"
}

# combo_items ID: "count|item|item..." of a combo box.
combo_items() {
    driver combo-items "$DLG" "$1" | awk '
        $1 == "count" { out = $2 } $1 == "item" { $1 = ""; $2 = ""; out = out "|" substr($0, 3) }
        END { print out }'
}

# shot NAME HWND: a screenshot cropped to the window.
shot() {
    local rect
    rect=$(driver info "$2" | field rect)
    # shellcheck disable=SC2086 # split into the edges
    set -- "$1" $rect
    screenshot "$E2E_WORK/screen.png"
    bounded convert "$E2E_WORK/screen.png" -crop "$(($4 - $2 + 8))x$(($5 - $3 + 8))+$(($2 - 4))+$(($3 - 4))" \
        +repage "$E2E_WORK/$1.png"
    if [ -n "${DIALOG_SHOTS:-}" ]; then
        mkdir -p "$DIALOG_SHOTS"
        cp "$E2E_WORK/$1.png" "$DIALOG_SHOTS/"
    fi
}

# layout_matches HWND DLU_W DLU_H TABLE: every control of the table sits at
# its place in dialog units. Base units come from the dialog's client size;
# a control is found by id (the first one: a combo box's edit field comes
# after the control that owns the id), or by its text when the id is -1.
# "-" as height skips the bottom edge (a combo box's window is its closed
# height, not the height of its drop-down list).
layout_matches() {
    local client
    client=$(driver info "$1" | field client)
    driver controls "$1" >"$E2E_WORK/layout.txt"
    # shellcheck disable=SC2016 # Perl's own variables
    bounded perl -e '
        my ($cw, $ch, $dw, $dh, $table, $file) = @ARGV;
        my $bx = int($cw * 4 / $dw + 0.5);
        my $by = int($ch * 8 / $dh + 0.5);
        sub muldiv { my ($a, $b, $c) = @_; return int(($a * $b) / $c + 0.5); }
        open(my $f, "<", $file) or die;
        my @controls;
        while (<$f>) {
            next unless /^control (-?\d+) (\S+) .* rect=(-?\d+),(-?\d+),(-?\d+),(-?\d+) text=(.*)$/;
            push @controls, [$1, $2, $3, $4, $5, $6, $7];
        }
        my $bad = 0;
        for my $row (split /\n/, $table) {
            next unless $row =~ /\S/;
            my ($key, $x, $y, $w, $h) = split /\t/, $row;
            my @found = grep {
                $key =~ /^\d+$/ ? ($_->[0] == $key)
                                : (($_->[0] == -1 || $_->[0] == 65535) && $_->[6] eq $key)
            } @controls;
            if (!@found) { print "# layout: no control $key\n"; $bad = 1; next; }
            my $c = $found[0];
            my @want = (muldiv($x, $bx, 4), muldiv($y, $by, 8));
            push @want, $want[0] + muldiv($w, $bx, 4);
            push @want, $want[1] + muldiv($h, $by, 8) if $h ne "-";
            my @got = @$c[2 .. 5];
            for my $i (0 .. $#want) {
                if ($want[$i] != $got[$i]) {
                    print "# layout: $key at @got[0..$#want], expected @want\n";
                    $bad = 1;
                    last;
                }
            }
        }
        exit $bad;
    ' "${client% *}" "${client#* }" "$2" "$3" "$4" "$E2E_WORK/layout.txt"
}

CONFIG_LAYOUT=$(printf '%s\n' \
    "1	7	164	50	14" "2	129	164	50	14" "1000	67	164	54	14" \
    "Configuracion de TazroScr V 0.2 3D	7	7	172	13" \
    "Frames por segundo:	103	121	67	8" "1008	113	132	48	12" \
    "1015	101	148	72	12" "1001	13	33	57	9" "1002	13	43	43	10" \
    "1013	7	67	84	40" "1003	15	78	59	9" "1004	15	86	51	9" \
    "1005	15	94	62	9" "1007	91	33	75	11" "1009	104	78	75	-" \
    "Tipo de camara:	103	68	54	9" "1011	104	104	75	-" \
    "Textura del suelo: 	105	94	60	9" "1012	91	44	73	8" \
    "1014	13	54	160	8" "Opciones variadas	7	22	172	43")

# --- a fresh profile, no argument ---------------------------------------------
reg_clear
open_dialog
facts=$(cat "$E2E_WORK/dialog.txt")
check "no argument: the dialog has no owner" [ "$(echo "$facts" | field owner)" = 0 ]
style=$(echo "$facts" | field style)
check "the dialog is a pop-up with a thin border and no caption ($style)" \
    bits "$style" 0x80C00000 0x80800000
# centred: the dialog's edges are as far from the screen's, to a pixel.
centred() {
    local l t r b w h
    read -r l t r b <<<"$(echo "$facts" | field rect)"
    read -r w h <<<"$(echo "$facts" | field screen)"
    [ -n "$b" ] && [ -n "$h" ] && in_range $((l + r - w)) -1 1 && in_range $((t + b - h)) -1 1
}
check "the dialog is centred on the screen" centred
check "every control of dialog 108 sits at its place in dialog units" \
    layout_matches "$DLG" 186 185 "$CONFIG_LAYOUT"
styles=$(driver controls "$DLG")
control_style() { echo "$styles" | awk -v id="$1" '$2 == id { sub("style=", "", $5); print $5; exit }'; }
check "1008 is a read-only, centred, digits-only, auto-scrolling edit" \
    bits "$(control_style 1008)" 0x28A3 0x2881
combo_styles() { bits "$(control_style 1009)" 0x1FF 0x102 && bits "$(control_style 1011)" 0x1FF 0x102; }
check "1009 and 1011 are editable sorted drop-down combo boxes" combo_styles
check "OK is the default button" [ "$(control_style 1)" = 0x50010001 ]

check "fresh profile: Sombras, Musica, Interpolacion checked" \
    [ "$(state 1002)$(state 1012)$(state 1014)" = 111 ]
check "fresh profile: Version Ninja, Texturas invertidas unchecked" \
    [ "$(state 1001)$(state 1007)" = 00 ]
check "fresh profile: Por vertices selected" [ "$(state 1003)$(state 1004)$(state 1005)" = 100 ]
check "fresh profile: Estandar in the camera box" [ "$(text 1009)" = Estandar ]
check "fresh profile: Seco in the floor box" [ "$(text 1011)" = Seco ]
check "fresh profile: the frame-rate box shows ' 0.00'" [ "$(text 1008)" = " 0.00" ]
check "the camera list holds Estandar" [ "$(combo_items 1009)" = "1|Estandar" ]
check "the floor list holds Seco, Lava in that order" [ "$(combo_items 1011)" = "2|Seco|Lava" ]
shot config-dialog "$DLG"
driver click "$DLG" 2 >/dev/null
check "Cancel closes the dialog and ends the program with 0" [ "$(saver_wait 15)" = 0 ]
check "Cancel stores nothing" [ "$(reg_value ninja)" = missing ]

# --- /x, "Valores por defecto" then Cancel --------------------------------------
open_dialog /x
check "/x: the dialog has no owner" [ "$(field owner <"$E2E_WORK/dialog.txt")" = 0 ]
driver click "$DLG" 1015 >/dev/null
sleep 0.3
driver click "$DLG" 2 >/dev/null
saver_wait 15 >/dev/null
check "Valores por defecto then Cancel stores nothing" [ "$(reg_value sombras)" = missing ]

# --- /c:<window>, every control changed, OK ----------------------------------
host_window 200 150 120000
host=$HOST
open_dialog "/c:$host"
check "/c:<window>: the dialog is owned by that window" \
    [ "$(field owner <"$E2E_WORK/dialog.txt")" = "$host" ]
driver check "$DLG" 1001 1
driver check "$DLG" 1002 0
driver check "$DLG" 1007 1
driver check "$DLG" 1012 0
driver check "$DLG" 1014 0
driver click "$DLG" 1004 >/dev/null
driver combo-select "$DLG" 1011 1
check "choosing a lighting button unchecks the others" \
    [ "$(state 1003)$(state 1004)$(state 1005)" = 010 ]
driver click "$DLG" 1 >/dev/null
check "OK ends the program with 0" [ "$(saver_wait 15)" = 0 ]
driver destroy-host "$host" >/dev/null
driver gone TazroTestHost 10000 >/dev/null
when="OK after changing every control"
expect_stored ninja "4 1 01" "$when"
expect_stored sombras "4 1 00" "$when"
expect_stored invtex "4 1 01" "$when"
expect_stored autocam "4 1 01" "$when"
expect_stored musica "4 1 00" "$when"
expect_stored interpol "4 1 00" "$when"
expect_stored tipoIlum "4 4 01 00 00 00" "$when"
expect_stored nCamara "4 4 00 00 00 00" "$when"
expect_stored nSuelo "4 4 08 00 00 00" "$when"
expect_stored frames "missing" "$when"

# --- /c alone: owned by the foreground window, /c:<no window>: no owner ------
host_window 200 150 120000
host=$HOST
foreground=$(driver foreground | field handle)
check "the host window is the foreground window" [ -n "$host" -a "$foreground" = "$host" ]
open_dialog /c
check "/c alone: the dialog is owned by the foreground window" \
    [ "$(field owner <"$E2E_WORK/dialog.txt")" = "$foreground" ]
driver click "$DLG" 2 >/dev/null
saver_wait 15 >/dev/null
driver destroy-host "$host" >/dev/null
driver gone TazroTestHost 10000 >/dev/null
open_dialog /c:987654321
check "/c:<a number that names no window>: the dialog opens without an owner" \
    [ -n "$DLG" -a "$(field owner <"$E2E_WORK/dialog.txt")" = 0 ]
driver click "$DLG" 2 >/dev/null
check "/c:<a number that names no window> ends with 0" [ "$(saver_wait 15)" = 0 ]

# --- the stored values come back; a floor name typed in lower case ------------
open_dialog
check "stored values are shown: Lava, Version Ninja, Por caras" \
    [ "$(text 1011)|$(state 1001)|$(state 1004)|$(state 1002)" = "Lava|1|1|0" ]
driver set-text "$DLG" 1011 seco
driver click "$DLG" 1 >/dev/null
saver_wait 15 >/dev/null
expect_stored nSuelo "4 4 08 00 00 00" "typing 'seco' and OK"

# --- "Valores por defecto" three times, then OK ---------------------------------
reg_dword frames 0x427A0000 # 62.5
reg_bytes autocam 3 00      # one byte of REG_BINARY, read whatever the type tag
open_dialog
check "the frame-rate box shows the stored 62.5 as '62.50'" [ "$(text 1008)" = "62.50" ]
for i in 1 2 3; do
    driver click "$DLG" 1015 >/dev/null
    sleep 0.2
done
check "three presses of Valores por defecto: one entry per camera name" \
    [ "$(combo_items 1009)" = "1|Estandar" ]
check "three presses of Valores por defecto: one entry per floor name" \
    [ "$(combo_items 1011)" = "2|Seco|Lava" ]
check "Valores por defecto shows the defaults" \
    [ "$(text 1009)|$(text 1011)|$(state 1001)$(state 1002)$(state 1007)$(state 1012)$(state 1014)|$(state 1003)" = "Estandar|Seco|01011|1" ]
check "Valores por defecto leaves the frame-rate box alone" [ "$(text 1008)" = "62.50" ]
driver click "$DLG" 1 >/dev/null
saver_wait 15 >/dev/null
when="Valores por defecto and OK"
expect_stored ninja "4 1 00" "$when"
expect_stored sombras "4 1 01" "$when"
expect_stored invtex "4 1 00" "$when"
expect_stored autocam "4 1 01" "$when"
expect_stored musica "4 1 01" "$when"
expect_stored interpol "4 1 01" "$when"
expect_stored tipoIlum "4 4 02 00 00 00" "$when"
expect_stored nCamara "4 4 00 00 00 00" "$when"
expect_stored nSuelo "4 4 02 00 00 00" "$when"
expect_stored frames "4 4 00 00 7A 42" "$when"

# --- the credits dialog -------------------------------------------------------
CREDITS_LAYOUT=$(printf '%s\n' "1	59	153	50	14" \
    "Protector de pantalla Tazroscr V 0.2 3D\\nProgramacion y musica:\\nEl equipo de TazroScr 3D\\nModelado 3D y texturizacion:\\nEl equipo de TazroScr 3D	18	7	134	45")
open_dialog
driver click "$DLG" 1000 >/dev/null
credits=$(driver owned "$DLG" 10000 | field handle)
check "Creditos opens a dialog owned by the configuration dialog" [ -n "$credits" ]
wait_visible "$credits"
check "every text control of dialog 109 sits at its place in dialog units" \
    layout_matches "$credits" 170 174 "$CREDITS_LAYOUT"
# The seven pictures, in template order: each static shows its whole bitmap
# inside its sunken edge (one pixel on each side).
pictures=$(driver controls "$credits" | awk '
    $3 == "Static" && $5 ~ /e$/ { split(substr($6, 6), r, ","); printf "%dx%d ", r[3] - r[1] - 2, r[4] - r[2] - 2 }')
check "the credits show bitmaps 110 127 112 113 116 119 119 at their sizes ($pictures)" \
    [ "$pictures" = "100x41 100x41 100x54 170x25 100x54 54x14 54x14 " ]
shot credits-dialog "$credits"
# Pixel for pixel as the generator drew them: nothing squeezed or recoloured.
pictures_exact() {
    local facts left top width border ids=(110 127 112 113 116 119 119) i=0 bad=0
    facts=$(driver info "$credits")
    read -r left top _ _ <<<"$(echo "$facts" | field rect)"
    read -r width _ <<<"$(echo "$facts" | field client)"
    border=$(( ($(echo "$facts" | field rect | awk '{ print $3 - $1 }') - width) / 2 ))
    while read -r x y; do
        bounded convert "$E2E_WORK/screen.png" -crop \
            "$(bounded identify -format '%wx%h' "$E2E_ASSETS/bitmap-${ids[$i]}.bmp")+$((left + border + x + 1))+$((top + border + y + 1))" \
            +repage "$E2E_WORK/picture-$i.png"
        different=$(bounded compare -metric AE "$E2E_ASSETS/bitmap-${ids[$i]}.bmp" "$E2E_WORK/picture-$i.png" null: 2>&1)
        [ "$different" = 0 ] || { echo "# bitmap ${ids[$i]}: $different pixels differ"; bad=1; }
        i=$((i + 1))
    done < <(driver controls "$credits" | awk '
        $3 == "Static" && $5 ~ /e$/ { split(substr($6, 6), r, ","); print r[1], r[2] }')
    [ $i -eq 7 ] && [ $bad -eq 0 ]
}
E2E_ASSETS=${E2E_ASSETS:-$E2E_TOP/build/assets}
if [ -f "$E2E_ASSETS/bitmap-110.bmp" ]; then
    check "the credit pictures show pixel for pixel as generated" pictures_exact
fi
driver key "$credits" 27
sleep 1.5
check "Esc does not close the credits" [ "$(driver info "$credits" | field handle)" = "$credits" ]
driver key "$credits" 13
check "Enter closes the credits" wait_for 10 gone "$credits"
check "the configuration dialog stays open after the credits" \
    [ "$(driver info "$DLG" | field visible)" = 1 ]
driver click "$DLG" 1000 >/dev/null
credits=$(driver owned "$DLG" 10000 | field handle)
wait_visible "$credits"
driver click "$credits" 1 >/dev/null
check "the credits' OK button closes them" wait_for 10 gone "$credits"
driver click "$DLG" 2 >/dev/null
saver_wait 15 >/dev/null

# --- strange stored values ----------------------------------------------------
reg_clear
reg_dword ninja 1     # four bytes under a one-byte value
reg_dword nSuelo 42   # no texture slot
reg_dword tipoIlum 7  # no lighting type
reg_dword frames 0x7FC00000 # not a number
open_dialog
check "a 4-byte ninja keeps the default: Version Ninja unchecked" [ "$(state 1001)" = 0 ]
check "nSuelo 42 falls back to the default floor: Seco" [ "$(text 1011)" = Seco ]
check "tipoIlum 7 shows as Sin iluminacion alone" \
    [ "$(state 1003)$(state 1004)$(state 1005)" = 001 ]
check "a frame rate that is not a number shows as ' 0.00'" [ "$(text 1008)" = " 0.00" ]
driver click "$DLG" 1 >/dev/null
check "OK over strange values ends the program with 0" [ "$(saver_wait 15)" = 0 ]
when="OK over strange values"
expect_stored ninja "4 1 00" "$when"
expect_stored nSuelo "4 4 02 00 00 00" "$when"
expect_stored tipoIlum "4 4 00 00 00 00" "$when"
expect_stored frames "4 4 00 00 C0 7F" "$when"

# The scene survives them too.
reg_dword ninja 1
reg_dword nSuelo 42
reg_dword tipoIlum 7
bounded xdotool mousemove 500 400
saver_start /s
window=$(driver wait-window XIOpenGL - 30000 | field handle)
check "/s starts with a 4-byte ninja, nSuelo 42 and tipoIlum 7" [ -n "$window" ]
wait_for 15 drawn
check "/s keeps running with them" [ "$(saver_wait 2)" = running ]
bounded xdotool key space
check "/s over strange values ends with 0 on a key" [ "$(saver_wait 15)" = 0 ]
saver_kill

reg_clear
e2e_end
