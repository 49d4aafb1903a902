#!/bin/bash
# The host reads images row by row and the companion converts row by row: neither holds a whole image. Peak
# resident memory of each stays under 64 MB for a 6000x6000 RGB image (a 216 MB export), read from a 16-bit
# TIFF with one compressed strip for the whole image, from a 16-bit PNG and from a baseline JPEG.
# Usage: memory.sh QUENFIELD-EXPORT QUENFIELD-IMPORT E2E-PIXELS
HOST=$1 IMPORT=$2 PIXELS=$3
. "$(dirname "$0")/common.sh"
cd "$WORK/src"
LIMIT_KB=$((64 * 1024))
export XDG_DATA_HOME="$WORK/nodata" # the companion is run by hand below

head -c $((6000 * 6000 * 6)) /dev/zero >zero.raw
raw2tiff -w 6000 -l 6000 -b 3 -d short -p rgb -c zip -r 6000 zero.raw onestrip.tif
rm zero.raw
ppmmake -maxval 65535 rgb:1234/5678/9abc 6000 6000 | pamtopng >flat.png
ppmmake rgb:12/56/9a 6000 6000 | cjpeg >flat.jpg

peak() { # command...: runs it and prints its peak resident memory in KB
    /usr/bin/time -f %M -o "$WORK/peak" "$@" >/dev/null 2>&1 || true
    cat "$WORK/peak" | tail -n 1
}

for image in onestrip.tif flat.png flat.jpg; do
    kb=$(peak "$HOST" "$image")
    echo "quenfield-export $image: peak $kb KB"
    [ "$kb" -le $LIMIT_KB ] || fail "quenfield-export $image: peak $kb KB"
    exported="$EXPORTS/${image%.*}.ppm"
    [ "$(stat -c %s "$exported")" = 216000019 ] || fail "$image: the export is incomplete"
done
kb=$(peak "$IMPORT" --to "$PICTURES" "$EXPORTS/flat.ppm")
echo "quenfield-import flat.ppm: peak $kb KB"
[ "$kb" -le $LIMIT_KB ] || fail "quenfield-import: peak $kb KB"
[ -e "$PICTURES/flat.tif" ] || fail "quenfield-import wrote no TIFF"
finish
