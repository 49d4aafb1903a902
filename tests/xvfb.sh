# shellcheck shell=bash
# Sourced by the tests that drive an editor on an X display. start_xvfb: a private X display for the test
# (Xvfb picks a free number and writes it to descriptor 3), in $display; Xvfb, and the editor whose process the
# test keeps in $editor, end with the test, and its scratch folder $WORK goes.
start_xvfb() { # screen geometry, WIDTHxHEIGHTxDEPTH
    Xvfb -displayfd 3 -screen 0 "$1" -nolisten tcp 3>"$WORK/display" 2>"$WORK/xvfb.log" &
    xvfb=$!
    editor=""
    trap 'kill $xvfb $editor 2>/dev/null || true; rm -rf "$WORK"' EXIT
    for _ in $(seq 100); do
        [ -s "$WORK/display" ] && break
        sleep 0.1
    done
    [ -s "$WORK/display" ] || { cat "$WORK/xvfb.log" >&2; echo "FAIL: Xvfb did not start" >&2; exit 1; }
    # shellcheck disable=SC2034 # for the scripts that source this
    display=":$(cat "$WORK/display")"
}

# The first window that `xdotool search ARGS...` finds, in $window, waiting up to TENTHS tenths of a second
# while the editor runs; the test fails when none shows. Then the window's X, Y, WIDTH and HEIGHT.
await_window() { # tenths what xdotool-search-args...
    local tenths=$1 what=$2
    shift 2
    window=""
    for _ in $(seq "$tenths"); do
        window=$(xdotool search "$@" 2>/dev/null | head -n 1)
        [ -n "$window" ] && break
        kill -0 "$editor" 2>/dev/null || break
        sleep 0.1
    done
    if [ -z "$window" ]; then
        command -v on_failure >/dev/null 2>&1 && on_failure
        echo "FAIL: $what showed no window with the image" >&2
        exit 1
    fi
    sleep 2
    eval "$(xdotool getwindowgeometry --shell "$window")"
}

# The size of the largest file in $EXPORTS, its hidden ones (a file under way) included.
largest_export() { stat -c %s "$EXPORTS"/* "$EXPORTS"/.[!.]* 2>/dev/null | sort -n | tail -n 1; }
