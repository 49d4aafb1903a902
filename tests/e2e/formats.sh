#!/bin/bash
# Every supported kind of image, through quenfield-export, the plug-in and quenfield-import: the exported file
# is decoded by netpbm and by ImageMagick (or read as raw floats) and the companion's TIFF by ImageMagick or
# libtiff, and every sample is compared with what the source held.
# Usage: formats.sh QUENFIELD-EXPORT QUENFIELD-IMPORT E2E-PIXELS
HOST=$1 IMPORT=$2 PIXELS=$3
. "$(dirname "$0")/common.sh"

# name type width height channels maker [maker option]: TIFFs by libtiff's raw2tiff and tiffcp or by
# ImageMagick, PNGs by netpbm, OpenEXR by e2e_pixels through the OpenEXR library
CASES="
t_u8_gray       u8   1     1 1 tiff
t_u8_rgb        u8   10001 3 3 tiff
t_u8_rgba       u8   37    19 4 tiff -c lzw
t_u8_rgb_tiled  u8   45    37 3 tiff tiled
t_u16_gray      u16  25000 2 1 tiff -c zip
t_u8_rgb_planar u8   31    9  3 tiff planar
t_u16_graya     u16  23    11 2 magick
t_u16_rgb       u16  101   67 3 tiff strip1
t_u16_rgb_plane u16  41    21 3 magick planar
t_u16_rgba      u16  64    33 4 magick tiledplanar
t_f32_gray      f32  50    7  1 tiff
t_f32_rgb       f32  10001 3  3 tiff -c zip
t_f32_rgba      f32  1     1  4 tiff
t_f32_rgb_tiled f32  33    40 3 tiff tiled
p_u8_gray       u8   1     1  1 png
p_u8_graya      u8   19    5  2 png
p_u8_rgb        u8   10001 3  3 png
p_u8_rgba       u8   29    31 4 png -interlace
p_u16_gray      u16  25000 2  1 png
p_u16_rgb       u16  23    17 3 png -interlace
p_u16_rgba      u16  45    31 4 png
e_half_y        half 17    9  1 exr
e_half_rgba     half 31    13 4 exr
e_f32_ya        f32  5     5  2 exr
e_f32_rgb       f32  10001 3  3 exr
"

make_tiff() { # name type w h c option
    local raw="$WORK/src/$1.raw" photometric=minisblack data
    [ "$5" -ge 3 ] && photometric=rgb
    case $2 in u8) data=byte ;; u16) data=short ;; f32) data=float ;; esac
    "$PIXELS" raw "$2" "$3" "$4" "$5" 1 "$raw"
    local compress=()
    [ "${6:-}" = "-c" ] && compress=(-c "$7")
    raw2tiff -w "$3" -l "$4" -b "$5" -d "$data" -p "$photometric" "${compress[@]}" "$raw" "$WORK/src/plain.tif"
    case ${6:-} in
    tiled) tiffcp -t -w 16 -l 16 "$WORK/src/plain.tif" "$WORK/src/$1.tif" ;;
    planar) tiffcp -p separate "$WORK/src/plain.tif" "$WORK/src/$1.tif" ;;
    tiledplanar) tiffcp -p separate -t -w 16 -l 16 "$WORK/src/plain.tif" "$WORK/src/$1.tif" ;;
    strip1) tiffcp -r 1 "$WORK/src/plain.tif" "$WORK/src/$1.tif" ;;
    *) mv "$WORK/src/plain.tif" "$WORK/src/$1.tif" ;;
    esac
    rm -f "$WORK/src/plain.tif" "$raw"
    echo "$WORK/src/$1.tif"
}

make_magick() { # name type w h c option: TIFFs that libtiff's tools cannot make (16-bit planar, with alpha)
    local options=()
    case ${6:-} in
    planar) options=(-interlace plane) ;;
    tiledplanar) options=(-interlace plane -define tiff:tile-geometry=16x16) ;;
    esac
    "$PIXELS" pam "$2" "$3" "$4" "$5" 1 "$WORK/src/$1.pam"
    convert "$WORK/src/$1.pam" "${options[@]}" "$WORK/src/$1.tif"
    rm -f "$WORK/src/$1.pam"
    echo "$WORK/src/$1.tif"
}

make_png() { # name type w h c option
    "$PIXELS" pam "$2" "$3" "$4" "$5" 1 "$WORK/src/$1.pam"
    pamtopng ${6:-} "$WORK/src/$1.pam" >"$WORK/src/$1.png"
    rm -f "$WORK/src/$1.pam"
    echo "$WORK/src/$1.png"
}

