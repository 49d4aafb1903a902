#!/bin/bash
# Ctrl-C, SIGTERM or SIGHUP in the middle of a large export: the plug-in stops with the cancelled result,
# nothing is handed to the companion, the unfinished file is removed (whatever name it was written under), the
# images after it are skipped, and the host ends with the status of a program ended by that signal (130, 143,
# 129) once it has cleaned up.
# Usage: cancel.sh QUENFIELD-EXPORT QUENFIELD-IMPORT E2E-PIXELS
HOST=$1 IMPORT=$2 PIXELS=$3
. "$(dirname "$0")/common.sh"
cd "$WORK/src"

make_big_sources

# Each signal that asks a program to end cancels like Ctrl-C, and the status tells which one came (128 + n).
for row in INT:130 TERM:143 HUP:129; do
    signal=${row%:*} expected=${row#*:}
    rm -rf "$EXPORTS"
    "$HOST" big.tif after.png >result.txt &
    host=$!
    # Interrupt once the first rows are in the file, whatever its name while it is written.
    await_found "$EXPORTS" -type f -size +0 || fail "SIG$signal: no file of the export appeared"
    kill -$signal $host
    set +e
    wait $host
    status=$?
    set -e
    cat result.txt
    [ $status -eq $expected ] || fail "SIG$signal: exit status $status, expected $expected"
    grep -qxF "big.tif: not exported: cancelled by the user (-128)" result.txt ||
        fail "SIG$signal: no cancelled line for big.tif"
    grep -qxF "after.png: skipped, the run was cancelled" result.txt || fail "SIG$signal: after.png was not skipped"
    grep -qxF "2 files: 0 exported, 1 failed, 1 skipped" result.txt || fail "SIG$signal: no summary line"
    [ -z "$(ls -A "$EXPORTS")" ] || fail "SIG$signal: the unfinished export was left behind: $(ls -lA "$EXPORTS")"
done
# Every companion run logs a line. One started by a cancelled export was started before its host ended, so by
# the time a later export's companion has logged its import, the log would hold that earlier line as well.
LOG="$WORK/state/quenfield/quenfield-import.log"
"$HOST" after.png >/dev/null
await_found "$LOG" -size +0 || fail "the companion did not log the import of after.png"
await_file "$PICTURES/after.tif" || fail "the companion did not import after.png"
[ "$(wc -l <"$LOG")" -eq 1 ] && grep -qF " imported $EXPORTS/after.ppm " "$LOG" ||
    fail "the companion was started for a cancelled export: $(cat "$LOG")"
[ "$(ls "$PICTURES")" = after.tif ] || fail "the companion was started: $(ls "$PICTURES")"
finish
