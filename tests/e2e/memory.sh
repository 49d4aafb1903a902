#!/bin/bash
# The host reads images row by row and the companion converts row by row: neither holds a whole image. Peak
# resident memory of each stays under 64 MB for a 6000x6000 RGB image (a 216 MB export), read from a 16-bit
# TIFF with one compressed strip for the whole image, from a 16-bit PNG and from a baseline JPEG. Images that
# must be decoded whole, or in blocks as wide as they declare, are refused beyond the host's memory limit.
# Usage: memory.sh QUENFIELD-EXPORT QUENFIELD-IMPORT E2E-PIXELS
HOST=$1 IMPORT=$2 PIXELS=$3
. "$(dirname "$0")/common.sh"
CRAFTED=$(cd "$(dirname "$0")/crafted" && pwd)
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
# Decompression bombs, each a few hundred bytes: refused in words before anything of the declared size is
# allocated. Under an address space a little above the default limit (1 GiB), such an allocation would fail
# with a message of the allocator's instead.
while IFS='|' read -r image words; do
    set +e
    line=$(prlimit --as=$((1536 << 20)) timeout 20 "$HOST" "$CRAFTED/$image" 2>&1)
    set -e
    grep -qF "$image: not exported: $words of memory, more than the limit of 1.0 GiB" <<<"$line" ||
        fail "$image: $line"
done <<'TABLE'
interlaced-60000x60000.png|decoding this interlaced PNG whole needs 3.4 GiB
progressive-65500x65500.jpg|decoding this progressive JPEG needs 12 GiB
wide-1000000000x1.exr|reading this OpenEXR image, 1000000000 pixels wide, needs 5.6 GiB
TABLE
# The limit is the user's to set; within it, an interlaced PNG is exported.
ppmmake rgb:10/20/30 64 64 | pnmtopng -interlace >interlaced.png
line=$("$HOST" --memory-limit 10K interlaced.png 2>&1 || true)
grep -qxF "interlaced.png: not exported: decoding this interlaced PNG whole needs 12 KiB of memory, more than the limit of 10 KiB (--memory-limit sets it)" <<<"$line" ||
    fail "--memory-limit 10K: $line"
"$HOST" --memory-limit 20K interlaced.png >/dev/null 2>&1 ||
    [ -s "$EXPORTS/interlaced.ppm" ] || fail "--memory-limit 20K: interlaced.png was not exported"
finish
