#!/bin/bash
# The bridge's About procedure, run interactively inside GIMP on an X display (a private Xvfb): the plug-in's
# About box is a window ("About Quenfield Export"), Return closes it, and the procedure then succeeds.
# Usage: about_window.sh BRIDGE HOST MODULE PIXELS GIMPLIBDIR GIMPDATADIR
BRIDGE=$1 HOST=$2 MODULE=$3 GIMPLIBDIR=$5 GIMPDATADIR=$6
. "$(dirname "$0")/common.sh"

start_xvfb 1024x768x24

run_gimp about "(show-about RUN-INTERACTIVE)" DISPLAY="$display" &
editor=$!
window=""
for _ in $(seq 1200); do
    window=$(DISPLAY=$display xdotool search --name '^About Quenfield Export$' 2>/dev/null | head -n 1)
    [ -n "$window" ] && break
    kill -0 $editor 2>/dev/null || break
    sleep 0.1
done
if [ -n "$window" ]; then
    # A fresh local X connection is now and then refused: the key is sent again until the window is gone.
    for _ in $(seq 50); do
        DISPLAY=$display xdotool key --window "$window" Return 2>/dev/null || true
        kill -0 $editor 2>/dev/null || break
        sleep 0.2
    done
else
    fail "no window of the About box appeared"
fi
wait $editor || fail "GIMP ended with status $?"
editor=""
expect_clean_log about
expect_result about about shown
finish
