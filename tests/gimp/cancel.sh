#!/bin/bash
# Cancel in GIMP's status bar, clicked at three moments of a Send of an 8000x6000 16-bit image, in a GIMP on
# a private X display (Xvfb): nothing is left in the export folder, the companion is not started, no process
# of the bridge stays behind and GIMP shows no message. The Send takes about a second here, so the later
# moments are held: the bridge's export process is stopped there, which soon holds the bridge too, waiting to
# hand it more rows, and Cancel is clicked then (GIMP answers it by killing the bridge 10 ms after asking it
# to quit). A Send afterwards exports the image as the reference
# host does (the image was not changed), and GIMP then quits without asking to save and without a leaked
# buffer.
# Usage: cancel.sh BRIDGE HOST MODULE PIXELS GIMPLIBDIR GIMPDATADIR
BRIDGE=$1 HOST=$2 MODULE=$3 GIMPLIBDIR=$5 GIMPDATADIR=$6
. "$(dirname "$0")/common.sh"
cd "$WORK/src" || exit 1
WIDTH=8000 HEIGHT=6000
BYTES=$((WIDTH * HEIGHT * 6))
pgmramp -lr $WIDTH $HEIGHT | pnmdepth 65535 | ppmtoppm | pamtopng >big16.png

start_xvfb 1600x1200x24
export DISPLAY="$display"

# The whole GIMP, as a person uses it, with the image open.
start_editor 1200 "$WORK/gui.log" '^\[big16\] .* GIMP$' --all \
    env GIMP2_DIRECTORY="$WORK/gimp-gui" TMPDIR="$WORK/tmp" XDG_DATA_HOME="$WORK/data" QUENFIELD_EXPORT_MODULE="$MODULE" \
    LSAN_OPTIONS=detect_leaks=0 timeout -k 5 "${GIMP_TIME_LIMIT:-240}" setsid -w gimp -s -d -f -g "$WORK/gimprc" \
    "$WORK/src/big16.png"

bridge_running() { pgrep -f "^$WORK/plug-ins/quenfield-gimp/" >/dev/null; }

# File ▸ Send to Quenfield, by where GIMP's menu shows it.
send() {
    xdotool mousemove $((X + 18)) $((Y + 12)) click 1
    sleep 0.5
    xdotool mousemove $((X + 99)) $((Y + 414)) click 1
    for _ in $(seq 100); do
        bridge_running && return 0
        sleep 0.1
    done
    fail "the Send did not start"
}

# The bridge's export process: the child of the bridge, once it has forked it.
export_worker() {
    local bridge
    bridge=$(pgrep -o -f "^$WORK/plug-ins/quenfield-gimp/") || return 1
    pgrep -P "$bridge" -f "^$WORK/plug-ins/quenfield-gimp/"
}

# The status bar's Cancel button sits at the bottom right of the image, left of the docks.
cancel_at() { # percent of the export's pixel bytes written, hold|run
    local percent=$1 size=0 worker=""
    send
    if [ "$2" = hold ]; then
        # Held from the start and let run in slices of 10 ms, so that no load on the machine lets the Send
        # run past the moment before it is held there.
        for _ in $(seq 600); do
            worker=$(export_worker) && break
            sleep 0.01
        done
        [ -n "$worker" ] || fail "$percent%: the bridge started no export process"
        kill -STOP "$worker"
        for _ in $(seq 3000); do
            size=$(largest_export)
            [ "${size:-0}" -ge $((BYTES / 100 * percent)) ] && break
            kill -CONT "$worker" && sleep 0.01 && kill -STOP "$worker"
        done
        sleep 0.2
    else
        for _ in $(seq 6000); do
            size=$(largest_export)
            [ "${size:-0}" -ge $((BYTES / 100 * percent)) ] && break
            bridge_running || break
            sleep 0.002
        done
    fi
    xdotool mousemove $((X + WIDTH - 249)) $((Y + HEIGHT - 19)) click 1
    sleep 0.5
    [ -z "$worker" ] || kill -CONT "$worker" 2>/dev/null || true
    for _ in $(seq 100); do
        bridge_running || break
        sleep 0.1
    done
    bridge_running && fail "$percent%: a process of the bridge is still running after Cancel"
    [ -z "$(ls -A "$EXPORTS")" ] || fail "$percent%: Cancel at ${size:-0} bytes left $(ls -l "$EXPORTS")"
    [ -z "$(ls -A "$OUT")" ] || fail "$percent%: the companion was started after Cancel"
    rm -f "$EXPORTS"/* "$OUT"/*
}
cancel_at 1 run
cancel_at 40 hold
cancel_at 80 hold
xdotool search --name 'Message' >/dev/null 2>&1 && fail "GIMP shows a message after Cancel"

send
for _ in $(seq 600); do
    [ -e "$OUT/big16.ppm" ] && break
    sleep 0.1
done
TMPDIR="$WORK/reftmp" XDG_DATA_HOME="$WORK/nodata" "$HOST" big16.png >/dev/null || true
cmp -s "$OUT/big16.ppm" "$WORK/reftmp/QuenfieldImport/big16.ppm" ||
    fail "the Send after the cancelled ones differs from the reference host's export"

xdotool key --window "$window" ctrl+q
wait $editor || fail "GIMP did not quit by itself (status $?): was the image changed?"
editor=""
if grep -E "leaked|EEEE|crashed" "$WORK/gui.log"; then
    fail "GIMP reported a leak or a crash"
fi
finish
