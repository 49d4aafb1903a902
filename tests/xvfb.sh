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
