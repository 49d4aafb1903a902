#!/bin/bash
# 'register' writes the companion's desktop entry through a new file of its own, never through a link planted
# in the folder, and refuses what it cannot write: a program path an entry cannot hold, or no folder to hold it.
# Usage: register.sh QUENFIELD-EXPORT QUENFIELD-IMPORT E2E-PIXELS
HOST=$1 IMPORT=$2 PIXELS=$3
. "$(dirname "$0")/common.sh"
cd "$WORK/src"
ENTRY=com.quenfield.Quenfield.desktop
export HOME="$WORK/home"
unset XDG_DATA_HOME
APPS="$HOME/.local/share/applications"
mkdir -p "$APPS"

# Hard links to another file of the user's at the names a writer might use, the entry's own among them.
echo precious >"$WORK/victim"
for name in "$ENTRY" "$ENTRY.new" ".$ENTRY.new" "$ENTRY.tmp" "$ENTRY~"; do
    ln "$WORK/victim" "$APPS/$name"
done
"$HOST" register --companion "$IMPORT" >"$WORK/out.txt" || fail "register failed: $(cat "$WORK/out.txt")"
[ "$(cat "$WORK/victim")" = precious ] || fail "register wrote through a planted hard link"
[ "$(stat -c %h "$APPS/$ENTRY")" = 1 ] || fail "the entry is still a link to another file"
grep -qxF "TryExec=$IMPORT" "$APPS/$ENTRY" || fail "the entry does not name the companion: $(cat "$APPS/$ENTRY")"
[ "$(stat -c %a "$APPS/$ENTRY")" = 644 ] || fail "the entry's mode is $(stat -c %a "$APPS/$ENTRY")"
[ "$(ls -A "$APPS" | wc -l)" = 5 ] || fail "register left files behind: $(ls -A "$APPS")"

# Refused in words, with nothing written.
refused() { # words, then the command's environment and arguments
    local words=$1 status
    shift
    set +e
    env "$@" >"$WORK/out.txt" 2>&1
    status=$?
    set -e
    [ $status -eq 1 ] || fail "$*: exit status $status, expected 1"
    grep -qF -e "$words" "$WORK/out.txt" || fail "$*: no \"$words\" in: $(cat "$WORK/out.txt")"
}
for odd in $'latin1-\xe9t\xe9' $'control-\x01' $'line\nbreak' '100%'; do
    mkdir -p "$WORK/$odd"
    cp "$IMPORT" "$WORK/$odd/quenfield-import"
done
rm -f "$APPS/$ENTRY"
refused "is not UTF-8" "$HOST" register --companion "$WORK/"$'latin1-\xe9t\xe9/quenfield-import'
refused "control character" "$HOST" register --companion "$WORK/"$'control-\x01/quenfield-import'
refused "control character" "$HOST" register --companion "$WORK/"$'line\nbreak/quenfield-import'
refused "holds a %" "$HOST" register --companion "$WORK/100%/quenfield-import"
[ ! -e "$APPS/$ENTRY" ] || fail "an entry was written for a path it cannot hold"
mkdir "$WORK/cwd"
cd "$WORK/cwd"
refused "neither XDG_DATA_HOME nor HOME" -u HOME -u XDG_DATA_HOME "$HOST" register --companion "$IMPORT"
refused "neither XDG_DATA_HOME nor HOME" -u HOME XDG_DATA_HOME=relative "$HOST" register --companion "$IMPORT"
refused "neither XDG_DATA_HOME nor HOME" -u HOME -u XDG_DATA_HOME "$HOST" unregister
[ -z "$(ls -A)" ] || fail "register wrote into the current folder: $(find . | head)"
# A relative XDG_DATA_HOME is passed over for the home folder's.
XDG_DATA_HOME=relative "$HOST" register --companion "$IMPORT" >/dev/null || fail "register with a relative XDG_DATA_HOME"
[ -f "$APPS/$ENTRY" ] && [ -z "$(ls -A)" ] || fail "a relative XDG_DATA_HOME was not passed over"
finish
