#!/bin/bash
# Without a companion application the export itself succeeds, the host says in words that the companion did
# not start (-30901), and the file stays where the plug-in wrote it. With several images the host stops there:
# the next export would empty the folder, and the file it called kept would be gone.
# Usage: no_companion.sh QUENFIELD-EXPORT QUENFIELD-IMPORT E2E-PIXELS
HOST=$1 IMPORT=$2 PIXELS=$3
. "$(dirname "$0")/common.sh"
cd "$WORK/src"

"$PIXELS" pam u16 7 5 4 1 doc.pam
pamtopng doc.pam >doc.png

check_missing() { # why
    set +e
    output=$("$HOST" doc.png)
    status=$?
    set -e
    echo "$output"
    line=$(head -n 1 <<<"$output")
    [ $status -eq 1 ] || fail "$1: exit status $status, expected 1"
    local expect="doc.png: exported to $EXPORTS/doc.ppm (PPM, 16-bit, 7x5, 223 bytes) and kept there: the companion application did not start (-30901)"
    [ "$line" = "$expect" ] || fail "$1: the line is \"$line\""
    [ "$(stat -c %s "$EXPORTS/doc.ppm" 2>/dev/null)" = 223 ] || fail "$1: the file was not kept whole"
}

# No entry at all.
XDG_DATA_HOME="$WORK/nodata" check_missing "no desktop entry"
# An entry whose program does not exist.
mkdir -p "$WORK/broken/applications"
printf '[Desktop Entry]\nType=Application\nName=Gone\nExec=%s %%f\n' "$WORK/no-such-program" \
    >"$WORK/broken/applications/com.quenfield.Quenfield.desktop"
XDG_DATA_HOME="$WORK/broken" check_missing "a program that is not there"
# The host suggests registering the companion only when the plug-in would not find its entry.
XDG_DATA_HOME="$WORK/nodata" "$HOST" doc.png 2>&1 >/dev/null | grep -qF "'quenfield-export register' registers" ||
    fail "no entry: register was not suggested"
mkdir -p "$WORK/hidden/applications"
printf '[Desktop Entry]\nType=Application\nName=Off\nExec=%s %%f\nHidden = true\n' "$IMPORT" \
    >"$WORK/hidden/applications/com.quenfield.Quenfield.desktop"
XDG_DATA_HOME="$WORK/hidden" "$HOST" doc.png 2>&1 >/dev/null | grep -qF "'quenfield-export register' registers" ||
    fail "hidden entry: register was not suggested"
# Registered, but the session bus accepts and never answers (a stopped daemon): the message says so and does
# not send the user to register again.
if bus=$(dbus-daemon --session --fork --print-address=1 --print-pid=1 2>/dev/null); then
    address=$(head -n 1 <<<"$bus") pid=$(tail -n 1 <<<"$bus")
    kill -STOP "$pid"
    set +e
    DBUS_SESSION_BUS_ADDRESS=$address "$HOST" doc.png >"$WORK/out.txt" 2>"$WORK/err.txt"
    set -e
    kill -KILL "$pid"
    grep -qF "and kept there: the companion application did not start (-30901)" "$WORK/out.txt" ||
        fail "silent bus: $(cat "$WORK/out.txt")"
    ! grep -qF "'quenfield-export register'" "$WORK/err.txt" || fail "silent bus: register suggested: $(cat "$WORK/err.txt")"
    grep -qF "the companion application is registered ($WORK/data/applications/com.quenfield.Quenfield.desktop) but was not started: the session bus did not answer in time" "$WORK/err.txt" ||
        fail "silent bus: $(cat "$WORK/err.txt")"
else
    echo "dbus-daemon is not available: the silent bus is not tried"
fi
# Several images: the first is kept, the others are skipped and say why.
"$PIXELS" pam u8 3 2 3 1 other.pam
pamtopng other.pam >other.png
set +e
output=$(XDG_DATA_HOME="$WORK/nodata" "$HOST" doc.png other.png doc.png 2>/dev/null)
status=$?
set -e
echo "$output"
[ $status -eq 1 ] || fail "several images: exit status $status, expected 1"
grep -qxF "other.png: skipped, its export would replace doc.ppm" <<<"$output" || fail "other.png was not skipped"
grep -qxF "3 files: 1 exported, 0 failed, 2 skipped" <<<"$output" || fail "no summary line"
[ "$(ls "$EXPORTS")" = doc.ppm ] || fail "the export folder holds $(ls "$EXPORTS"), not doc.ppm"
finish
