#!/bin/bash
# Krita without a display (kritarunner): files of every kind Krita opens, and a layered document, sent as
# File > Send to Quenfield sends them; each export compared byte for byte with the reference host's export
# of the same file (for the layered document, of Krita's own flattened copy), each document left as it was.
# CMYK and Lab are refused in words; a Cancel leaves no file; a missing plug-in module and a missing
# companion are each told once, in the GIMP bridge's words. All in one Krita: its first start builds its
# resource database, which takes most of the test's time.
# Usage: headless.sh PYKRITA QUENFIELD-EXPORT MODULE E2E-PIXELS
# shellcheck source=tests/krita/common.sh
. "$(dirname "$0")/common.sh"
cd "$WORK/src" || exit 1

# name type width height channels maker: PNG by netpbm, TIFF by libtiff's raw2tiff, OpenEXR by e2e_pixels.
# Heights are not multiples of the plug-in's band of 64 rows but two.
CASES="
p_u8_rgb    u8   33  7   3 png
p_u8_rgba   u8   300 131 4 png
p_u8_graya  u8   16  11  2 png
p_u16_gray  u16  21  5   1 png
p_u16_rgb   u16  65  67  3 png
p_u16_rgba  u16  70  128 4 png
t_f32_rgb   f32  14  6   3 raw
t_f32_rgba  f32  23  9   4 raw
e_f32_rgb   f32  17  9   3 exr
e_half_rgb  half 9   64  3 exr
"
sources=()
while read -r name type w h c kind; do
    [ -n "$name" ] || continue
    case $kind in
    png) "$PIXELS" pam "$type" "$w" "$h" "$c" 3 "$name.pam" && pamtopng "$name.pam" >"$name.png" && rm "$name.pam" ;;
    exr) "$PIXELS" exr "$type" "$w" "$h" "$c" 3 "$name.exr" ;;
    raw)
        "$PIXELS" raw "$type" "$w" "$h" "$c" 3 "$name.raw"
        raw2tiff -w "$w" -l "$h" -b "$c" -d float -p rgb "$name.raw" "$name.tif" && rm "$name.raw"
        # The fourth sample as alpha that is not premultiplied, as Krita holds it.
        [ "$c" -eq 3 ] || tiffset -s 338 1 2 "$name.tif"
        kind=tif
        ;;
    esac
    sources+=("$WORK/src/$name.$kind")
done <<<"$CASES"
"$PIXELS" pam u8 20 5 4 7 over.pam && pamtopng over.pam >over.png

run_krita main "$WORK/src" "${sources[@]}"

quiet_and_unchanged() { # case
    expect_result "$1" "no message"
    expect_result "$1-document" same
}

for source in "${sources[@]}"; do
    file=$(basename "$source")
    stem=${file%.*}
    quiet_and_unchanged "$file"
    case $stem in
    p_*) same_as_reference "$stem.ppm" "$source" ;;
    *) same_as_reference "$stem.pfm" "$source" ;;
    esac
done

quiet_and_unchanged layered
same_as_reference layered.ppm "$WORK/src/layered-flat.png"
! cmp -s "$OUT/layered.ppm" "$WORK/ref/p_u8_rgb.ppm" || fail "layered: the layers above the picture were not sent"

expect_result cmyk "cmyk was not sent to Quenfield: its colours are CMYK, which Quenfield Export does not take. Convert the image to RGB or grayscale (Image ▸ Convert Image Color Space), then send it again."
expect_result lab-document same
result_of lab | grep -qF "its colours are L*a*b*" || fail "lab: \"$(result_of lab)\""

expect_result cancel-dialog cancelled
quiet_and_unchanged cancelled
[ ! -e "$OUT/cancelled.ppm" ] || fail "cancelled: the export reached the companion"

expect_result nomodule "cancelled was not sent to Quenfield: cannot load the plug-in $WORK/src/no-such-module.so: $WORK/src/no-such-module.so: cannot open shared object file: No such file or directory. Install Quenfield Export again, or name the plug-in in QUENFIELD_EXPORT_MODULE."
expect_result alone "alone was exported to $EXPORTS/alone.ppm, but the companion application did not start (-30901); the file is kept. Install the companion application quenfield-import (or register it), then send the image again."
[ -f "$EXPORTS/alone.ppm" ] || fail "alone: the file was not kept"
[ -z "$(find "$EXPORTS" -name '.*' -type f)" ] || fail "an unfinished export was left: $(ls -A "$EXPORTS")"
finish