make_exr() { # name type w h c
    "$PIXELS" exr "$2" "$3" "$4" "$5" 1 "$WORK/src/$1.exr"
    echo "$WORK/src/$1.exr"
}

check_case() { # name type w h c maker [option...]
    local name=$1 type=$2 w=$3 h=$4 c=$5 maker=$6
    shift 6
    local source
    source=$("make_$maker" "$name" "$type" "$w" "$h" "$c" "$@")
    local float=0 ext=ppm header
    if [ "$type" = f32 ] || [ "$type" = half ]; then
        float=1 ext=pfm
    fi
    local exported="$EXPORTS/$name.$ext"

    local output line
    if ! output=$("$HOST" "$source"); then
        fail "$name: quenfield-export failed: $output"
        return
    fi
    line=$(head -n 1 <<<"$output")
    local extra=$((c == 2 || c == 4))
    if [ $extra = 1 ]; then
        [ "$(tail -n +2 <<<"$output")" = "$source: note: its alpha channel is not exported" ] ||
            fail "$name: no notice of the alpha channel: $output"
    else
        [ "$output" = "$line" ] || fail "$name: more than the result line: $output"
    fi
    local size=$((w * h * 3 * (float ? 4 : 2)))
    if [ $float = 1 ]; then
        header=$(printf 'PF\n%d\n%d\n-1.0000\n' "$w" "$h")
        local expect="$source: exported to $exported (PFM, 32-bit float, ${w}x${h}, $((size + ${#header} + 1)) bytes); the companion application was started"
    else
        header=$(printf 'P6\n%d\n%d\n65535\n' "$w" "$h")
        local expect="$source: exported to $exported (PPM, 16-bit, ${w}x${h}, $((size + ${#header} + 1)) bytes); the companion application was started"
    fi
    [ "$line" = "$expect" ] || fail "$name: the result line is \"$line\", expected \"$expect\""
    [ "$(head -c $((${#header} + 1)) "$exported")" = "$header" ] || fail "$name: the header is not \"$header\""

    local data="$WORK/decoded.raw"
    # ImageMagick's default policy refuses images wider than 16000 pixels; those are read by the others only.
    local magick=1
    [ "$w" -le 16000 ] || magick=0
    if [ $float = 1 ]; then
        # The samples themselves, bit for bit, and ImageMagick's reading, which puts the first row last.
        tail -c "$size" "$exported" >"$data"
        "$PIXELS" compare "$type" "$w" "$h" "$c" 1 f32le "$data" || fail "$name: PFM samples differ"
        if [ $magick = 1 ]; then
            convert "$exported" -depth 16 -endian MSB "rgb:$data" || fail "$name: ImageMagick cannot read the PFM"
            "$PIXELS" compare "$type" "$w" "$h" "$c" 1 quantized "$data" flipped ||
                fail "$name: ImageMagick's reading of the PFM differs"
        fi
    else
        pnmnoraw "$exported" >"$WORK/plain.ppm" || fail "$name: netpbm cannot read the PPM"
        "$PIXELS" compare "$type" "$w" "$h" "$c" 1 plain "$WORK/plain.ppm" || fail "$name: netpbm's reading differs"
        if [ $magick = 1 ]; then
            convert "$exported" -depth 16 -endian MSB "rgb:$data" || fail "$name: ImageMagick cannot read the PPM"
            "$PIXELS" compare "$type" "$w" "$h" "$c" 1 rgb16be "$data" || fail "$name: ImageMagick's reading differs"
        fi
    fi

    local imported="$PICTURES/$name.tif"
    if ! await_file "$imported"; then
        fail "$name: the companion imported nothing"
        return
    fi
    # 16-bit TIFFs through ImageMagick where it can; floats (which it would round) through libtiff.
    if [ $float = 0 ] && [ $magick = 1 ]; then
        convert "$imported" -depth 16 -endian MSB "rgb:$data" || fail "$name: ImageMagick cannot read the TIFF"
        "$PIXELS" compare "$type" "$w" "$h" "$c" 1 rgb16be "$data" || fail "$name: the imported TIFF differs"
    else
        "$PIXELS" compare "$type" "$w" "$h" "$c" 1 tiff "$imported" || fail "$name: the imported TIFF differs"
    fi
    rm -f "$imported" "$source"
}

while read -r name type w h c maker option value; do
    [ -n "$name" ] || continue
    check_case "$name" "$type" "$w" "$h" "$c" "$maker" $option $value
done <<<"$CASES"
finish
