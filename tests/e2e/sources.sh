#!/bin/bash
# Images as other programs write them (libjpeg-turbo's cjpeg, ImageMagick, netpbm, libtiff's tools), through
# quenfield-export and the plug-in: every sample of the export equals what netpbm decodes from the same source,
# widened from 8 to 16 bits as the plug-in widens it (v * 257). Kinds the host expands with the libraries'
# own transforms (palette, low-bit gray, white-is-zero) and a page of a multi-page TIFF are among them; a CMYK
# JPEG is refused in words.
# Usage: sources.sh QUENFIELD-EXPORT QUENFIELD-IMPORT E2E-PIXELS
HOST=$1 IMPORT=$2 PIXELS=$3
. "$(dirname "$0")/common.sh"
cd "$WORK/src"
export XDG_DATA_HOME="$WORK/nodata" # the export file is what is compared; it stays without a companion

# Odd sizes, so that JPEG's 8x8 and 16x16 blocks and the low-bit rows' bytes end part-way.
W=77 H=45
"$PIXELS" pam u8 $W $H 3 1 noise.pam
pamtopnm noise.pam >noise.ppm
pgmramp -diagonal $W $H >ramp.pgm
convert -size ${W}x$H gradient:red-blue -depth 8 smooth.ppm
# Few colours, so that writers choose a palette; half of them partly transparent for the PNG with tRNS.
convert -size ${W}x$H plasma:fractal -seed 7 +dither -colors 12 -depth 8 few.ppm
convert few.ppm \( -size ${W}x$H pattern:checkerboard -threshold 50% \) -alpha off -compose copy_opacity \
    -composite fewalpha.png

make_source() { # name
    case $1 in
    jpeg420.jpg) cjpeg -quality 85 -sample 2x2 noise.ppm ;;
    jpeg444.jpg) cjpeg -quality 95 -sample 1x1 smooth.ppm ;;
    gray.jpg) cjpeg -grayscale ramp.pgm ;;
    progressive.jpg) cjpeg -progressive -quality 80 noise.ppm ;;
    magick.jpg) convert smooth.ppm -quality 70 jpg:- ;;
    palette.png) convert few.ppm -type Palette PNG8:- ;;
    palette_alpha.png) convert fewalpha.png PNG8:- ;;
    palette4.png) pnmtopng few.ppm ;;
    gray1.png) pamditherbw ramp.pgm | pnmtopng ;;
    gray2.png) pamdepth 3 ramp.pgm | pnmtopng ;;
    gray4.png) pamdepth 15 ramp.pgm | pnmtopng -interlace ;;
    gray2.tif) pamdepth 3 ramp.pgm | pnmtotiff 2>/dev/null ;;
    gray4.tif) pamdepth 15 ramp.pgm | pnmtotiff 2>/dev/null ;;
    bilevel.tif) pamditherbw ramp.pgm | pnmtotiff -miniswhite 2>/dev/null ;;
    palette.tif) convert few.ppm -type Palette tif:- ;;
    pages.tif)
        convert ramp.pgm page1.tif && convert smooth.ppm page2.tif && convert noise.ppm page3.tif
        tiffcp page1.tif page2.tif page3.tif three.tif && cat three.tif
        ;;
    esac
}

# What netpbm decodes from the source, as a 16-bit RGB PPM body.
expected_body() { # source page
    local source=$1
    if [ "$2" != 1 ]; then
        # tiffsplit names the pages page-aaa.tif, page-aab.tif, ...
        local letters=(a b c d e f g h)
        tiffsplit "$1" page- && source="page-aa${letters[$2 - 1]}.tif"
    fi
    case $source in
    *.jpg) jpegtopnm "$source" ;;
    *.png) pngtopnm "$source" ;;
    *.tif) tifftopnm "$source" ;;
    esac 2>/dev/null | ppmtoppm | pamdepth 65535 | tail -c $((W * H * 6))
}

# source, page to export
CASES="
jpeg420.jpg 1
jpeg444.jpg 1
gray.jpg 1
progressive.jpg 1
magick.jpg 1
palette.png 1
palette_alpha.png 1
palette4.png 1
gray1.png 1
gray2.png 1
gray4.png 1
gray2.tif 1
gray4.tif 1
bilevel.tif 1
palette.tif 1
pages.tif 2
"

while read -r name page; do
    [ -n "$name" ] || continue
    make_source "$name" >"$name" || fail "$name: the source could not be made"
    if ! line=$("$HOST" --page "$page" "$name" 2>/dev/null) && [[ $line != *"and kept there"* ]]; then
        fail "$name: not exported: $line"
        continue
    fi
    exported="$EXPORTS/${name%.*}.ppm"
    expected_body "$name" "$page" >expected.raw
    [ "$(stat -c %s expected.raw)" = $((W * H * 6)) ] || fail "$name: netpbm could not decode the source"
    tail -c $((W * H * 6)) "$exported" >exported.raw
    if ! cmp -s expected.raw exported.raw; then
        fail "$name: the export differs from netpbm's decoding: $(cmp expected.raw exported.raw 2>&1 | head -n 1)"
    fi
    rm -f page-*.tif
done <<<"$CASES"

# Page and alpha notices.
"$HOST" --page 2 pages.tif >pages.txt 2>/dev/null || true
grep -qF "pages.tif (page 2 of 3): exported to $EXPORTS/pages.ppm" pages.txt || fail "no \"page 2 of 3\" line"
grep -qxF "pages.tif: note: its 2 other pages are not exported (--page N chooses one)" pages.txt ||
    fail "no notice of the other pages"
"$HOST" palette_alpha.png >alpha.txt 2>/dev/null || true
grep -qxF "palette_alpha.png: note: its alpha channel is not exported" alpha.txt || fail "no notice of the alpha channel"

# A page that is not there.
line=$("$HOST" --page 4 pages.tif 2>/dev/null) && fail "page 4 of 3 was exported"
[ "$line" = "pages.tif: not exported: it has 3 pages; there is no page 4" ] || fail "page 4's line is \"$line\""
line=$("$HOST" --page 2 gray.jpg 2>/dev/null) && fail "page 2 of a JPEG was exported"
[ "$line" = "gray.jpg: not exported: it has only one page; there is no page 2" ] || fail "the JPEG's line is \"$line\""

convert smooth.ppm -colorspace CMYK cmyk.jpg
line=$("$HOST" cmyk.jpg 2>/dev/null) && fail "the CMYK JPEG was exported"
[ "$line" = "cmyk.jpg: not exported: CMYK colour (a print-ready JPEG) is not supported; convert it to RGB first" ] ||
    fail "the CMYK JPEG's line is \"$line\""
finish
