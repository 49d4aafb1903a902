#!/bin/bash
# The companion on its own, as a desktop starts it: whatever stands in the exported file's place, a signal, a
# file-size limit or a header that declares a huge image ends it soon, leaves no partial TIFF, and leaves one
# log line that says why, with control characters in names escaped.
# Usage: companion.sh QUENFIELD-EXPORT QUENFIELD-IMPORT E2E-PIXELS
HOST=$1 IMPORT=$2 PIXELS=$3
. "$(dirname "$0")/common.sh"
cd "$WORK/src"
LOG="$WORK/state/quenfield/quenfield-import.log"
# With the sanitizers the companion's address space is mostly their shadow memory.
LIMIT_MEMORY=${QUENFIELD_LIMIT_MEMORY:-1}

ppm() { # name width height: a sparse PPM of the size its header declares
    printf 'P6\n%s\n%s\n65535\n' "$2" "$3" >"$1"
    truncate -s $(($(stat -c %s "$1") + $2 * $3 * 6)) "$1"
}
pfm() { # name width height
    printf 'PF\n%s\n%s\n-1.0000\n' "$2" "$3" >"$1"
    truncate -s $(($(stat -c %s "$1") + $2 * $3 * 12)) "$1"
}
lines_since() { # count: the log's lines after the first count
    tail -n +$(($1 + 1)) "$LOG" 2>/dev/null
}
log_lines() { cat "$LOG" 2>/dev/null | wc -l; }
no_partial() { # case
    [ -z "$(find "$PICTURES" -name '*.part')" ] || fail "$1: left $(find "$PICTURES" -name '*.part')"
}
# import case expected-status expected-log-words [command prefix...]: runs the companion on src/case, within
# $seconds (2 s unless set for the call)
import() {
    local name=$1 expect=$2 words=$3 before status
    shift 3
    before=$(log_lines)
    set +e
    timeout -k 1 "${seconds:-2}" "$@" "$IMPORT" --to "$PICTURES" "$name" 2>/dev/null
    status=$?
    set -e
    [ "$status" = "$expect" ] || fail "$name: exit status $status, expected $expect"
    [ "$(lines_since "$before" | wc -l)" = 1 ] || fail "$name: not one log line: $(lines_since "$before")"
    lines_since "$before" | grep -qF -e "$words" || fail "$name: no \"$words\" in: $(lines_since "$before")"
    no_partial "$name"
}

ppm sample.ppm 320 200
mkfifo fifo.ppm
mkdir folder.ppm
ln -s sample.ppm link.ppm
ln -s /dev/zero device.ppm
cp sample.ppm "$(printf 'new\nline.ppm')"
import fifo.ppm 1 "fifo.ppm: it is a FIFO, not a regular file"
import /dev/null 1 "/dev/null: it is a device, not a regular file"
import folder.ppm 1 "folder.ppm: it is a folder, not a regular file"
import link.ppm 1 "link.ppm: it is a symbolic link, not the exported file"
import device.ppm 1 "device.ppm: it is a symbolic link, not the exported file"
import "$(printf 'new\nline.ppm')" 0 'new\x0aline.ppm (PPM, 16-bit, 320x200) as'
if [ "$(id -u)" = 0 ]; then
    cp sample.ppm theirs.ppm && chown nobody theirs.ppm
    import theirs.ppm 1 "theirs.ppm: it belongs to another user"
fi
# The TIFF needs a few hundred bytes more than the export: the write past the limit fails instead of
# killing the companion.
import sample.ppm 1 "File too large" prlimit --fsize=$(($(stat -c %s sample.ppm) + 100))

# Headers that declare a row wider than the companion reads at once are refused before anything is
# allocated; the widest row it takes is converted in one row's memory, under an address-space limit that
# three copies of that row (as the companion once held) would not fit in.
ppm widest.ppm 11184810 1
ppm wider.ppm 11184811 1
ppm wide.ppm 100000000 1
pfm huge.pfm 2147483647 1
limit=()
[ "$LIMIT_MEMORY" = 0 ] || limit=(prlimit --as=$((128 << 20)))
# Converting the widest row takes a while in the sanitizer build.
seconds=60 import widest.ppm 0 "widest.ppm (PPM, 16-bit, 11184810x1) as" "${limit[@]}"
import wider.ppm 1 "rows of 11184811 pixels take 67108866 bytes each, more than the 67108864" "${limit[@]}"
import wide.ppm 1 "rows of 100000000 pixels take 600000000 bytes each" "${limit[@]}"
import huge.pfm 1 "rows of 2147483647 pixels take 25769803764 bytes each" "${limit[@]}"
rm -f widest.ppm wider.ppm wide.ppm huge.pfm "$PICTURES/widest.tif"

# A signal mid-import: the companion is held still once its partial TIFF exists, so that the signal
# arrives half-way, and then let go.
ppm large.ppm 6000 4000
for signal in TERM INT HUP; do
    before=$(log_lines)
    "$IMPORT" --to "$PICTURES" large.ppm 2>/dev/null &
    companion=$!
    await_found "$PICTURES" -name 'large.tif.*.part' || true
    kill -STOP $companion
    [ -n "$(find "$PICTURES" -name 'large.tif.*.part')" ] || fail "SIG$signal: the import was not under way"
    kill -$signal $companion
    kill -CONT $companion
    set +e
    wait $companion
    status=$?
    set -e
    [ $status = $((128 + $(kill -l $signal))) ] || fail "SIG$signal: exit status $status"
    lines_since "$before" | grep -qF "refused $WORK/src/large.ppm: the import was stopped by SIG$signal" ||
        fail "SIG$signal: no log line: $(lines_since "$before")"
    no_partial "SIG$signal"
    rm -f "$PICTURES"/large*.tif
done
finish
