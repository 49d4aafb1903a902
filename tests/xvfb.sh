# shellcheck shell=bash
# Sourced by the tests that drive an editor on an X display. start_xvfb: a private X display for the test
# (Xvfb picks a free number and writes it to descriptor 3), in $display; Xvfb, and the editor whose process the
# test keeps in $editor, end with the test, and its scratch folder $WORK goes.
start_xvfb() { # screen geometry, WIDTHxHEIGHTxDEPTH
    Xvfb -displayfd 3 -screen 0 "$1" -nolisten tcp 3>"$WORK/display" 2>"$WORK/xvfb.log" &
    xvfb=$!
    editor=""
    trap 'kill $xvfb $editor 2>/dev/null || true; wait $xvfb 2>/dev/null; rm -rf "$WORK"' EXIT
    for _ in $(seq 100); do
        [ -s "$WORK/display" ] && break
        sleep 0.1
    done
    [ -s "$WORK/display" ] || { cat "$WORK/xvfb.log" >&2; echo "FAIL: Xvfb did not start" >&2; exit 1; }
    # shellcheck disable=SC2034 # for the scripts that source this
    display=":$(cat "$WORK/display")"
    for _ in $(seq 50); do
        xdpyinfo -display "$display" >/dev/null 2>&1 && return 0
        sleep 0.1
    done
    cat "$WORK/xvfb.log" >&2
    echo "FAIL: Xvfb on $display does not answer" >&2
    exit 1
}

# Starts the editor, COMMAND..., with its output in LOG, and waits up to TENTHS tenths of a second for its first
# window whose name matches REGEX (only visible ones with FILTER --onlyvisible, else --all), in $window; then
# the window's X, Y, WIDTH and HEIGHT. A fresh local X connection is now and then refused in some sandboxes,
# and the editor then ends at once: it is started again, twice at most. No window fails the test.
start_editor() { # tenths log regex filter command...
    local tenths=$1 log=$2 regex=$3 filter=$4
    shift 4
    for _ in 1 2 3; do
        "$@" </dev/null >"$log" 2>&1 &
        editor=$!
        window=""
        for _ in $(seq "$tenths"); do
            window=$(xdotool search "$filter" --name "$regex" 2>/dev/null | head -n 1)
            [ -n "$window" ] && break
            kill -0 "$editor" 2>/dev/null || break
            sleep 0.1
        done
        [ -z "$window" ] && ! kill -0 "$editor" 2>/dev/null || break
    done
    if [ -z "$window" ]; then
        command -v on_failure >/dev/null 2>&1 && on_failure
        echo "FAIL: the editor showed no window matching $regex" >&2
        exit 1
    fi
    sleep 2
    eval "$(xdotool getwindowgeometry --shell "$window")"
}

# The size of the largest file in $EXPORTS, its hidden ones (a file under way) included.
largest_export() { stat -c %s "$EXPORTS"/* "$EXPORTS"/.[!.]* 2>/dev/null | sort -n | tail -n 1; }
