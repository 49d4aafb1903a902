#!/bin/bash
# Files the host cannot export are refused one by one, each with its name and the reason, and the files
# around them are still exported.
# Usage: bad_files.sh QUENFIELD-EXPORT QUENFIELD-IMPORT E2E-PIXELS
HOST=$1 IMPORT=$2 PIXELS=$3
. "$(dirname "$0")/common.sh"
cd "$WORK/src"

raw_tiff() { # name bands type photometric
    "$PIXELS" raw u8 8 4 4 1 pattern.raw
    raw2tiff -w 4 -l 4 -b "$2" -d "$3" -p "$4" pattern.raw "$1" 2>/dev/null
}
raw_tiff cmyk.tif 4 byte cmyk
raw_tiff double.tif 1 double minisblack
raw_tiff signed.tif 1 sshort minisblack
"$PIXELS" raw u16 8 4 4 1 pattern.raw
raw2tiff -w 4 -l 4 -b 1 -d short -p miniswhite pattern.raw white16.tif 2>/dev/null
convert -size 16x8 xc:red -colorspace CMYK cmyk.jpg
"$PIXELS" pam u16 16 16 3 1 good.pam
pamtopng good.pam >good.png
"$PIXELS" raw u16 64 64 3 1 pattern.raw
raw2tiff -w 64 -l 64 -b 3 -d short -p rgb pattern.raw whole.tif
head -c 12000 whole.tif >truncated.tif
raw2tiff -w 64 -l 64 -b 3 -d short -p rgb -c zip pattern.raw damaged.tif
printf '\377\377\377\377\377\377\377\377' | dd of=damaged.tif bs=1 seek=2000 conv=notrunc 2>/dev/null
# A corrupt deflate stream inside the PNG's image data; the chunk's CRC is ignored so that the damage
# reaches the decoder.
cp good.png corrupt.png
printf '\377\377\377\377' | dd of=corrupt.png bs=1 seek=100 conv=notrunc 2>/dev/null
"$PIXELS" pam u8 64 64 3 1 noise.pam
convert noise.pam -quality 90 whole.jpg
head -c 3000 whole.jpg >truncated.jpg
echo "not an image" >text.tif
: >empty.exr
# Not regular files: the host must neither wait for a writer nor read them as images.
mkfifo fifo.png
mkdir folder.png
cp good.png .png # no name is left once the extension is taken off

set +e
output=$(timeout 10 "$HOST" cmyk.tif double.tif signed.tif white16.tif cmyk.jpg truncated.jpg good.png \
    truncated.tif damaged.tif corrupt.png text.tif empty.exr missing.png fifo.png folder.png /dev/null .png \
    -- -dash.png)
status=$?
set -e
echo "$output"
[ $status -eq 1 ] || fail "exit status $status, expected 1"

expect_line() { # file reason
    grep -qF -e "$1: not exported: $2" <<<"$output" || fail "no line \"$1: not exported: $2...\""
}
expect_line cmyk.tif "CMYK (separated) colour is not supported"
expect_line double.tif "64-bit floating-point samples are not supported"
expect_line signed.tif "signed integer samples are not supported"
expect_line white16.tif "white-is-zero gray of more than 8 bits is not supported"
expect_line cmyk.jpg "CMYK colour (a print-ready JPEG) is not supported"
expect_line truncated.jpg "the host could not read the image: row "
expect_line truncated.tif "not a readable TIFF: "
expect_line damaged.tif "the host could not read the image: strip 0 cannot be read: "
expect_line corrupt.png "the host could not read the image: row "
expect_line text.tif "not a TIFF, PNG, JPEG or OpenEXR file"
expect_line empty.exr "too short to be an image file"
expect_line missing.png "cannot open it: No such file or directory"
expect_line -dash.png "cannot open it: No such file or directory"
expect_line fifo.png "not a regular file: it is a FIFO or pipe"
expect_line folder.png "not a regular file: it is a folder"
expect_line /dev/null "not a regular file: it is a device"
expect_line .png "its name leaves nothing to name the export file after"
# Words first, the code last.
for file in truncated.jpg damaged.tif corrupt.png; do
    grep -q "^$file: not exported: .* (-36)\$" <<<"$output" || fail "$file: the code is not at the end"
done
grep -qF "good.png: exported to $EXPORTS/good.ppm" <<<"$output" || fail "good.png was not exported"
grep -qxF "18 files: 1 exported, 17 failed, 0 skipped" <<<"$output" || fail "no summary line"
[ "$(grep -c . <<<"$output")" -eq 19 ] || fail "expected one line per file and the summary"
# A pipe cannot be read back and forth as the readers do: refused in words, at once.
set +e
piped=$(cat good.png | timeout 10 "$HOST" /dev/stdin)
set -e
grep -qF "/dev/stdin: not exported: not a regular file: it is a FIFO or pipe" <<<"$piped" ||
    fail "a pipe was not refused as such: $piped"
# Wrong command lines: status 2 and a message that says what to write instead.
cp good.png ./-lead.png
wrong_command() { # expected message, arguments...
    local expect=$1 status
    shift
    set +e
    "$HOST" "$@" >/dev/null 2>message.txt
    status=$?
    set -e
    [ $status -eq 2 ] || fail "$*: exit status $status, expected 2"
    grep -qxF -e "$expect" message.txt || fail "$*: no \"$expect\" in: $(cat message.txt)"
}
wrong_command "To export the file -lead.png, put -- before it: quenfield-export -- -lead.png" -lead.png
wrong_command "--page: 0 is not a page number; pages are counted from 1" --page 0 good.png
wrong_command "--page: two is not a page number; pages are counted from 1" --page two good.png
"$HOST" -- -lead.png >/dev/null || fail "-- -lead.png was not exported"

# What a failed export wrote of its file is removed (here the last export of the run).
"$HOST" truncated.jpg >/dev/null && fail "truncated.jpg was exported"
[ -z "$(ls "$EXPORTS")" ] || fail "the failed export left $(ls "$EXPORTS")"
await_file "$PICTURES/good.tif" || fail "good.png was not imported"
finish
