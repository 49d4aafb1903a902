#!/bin/sh
# The About box and the version alert in a real terminal (a detached tmux session of 100 x 30 cells) and
# without one. Usage: dialogs_in_terminal.sh ABOUT_DRIVER MODULE ALERT_DRIVER
set -eu
# The terminal presentation is under test here, not a window.
unset DISPLAY
about_driver=$1
module=$2
alert_driver=$3
. "$(dirname "$0")/dialogs_common.sh"

work=$(mktemp -d)
socket="$work/tmux.sock"
cleanup() {
    tmux -S "$socket" kill-server 2>/dev/null || true
    rm -rf "$work"
}
trap cleanup EXIT INT TERM

fail() {
    echo "FAIL: $*" >&2
    show_files "$work"/*.out "$work"/*.err "$work"/screen
    exit 1
}

screen_shows() {
    tmux -S "$socket" capture-pane -p -t "$session" >"$work/screen" && grep -q -- "$1" "$work/screen"
}
screen_lacks() {
    tmux -S "$socket" capture-pane -p -t "$session" >"$work/screen" && ! grep -q -- "$1" "$work/screen"
}

# Runs a command in a fresh terminal (100 x 30 cells unless cols and rows say otherwise); when it ends, the
# terminal's settings and then its status are recorded and the pane stays open so that the screen can still
# be read.
start_in_terminal() {
    name=$1
    shift
    printf '%s\n' "$*" >"$work/$name.cmd"
    # The pane's shell outlives an interrupt of its command (a trap, unlike an ignored signal, is not
    # inherited), so that it can still record what happened.
    cat >"$work/$name.sh" <<EOF
trap : INT
sh "$work/$name.cmd" >"$work/$name.out" 2>"$work/$name.err"
status=\$?
stty -a >"$work/$name.stty"
echo \$status >"$work/$name.status"
sleep 600
EOF
    session=$name
    TERM=xterm tmux -S "$socket" -f /dev/null new-session -d -s "$session" -x "${cols:-100}" -y "${rows:-30}" \
        "sh $work/$name.sh"
}

finished() {
    [ -s "$work/$1.status" ]
}

# The row (from 0) and column of the frame's top-left corner on the screen.
frame_corner() {
    awk '/^ *\+-+ .* -+\+ *$/ { match($0, /\+/); print NR - 1, RSTART - 1; exit }' "$work/screen"
}

corner_is() {
    tmux -S "$socket" capture-pane -p -t "$session" >"$work/screen" && [ "$(frame_corner)" = "$1" ]
}

expect_terminal_restored() {
    grep -Eq '(^|[ ;])icanon([ ;]|$)' "$work/$1.stty" || fail "$1: canonical input not restored"
    grep -Eq '(^|[ ;])echo([ ;]|$)' "$work/$1.stty" || fail "$1: echo not restored"
    # tmux's view of the pane: mouse reporting switched off again.
    [ "$(tmux -S "$socket" display-message -p -t "$session" '#{mouse_any_flag}#{mouse_button_flag}')" = 00 ] ||
        fail "$1: mouse reporting left on"
}

# Sends the mouse report of an xterm in SGR encoding: button (0 press, 32 motion with the button held),
# column and row from 1, M for press or motion, m for release.
mouse() {
    tmux -S "$socket" send-keys -t "$session" -l "$(printf '\033[<%s;%s;%s%s' "$1" "$2" "$3" "$4")"
}

expect_closed_ok() {
    wait_for finished "$1" || fail "$1: the box did not close"
    [ "$(cat "$work/$1.status")" = 0 ] || fail "$1: driver status $(cat "$work/$1.status")"
    grep -q '^result=0 acquired=1 released=1 ' "$work/$1.out" || fail "$1: unexpected host view"
    expect_terminal_restored "$1"
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
grep -q '^available=0 ' "$work/alert.out" || fail "alert: the check did not report the host as lacking"
expect_terminal_restored alert

# 3. An interrupt while the box is up: the terminal is given back, then the signal ends the process as usual.
start_in_terminal interrupt "'$about_driver' '$module'"
wait_for screen_shows "About Quenfield Export" || fail "interrupt: the box did not appear"
tmux -S "$socket" send-keys -t "$session" C-c
wait_for finished interrupt || fail "interrupt: the process did not end"
[ "$(cat "$work/interrupt.status")" = 130 ] || fail "interrupt: status $(cat "$work/interrupt.status"), not SIGINT"
expect_terminal_restored interrupt

# 4. A click on OK (cell row 16, columns 66 to 74 from 1) closes the box.
start_in_terminal click "'$about_driver' '$module'"
wait_for screen_shows "< OK >" || fail "click: the box did not appear"
sleep 0.3
mouse 0 70 16 M
mouse 0 70 16 m
expect_closed_ok click

# 5. Dragged by its title bar (the top edge, row 7 from 1) 10 columns right and 3 rows down, the box moves
#    there and stays up; a click beside it changes nothing; Return closes it.
start_in_terminal drag "'$about_driver' '$module'"
wait_for screen_shows "< OK >" || fail "drag: the box did not appear"
sleep 0.3
mouse 0 40 7 M
mouse 32 45 8 M
mouse 32 50 10 M
mouse 0 50 10 m
wait_for corner_is "9 33" || fail "drag: frame corner at $(frame_corner), expected 9 33"
mouse 0 5 5 M
mouse 0 5 5 m
sleep 0.3
finished drag && fail "drag: the box closed"
screen_shows "About Quenfield Export" || fail "drag: the box disappeared"
tmux -S "$socket" send-keys -t "$session" Enter
expect_closed_ok drag

# 6. Two Escape presses arriving together: the first closes the box.
start_in_terminal escapes "'$about_driver' '$module'"
wait_for screen_shows "< OK >" || fail "escapes: the box did not appear"
sleep 0.3
tmux -S "$socket" send-keys -t "$session" -H 1b 1b
expect_closed_ok escapes

# 7. A terminal of 40 x 10 cells: the box starts at the top-left corner, cut to the screen, its title and
#    button still shown; a click on the button where it is drawn (row 9, column 34 from 1) closes it.
cols=40 rows=10 start_in_terminal small "'$about_driver' '$module'"
wait_for screen_shows "< OK >" || fail "small: the button is not on the screen"
screen_shows "About Quenfield Export" || fail "small: the title is missing"
[ "$(frame_corner)" = "0 0" ] || fail "small: frame corner at $(frame_corner), expected 0 0"
sleep 0.3
mouse 0 34 9 M
mouse 0 34 9 m
expect_closed_ok small

# 8. Resized to 50 x 12 cells the box moves to the corner with its button on the screen; back at 100 x 30
#    it is centred again.
start_in_terminal resize "'$about_driver' '$module'"
wait_for screen_shows "< OK >" || fail "resize: the box did not appear"
tmux -S "$socket" resize-window -t "$session" -x 50 -y 12
wait_for corner_is "0 0" || fail "resize: frame corner at $(frame_corner), expected 0 0"
screen_shows "< OK >" || fail "resize: the button is off the screen"
tmux -S "$socket" resize-window -t "$session" -x 100 -y 30
wait_for corner_is "6 23" || fail "resize: frame corner at $(frame_corner), expected 6 23 (not centred again)"
tmux -S "$socket" send-keys -t "$session" Enter
expect_closed_ok resize

# 9. No terminal: the text goes to standard error and nobody is waited for.
timeout 60 setsid -w "$about_driver" "$module" </dev/null >"$work/detached.out" 2>"$work/detached.err" ||
    fail "detached about: status $?"
grep -q '^result=0 acquired=1 released=1 ' "$work/detached.out" || fail "detached about: unexpected host view"
grep -q "Exports the open gray or RGB image" "$work/detached.err" || fail "detached about: no text on stderr"
timeout 60 setsid -w "$alert_driver" </dev/null >"$work/detached-alert.out" 2>"$work/detached-alert.err" ||
    fail "detached alert: status $?"
grep -q "version 3.0 or later" "$work/detached-alert.err" || fail "detached alert: no message on stderr"

echo "About box and version alert: shown, centred, closed and the terminal restored"
