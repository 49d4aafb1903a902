#!/bin/bash
# GIMP as the host: images of every kind loaded by a batch GIMP and sent through the bridge, each export
# compared byte for byte with the reference host's export of the same file; a layered image compared with
# GIMP's own flattened copy and checked to be left as it was; a missing plug-in module reported once, as an
# execution error, and a missing companion once, as a message of a procedure that succeeded (the file is
# kept); the About box of a script, even under a terminal, waits for nobody.
# Usage: bridge.sh QUENFIELD-GIMP QUENFIELD-EXPORT MODULE E2E-PIXELS GIMPLIBDIR GIMPDATADIR
BRIDGE=$1 HOST=$2 MODULE=$3 PIXELS=$4 GIMPLIBDIR=$5 GIMPDATADIR=$6
# shellcheck source=tests/gimp/common.sh
. "$(dirname "$0")/common.sh"
cd "$WORK/src" || exit 1

# name type width height channels maker, and the precision GIMP gives the image: 150 8-bit perceptual, 250
# 16-bit perceptual, 650 float perceptual, 600 float linear, 500 half linear. PNG by netpbm, TIFF by
# ImageMagick or libtiff's raw2tiff, OpenEXR by e2e_pixels.
CASES="
p_u8_gray   u8  17 9  1 png 150
p_u8_graya  u8  16 11 2 png 150
p_u8_rgb    u8  33 7  3 png 150
p_u8_rgba   u8  9  13 4 png 150
p_u16_gray  u16 21 5  1 png 250
p_u16_graya u16 8  8  2 png 250
p_u16_rgb   u16 65 67 3 png 250
p_u16_rgba  u16 70 3  4 png 250
t_u8_rgb    u8  19 6  3 tif 150
t_u8_graya  u8  6  19 2 tif 150
t_u16_gray  u16 12 7  1 tif 250
t_u16_rgba  u16 31 17 4 tif 250
t_f32_rgb   f32 14 6  3 raw 650
e_f32_rgb   f32 23 9  3 exr 600
e_half_rgba half 9 23 4 exr 500
"
sources=()
precisions=()
while read -r name type w h c kind precision; do
    [ -n "$name" ] || continue
    case $kind in
    png) "$PIXELS" pam "$type" "$w" "$h" "$c" 3 "$name.pam" && pamtopng "$name.pam" >"$name.png" ;;
    tif) "$PIXELS" pam "$type" "$w" "$h" "$c" 3 "$name.pam" && convert "$name.pam" "$name.tif" ;;
    exr) "$PIXELS" exr "$type" "$w" "$h" "$c" 3 "$name.exr" ;;
    raw)
        "$PIXELS" raw "$type" "$w" "$h" "$c" 3 "$name.raw"
        raw2tiff -w "$w" -l "$h" -b "$c" -d float -p rgb "$name.raw" "$name.tif" && rm "$name.raw"
        kind=tif
        ;;
    esac
    rm -f "$name.pam"
    sources+=("$WORK/src/$name.$kind")
    precisions+=("$name $precision")
done <<<"$CASES"

# An indexed PNG, and the same colours as RGB for the reference host, which reads no palettes.
"$PIXELS" pam u8 40 30 3 5 colours.pam
pnmquant 50 colours.pam 2>/dev/null >quantized.ppm
pnmtopng quantized.ppm >indexed.png
pamtopng quantized.ppm >indexed_rgb.png
[ "$(od -An -tu1 -j25 -N1 indexed.png | tr -d ' ')" = 3 ] || fail "indexed.png was not written with a palette"
sources+=("$WORK/src/indexed.png")

# Two layers: an RGB picture and, over part of it, a picture with alpha at half opacity.
cp p_u8_rgb.png layered.png
"$PIXELS" pam u8 20 5 4 7 over.pam && pamtopng over.pam >over.png

# A 16-bit image converted to linear light in GIMP.
cp p_u16_rgb.png linear.png

run_gimp send "(send-files \"$OUT\" $(scheme_list "${sources[@]}")) \
    (send-converted \"$OUT\" \"$WORK/src/linear.png\" PRECISION-U16-LINEAR \"$WORK/src/linear_saved.png\") \
    (send-layered \"$OUT\" \"$WORK/src/layered.png\" \"$WORK/src/over.png\" \"$WORK/src/flattened.png\") \
    (show-about RUN-NONINTERACTIVE)"
# The same start-up for the runs below, without GIMP looking at every plug-in again.
cp -a "$WORK/gimp-send" "$WORK/gimp-alone"
cp -a "$WORK/gimp-send" "$WORK/gimp-nomodule"
expect_clean_log send
expect_result send about shown

