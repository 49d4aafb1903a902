#!/bin/bash
# A whole Krita on a private X display (Xvfb), with the plug-in in the per-user plug-in folder and enabled in
# kritarc, as a person installs it: Cancel in the progress dialog, clicked while File > Send to Quenfield
# sends a large image, leaves no file, starts no companion and shows no message; the next Send, chosen in
# the menu too, reaches the companion with the reference host's export of the image.
# Usage: window.sh PYKRITA QUENFIELD-EXPORT MODULE E2E-PIXELS
# shellcheck source=tests/krita/common.sh
. "$(dirname "$0")/common.sh"
if [ -e /usr/share/krita/pykrita/quenfield_send ]; then
    echo "SKIP: an installed quenfield_send (krita-quenfield) would be loaded in place of the build's"
    exit 77
fi
cd "$WORK/src" || exit 1
WIDTH=6000 HEIGHT=4000
BYTES=$((WIDTH * HEIGHT * 6))
pgmramp -lr $WIDTH $HEIGHT | ppmtoppm | pnmtopng >big.png

# shellcheck source=tests/xvfb.sh
. "$(dirname "$0")/../xvfb.sh"
start_xvfb 1600x1200x24
export DISPLAY="$display"
on_failure() { cat "$WORK/krita.log" >&2; }

start_editor 1800 "$WORK/krita.log" '^big\.png ' --onlyvisible krita --nosplash "$WORK/src/big.png"
dialog() { xdotool search --onlyvisible --name '^Send to Quenfield' 2>/dev/null | head -n 1; }

# File > Send to Quenfield: the last entry of the File menu.
send() {
    xdotool mousemove $((X + 20)) $((Y + 10)) click 1
    sleep 0.5
    xdotool key Up key Return
}

# Krita is held as soon as the export's file appears and let run in slices of 10 ms, so that no load on the
# machine lets the Send end before Cancel is clicked, at about a third of the file.
send
for _ in $(seq 1000); do
    [ -n "$(largest_export)" ] && break
    sleep 0.01
done
kill -STOP $editor
for _ in $(seq 3000); do
    [ "$(largest_export)" -ge $((BYTES / 3)) ] && [ -n "$(dialog)" ] && break
    kill -CONT $editor && sleep 0.01 && kill -STOP $editor
done
progress=$(dialog)
[ -n "$progress" ] || fail "no progress dialog was shown"
eval "$(xdotool getwindowgeometry --shell --prefix DIALOG_ "$progress")"
xdotool mousemove $((DIALOG_X + DIALOG_WIDTH - 50)) $((DIALOG_Y + DIALOG_HEIGHT - 25)) click 1
kill -CONT $editor
for _ in $(seq 100); do
    [ -z "$(dialog)" ] && [ -z "$(ls -A "$EXPORTS")" ] && break
    sleep 0.1
done
sleep 1
[ -z "$(ls -A "$EXPORTS")" ] || fail "Cancel left $(ls -lA "$EXPORTS")"
[ -z "$(ls -A "$OUT")" ] || fail "the companion was started after Cancel"
[ -z "$(dialog)" ] || fail "a window of the plug-in is still shown after Cancel"

send
for _ in $(seq 600); do
    [ -e "$OUT/big.ppm" ] && break
    sleep 0.1
done
same_as_reference big.ppm "$WORK/src/big.png"
[ -z "$(dialog)" ] || fail "a message was shown after the Send"
finish
