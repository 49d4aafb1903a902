#!/bin/sh
# The About box and the version alert in a real terminal (a detached tmux session of 100 x 30 cells) and
# without one. Usage: dialogs_in_terminal.sh ABOUT_DRIVER MODULE ALERT_DRIVER
set -eu
about_driver=$1
module=$2
alert_driver=$3

work=$(mktemp -d)
socket="$work/tmux.sock"
cleanup() {
    tmux -S "$socket" kill-server 2>/dev/null || true
    rm -rf "$work"
}
trap cleanup EXIT INT TERM

fail() {
    echo "FAIL: $*" >&2
    for file in "$work"/*.out "$work"/*.err "$work"/screen; do
        [ -f "$file" ] && { echo "--- $file" >&2; cat "$file" >&2; }
    done
    exit 1
}

# Polls for up to 30 seconds (the sanitizer build starts slowly) until the command succeeds.
wait_for() {
    tries=0
    until "$@"; do
        tries=$((tries + 1))
        [ $tries -ge 300 ] && return 1
        sleep 0.1
    done
}

screen_shows() {
    tmux -S "$socket" capture-pane -p -t "$session" >"$work/screen" && grep -q -- "$1" "$work/screen"
}
screen_lacks() {
    tmux -S "$socket" capture-pane -p -t "$session" >"$work/screen" && ! grep -q -- "$1" "$work/screen"
}

# Runs a command in a fresh terminal; when it ends, its status and the terminal's settings are recorded and
# the pane stays open so that the screen can still be read.
start_in_terminal() {
    name=$1
    shift
    printf '%s\n' "$*" >"$work/$name.cmd"
    # The pane's shell outlives an interrupt of its command (a trap, unlike an ignored signal, is not
    # inherited), so that it can still record what happened.
    cat >"$work/$name.sh" <<EOF
trap : INT
sh "$work/$name.cmd" >"$work/$name.out" 2>"$work/$name.err"
echo \$? >"$work/$name.status"
stty -a >"$work/$name.stty"
sleep 600
EOF
    session=$name
    TERM=xterm tmux -S "$socket" -f /dev/null new-session -d -s "$session" -x 100 -y 30 "sh $work/$name.sh"
}

finished() {
    [ -s "$work/$1.status" ]
}

# The row (from 0) and column of the frame's top-left corner on the screen.
frame_corner() {
    awk '/^ *\+-+ .* -+\+ *$/ { match($0, /\+/); print NR - 1, RSTART - 1; exit }' "$work/screen"
}

expect_terminal_restored() {
    grep -Eq '(^|[ ;])icanon([ ;]|$)' "$work/$1.stty" || fail "$1: canonical input not restored"
    grep -Eq '(^|[ ;])echo([ ;]|$)' "$work/$1.stty" || fail "$1: echo not restored"
}

# 1. The About box: centred (416 x 160 pixels on 800 x 480: content from pixel 192, 120, so the frame's corner
#    sits at cell row 6, column 23), its text shown, closed by Enter; null events reach the host meanwhile.
start_in_terminal about "'$about_driver' '$module'"
wait_for screen_shows "About Quenfield Export" || fail "about: the box did not appear"
screen_shows "Exports the open gray or RGB image" || fail "about: the text is missing"
screen_shows "< OK >" || fail "about: the default button is missing"
[ "$(frame_corner)" = "6 23" ] || fail "about: frame corner at $(frame_corner), expected 6 23"
sleep 0.5
tmux -S "$socket" send-keys -t "$session" Enter
wait_for finished about || fail "about: Enter did not close the box"
[ "$(cat "$work/about.status")" = 0 ] || fail "about: driver status $(cat "$work/about.status")"
grep -q '^result=0 acquired=1 released=1 ' "$work/about.out" || fail "about: unexpected host view"
grep -Eq 'null_events=[1-9]' "$work/about.out" || fail "about: no null events reached the host"
expect_terminal_restored about
wait_for screen_lacks "About Quenfield Export" || fail "about: the box stayed on the screen"

# 2. The version alert: the message with the version 3.0, centred (416 x 128: corner at row 7, column 23),
#    closed by Escape.
start_in_terminal alert "'$alert_driver'"
wait_for screen_shows "too old to deliver pixel data" || fail "alert: the alert did not appear"
screen_shows "version 3.0 or later" || fail "alert: the version is missing"
[ "$(frame_corner)" = "7 23" ] || fail "alert: frame corner at $(frame_corner), expected 7 23"
tmux -S "$socket" send-keys -t "$session" Escape
wait_for finished alert || fail "alert: Escape did not close the alert"
[ "$(cat "$work/alert.status")" = 0 ] || fail "alert: driver status $(cat "$work/alert.status")"
grep -q '^available=0$' "$work/alert.out" || fail "alert: the check did not report the host as lacking"
expect_terminal_restored alert

# 3. An interrupt while the box is up: the terminal is given back, then the signal ends the process as usual.
start_in_terminal interrupt "'$about_driver' '$module'"
wait_for screen_shows "About Quenfield Export" || fail "interrupt: the box did not appear"
tmux -S "$socket" send-keys -t "$session" C-c
wait_for finished interrupt || fail "interrupt: the process did not end"
[ "$(cat "$work/interrupt.status")" = 130 ] || fail "interrupt: status $(cat "$work/interrupt.status"), not SIGINT"
expect_terminal_restored interrupt

# 4. No terminal: the text goes to standard error and nobody is waited for.
timeout 60 setsid -w "$about_driver" "$module" </dev/null >"$work/detached.out" 2>"$work/detached.err" ||
    fail "detached about: status $?"
grep -q '^result=0 acquired=1 released=1 ' "$work/detached.out" || fail "detached about: unexpected host view"
grep -q "Exports the open gray or RGB image" "$work/detached.err" || fail "detached about: no text on stderr"
timeout 60 setsid -w "$alert_driver" </dev/null >"$work/detached-alert.out" 2>"$work/detached-alert.err" ||
    fail "detached alert: status $?"
grep -q "version 3.0 or later" "$work/detached-alert.err" || fail "detached alert: no message on stderr"

echo "About box and version alert: shown, centred, closed and the terminal restored"
