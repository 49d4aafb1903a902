#!/bin/bash
# The bridge's About procedure, run interactively inside GIMP on an X display (a private Xvfb): the plug-in's
# About box is a window ("About Quenfield Export"), Return closes it, and the procedure then succeeds.
# Usage: about_window.sh BRIDGE HOST MODULE PIXELS GIMPLIBDIR GIMPDATADIR
BRIDGE=$1 HOST=$2 MODULE=$3 GIMPLIBDIR=$5 GIMPDATADIR=$6
. "$(dirname "$0")/common.sh"

# Xvfb picks a free display number of its own and writes it to descriptor 3.
Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 3>"$WORK/display" 2>"$WORK/xvfb.log" &
xvfb=$!
gimp=""
trap 'kill $xvfb $gimp 2>/dev/null || true; rm -rf "$WORK"' EXIT
for _ in $(seq 100); do
    [ -s "$WORK/display" ] && break
    sleep 0.1
done
[ -s "$WORK/display" ] || { cat "$WORK/xvfb.log" >&2; echo "FAIL: Xvfb did not start" >&2; exit 1; }
display=":$(cat "$WORK/display")"

run_gimp about "(show-about RUN-INTERACTIVE)" DISPLAY="$display" &
gimp=$!
window=""
for _ in $(seq 1200); do
    window=$(DISPLAY=$display xdotool search --name '^About Quenfield Export$' 2>/dev/null | head -n 1)
    [ -n "$window" ] && break
    kill -0 $gimp 2>/dev/null || break
    sleep 0.1
done
if [ -n "$window" ]; then
    # A fresh local X connection is now and then refused: the key is sent again until the window is gone.
    for _ in $(seq 50); do
        DISPLAY=$display xdotool key --window "$window" Return 2>/dev/null || true
        kill -0 $gimp 2>/dev/null || break
        sleep 0.2
    done
else
    fail "no window of the About box appeared"
fi
wait $gimp || fail "GIMP ended with status $?"
gimp=""
expect_clean_log about
expect_result about about shown
finish
