#!/bin/bash
# A host killed outright in the middle of a large export (SIGKILL: no clean-up of any kind) leaves nothing
# under the export's own name, so nothing can take the unfinished file for an export; the next export
# removes what it left.
# Usage: killed.sh QUENFIELD-EXPORT QUENFIELD-IMPORT E2E-PIXELS
HOST=$1 IMPORT=$2 PIXELS=$3
. "$(dirname "$0")/common.sh"
cd "$WORK/src"

make_big_sources

"$HOST" big.tif >/dev/null 2>&1 &
host=$!
await_found "$EXPORTS" -name '.big.ppm.*' -size +1000k || true
kill -KILL $host
wait $host || true
[ ! -e "$EXPORTS/big.ppm" ] || fail "the unfinished export is under its own name ($(stat -c %s "$EXPORTS/big.ppm") bytes)"
[ -n "$(ls -A "$EXPORTS")" ] || fail "the host was killed before it wrote anything; the test proves nothing"

"$HOST" after.png >result.txt 2>&1 || fail "the next export failed: $(cat result.txt)"
[ "$(ls -A "$EXPORTS")" = after.ppm ] || fail "the next export left: $(ls -A "$EXPORTS")"
finish
