#!/bin/bash
# An 8000x6000 16-bit RGB image sent from GIMP: the bridge's peak resident memory must stay below one copy of
# the image's pixels (288 MB), and the export must match the reference host's byte for byte. Prints the
# bridge's and the reference host's time and peak memory. Slow (GIMP holds the image several times over), so
# it runs only when QUENFIELD_SLOW_TESTS=1.
# Usage: large.sh QUENFIELD-GIMP QUENFIELD-EXPORT MODULE E2E-PIXELS GIMPLIBDIR GIMPDATADIR
if [ "${QUENFIELD_SLOW_TESTS:-0}" != 1 ]; then
    echo "skipped: set QUENFIELD_SLOW_TESTS=1 to send an 8000x6000 16-bit image through GIMP"
    exit 77
fi
BRIDGE=$1 HOST=$2 MODULE=$3 GIMPLIBDIR=$5 GIMPDATADIR=$6 # $4, e2e_pixels, is not needed here
# shellcheck source=tests/gimp/common.sh
. "$(dirname "$0")/common.sh"
cd "$WORK/src" || exit 1
WIDTH=8000 HEIGHT=6000
IMAGE_KB=$((WIDTH * HEIGHT * 6 / 1024))

# GIMP starts the bridge through this, so that its time and memory are measured on their own.
rm "$WORK/plug-ins/quenfield-gimp/quenfield-gimp"
printf '#!/bin/sh\nexec /usr/bin/time -f "%%e %%M" -a -o "%s/bridge.time" "%s" "$@"\n' "$WORK" "$BRIDGE" \
    >"$WORK/plug-ins/quenfield-gimp/quenfield-gimp"
chmod +x "$WORK/plug-ins/quenfield-gimp/quenfield-gimp"

# A grey ramp from left to right in RGB.
pgmramp -lr "$WIDTH" "$HEIGHT" | pnmdepth 65535 | ppmtoppm | pamtopng >large.png

run_gimp large "(send-files \"$OUT\" $(scheme_list "$WORK/src/large.png"))"
expect_clean_log large
expect_result large large sent
read -r seconds kb < <(tail -n 1 "$WORK/bridge.time")
echo "bridge: $seconds s, peak $kb KB (one copy of the image: $IMAGE_KB KB)"
[ "$kb" -lt "$IMAGE_KB" ] || fail "the bridge's peak memory $kb KB is not below one copy of the image"

reference_host_matches "$OUT/large.ppm" large.png "the bridge's export"
finish