# The reference host's export of each file, from a folder without companion (it keeps the file).
reference() { # source stem
    rm -rf "$WORK/reftmp/QuenfieldImport"
    TMPDIR="$WORK/reftmp" XDG_DATA_HOME="$WORK/nodata" "$HOST" "$1" >/dev/null || true
    mv "$WORK/reftmp/QuenfieldImport/"* "$WORK/ref/$2.${3:-ppm}" 2>/dev/null || fail "$2: the reference host exported nothing"
}

compare() { # stem reference-file
    local ext=ppm
    case $1 in e_* | t_f32*) ext=pfm ;; esac
    expect_result send "$1" sent
    if [ ! -f "$OUT/$1.$ext" ]; then
        fail "$1: the bridge's export $1.$ext did not reach the companion"
    elif ! cmp -s "$OUT/$1.$ext" "$2"; then
        fail "$1: the bridge's export differs from the reference host's: $(cmp "$OUT/$1.$ext" "$2" 2>&1)"
    fi
}

for source in "${sources[@]}"; do
    stem=$(basename "${source%.*}")
    case $stem in
    indexed) reference "$WORK/src/indexed_rgb.png" indexed ;;
    [et]_f32* | e_*) reference "$source" "$stem" pfm ;;
    *) reference "$source" "$stem" ;;
    esac
    compare "$stem" "$WORK/ref/$stem".*
done

# The values are handed over as GIMP stores them, so these are also the values the plug-in gets.
for entry in "${precisions[@]}"; do
    expect_result send "${entry% *}-precision" "${entry#* }"
done

# Linear values as GIMP stores them, not turned back into perceptual ones.
reference "$WORK/src/linear_saved.png" linear
compare linear "$WORK/ref/linear.ppm"
! cmp -s "$OUT/linear.ppm" "$WORK/ref/p_u16_rgb.ppm" || fail "linear: the export holds the perceptual values"

reference "$WORK/src/flattened.png" layered
compare layered "$WORK/ref/layered.ppm"
expect_result send layered-layers same
expect_result send layered-undo clean
expect_result send layered-images "0 more"
expect_result send layered-items "0 left"

# Failures: each said once, in words, with what to do.
run_gimp alone "(send-files #f $(scheme_list "$WORK/src/p_u8_rgb.png"))" XDG_DATA_HOME="$WORK/nodata" &
alone=$!
run_gimp nomodule "(send-files #f $(scheme_list "$WORK/src/p_u8_rgb.png")) (show-about RUN-NONINTERACTIVE)" \
    QUENFIELD_EXPORT_MODULE="$WORK/no-such-module.so"
wait $alone

said_once() { # log words
    local count
    count=$(grep -cF "$2" "$WORK/$1.log" || true)
    [ "$count" -eq 1 ] || fail "$1: \"$2\" was said $count times, expected once"
    expect_clean_log "$1"
}
expect_result alone p_u8_rgb sent
said_once alone "p_u8_rgb.png was exported to $EXPORTS/p_u8_rgb.ppm, but the companion application did not start (-30901); the file is kept. Install the companion"
[ -f "$EXPORTS/p_u8_rgb.ppm" ] || fail "without companion, the export was not kept"
expect_result nomodule p_u8_rgb failed
said_once nomodule "p_u8_rgb.png was not sent to Quenfield: cannot load the plug-in $WORK/no-such-module.so"
grep -qF "Install Quenfield Export again" "$WORK/nomodule.log" || fail "nomodule: the message says not what to do"
expect_result nomodule about failed

# A script's About under a terminal (a detached tmux session) ends without waiting for a key.
socket="$WORK/tmux.sock"
printf '%q ' env GIMP2_DIRECTORY="$WORK/gimp-alone" TMPDIR="$WORK/tmp" QUENFIELD_EXPORT_MODULE="$MODULE" \
    LSAN_OPTIONS=detect_leaks=0 timeout --foreground 100 gimp-console -i -d -f -g "$WORK/gimprc" \
    -b "(begin (load \"$SCHEME\") (show-about RUN-NONINTERACTIVE))" -b '(gimp-quit 0)' >"$WORK/terminal.sh"
printf '>%q 2>&1; echo $? >%q\n' "$WORK/terminal.log" "$WORK/terminal.status" >>"$WORK/terminal.sh"
TERM=xterm tmux -S "$socket" -f /dev/null new-session -d -x 100 -y 30 "bash $WORK/terminal.sh"
for _ in $(seq 1200); do
    [ -s "$WORK/terminal.status" ] && break
    sleep 0.1
done
tmux -S "$socket" kill-server 2>/dev/null || true
[ "$(cat "$WORK/terminal.status" 2>/dev/null)" = 0 ] || fail "terminal: GIMP did not end by itself"
expect_result terminal about shown
finish
