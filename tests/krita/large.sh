#!/bin/bash
# An 8000x6000 16-bit RGB image sent from a headless Krita, after a small document whose send loads the
# Python module: the memory the large send takes beyond what Krita holds (its peak resident memory, counted
# from just before the send) must stay below a sixteenth of one copy of the image's pixels, and the export
# must match the reference host's byte for byte. Prints the memory and time of both sends beside the
# reference host's. Slow (Krita holds the image several times over), so it runs only when
# QUENFIELD_SLOW_TESTS=1.
# Usage: large.sh PYKRITA QUENFIELD-EXPORT MODULE E2E-PIXELS
if [ "${QUENFIELD_SLOW_TESTS:-0}" != 1 ]; then
    echo "skipped: set QUENFIELD_SLOW_TESTS=1 to send an 8000x6000 16-bit image from Krita"
    exit 77
fi
# shellcheck source=tests/krita/common.sh
. "$(dirname "$0")/common.sh"
cd "$WORK/src" || exit 1
WIDTH=8000 HEIGHT=6000
IMAGE_KB=$((WIDTH * HEIGHT * 6 / 1024))

# A grey ramp from left to right in RGB.
pgmramp -lr "$WIDTH" "$HEIGHT" | pnmdepth 65535 | ppmtoppm | pamtopng >large.png
KRITA_TIME_LIMIT=500 run_krita large "$WORK/src/large.png"
expect_result small "no message"
expect_result large "no message"
echo "Krita, the small document, loading the module: $(result_of small-memory)"
result=$(result_of large-memory)
echo "Krita, the large image: $result (one copy of the image: $IMAGE_KB KB)"
[ "${result%% *}" -lt $((IMAGE_KB / 16)) ] 2>/dev/null || fail "the large send took ${result%% *} KB"

reference_host_matches "$OUT/large.ppm" large.png "the export from Krita"
finish
