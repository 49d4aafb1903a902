#!/bin/sh
# The About box and the version alert as windows on a private X server (Xvfb, 1024 x 768, white root):
# drawn at the centred position, closed by a click on the button, Return and Escape, moved by their title
# bar. Usage: dialogs_in_window.sh ABOUT_DRIVER MODULE ALERT_DRIVER
set -eu
about_driver=$1
module=$2
alert_driver=$3

work=$(mktemp -d)
xvfb_pid=""
driver_pid=""
cleanup() {
    [ -n "$driver_pid" ] && kill "$driver_pid" 2>/dev/null
    [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null
    rm -rf "$work"
}
trap cleanup EXIT INT TERM

fail() {
    echo "FAIL: $*" >&2
    for file in "$work"/*.out "$work"/*.err; do
        [ -f "$file" ] && { echo "--- $file" >&2; cat "$file" >&2; }
    done
    [ -f "$work/shot.png" ] && cp "$work/shot.png" "${TMPDIR:-/tmp}/dialogs_in_window-failed.png" &&
        echo "screenshot: ${TMPDIR:-/tmp}/dialogs_in_window-failed.png" >&2
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

# A fresh local X connection is now and then refused in some sandboxes: the X tools are retried.
retry() {
    for _ in 1 2 3 4 5; do
        "$@" && return 0
        sleep 0.1
    done
    return 1
}

# A display number of its own: other test runs may have X servers of their own at the same time.
start_xvfb() {
    for _ in 1 2 3 4 5 6 7 8 9 10; do
        number=$(($(od -An -N2 -tu2 /dev/urandom) % 50000 + 1000))
        Xvfb ":$number" -screen 0 1024x768x24 -wr -nolisten tcp >"$work/xvfb.log" 2>&1 &
        xvfb_pid=$!
        tries=0
        while kill -0 "$xvfb_pid" 2>/dev/null && [ $tries -lt 100 ]; do
            if xdpyinfo -display ":$number" >/dev/null 2>&1; then
                DISPLAY=":$number"
                export DISPLAY
                return 0
            fi
            tries=$((tries + 1))
            sleep 0.1
        done
        kill "$xvfb_pid" 2>/dev/null || true
        wait "$xvfb_pid" 2>/dev/null || true
    done
    return 1
}

# Starts a driver in the background, without a terminal, and waits for its window.
start_driver() {
    name=$1
    title=$2
    shift 2
    setsid "$@" </dev/null >"$work/$name.out" 2>"$work/$name.err" &
    driver_pid=$!
    wait_for find_window "$title" || fail "$name: no window titled \"$title\""
}

find_window() {
    window=$(xdotool search --name "^$1\$" 2>/dev/null | head -n 1)
    [ -n "$window" ] && xwininfo -id "$window" 2>/dev/null | grep -q "Map State: IsViewable"
}

# Waits for the driver to end; its status must be 0.
expect_closed() {
    wait_for sh -c "! kill -0 $driver_pid 2>/dev/null" || fail "$1: the dialog did not close"
    wait "$driver_pid" || fail "$1: driver status $?"
    driver_pid=""
    grep -q 'extra_fds=0 extra_threads=0$' "$work/$1.out" || fail "$1: descriptors or threads left open"
}

# The window's top-left corner on the screen, "x y".
window_corner() {
    xwininfo -id "$window" | awk '/Absolute upper-left X/ { x = $NF } /Absolute upper-left Y/ { y = $NF }
        END { print x, y }'
}

shoot() {
    retry import -window root "$work/shot.png" || fail "no screenshot"
}

# Pixel checks on the last screenshot: the darkest point of a region (x y width height) is ink; a single
# pixel is dark (an outline) or light (paper).
fx() {
    convert "$work/shot.png" -crop "$3x$4+$1+$2" +repage -format "%[fx:minima.intensity]" info:
}
ink_in() {
    [ "$(fx "$@" | awk '{ print ($1 < 0.35) }')" = 1 ] || fail "$label: no ink in region $*"
}
dark_at() {
    [ "$(fx "$1" "$2" 1 1 | awk '{ print ($1 < 0.35) }')" = 1 ] || fail "$label: pixel $1,$2 is not dark"
}
light_at() {
    [ "$(fx "$1" "$2" 1 1 | awk '{ print ($1 > 0.75) }')" = 1 ] || fail "$label: pixel $1,$2 is not light"
}

# The frame, title, text and default button of a dialog whose content is at left, top (width 416): the
# window reaches one pixel beyond the content and 17 above it (title bar and border).
check_drawing() {
    label=$1
    left=$2
    top=$3
    bottom=$4
    button_top=$5
    dark_at $((left - 1)) $((top + 20))                 # the frame's left edge
    light_at $((left - 3)) $((top + 20))                # the screen beside it
    dark_at $((left + 200)) "$bottom"                   # the frame's bottom edge
    ink_in $((left + 100)) $((top - 15)) 216 13         # the title
    dark_at $((left + 364)) "$button_top"               # the button's outline, top edge
    dark_at $((left + 364)) $((button_top - 3))         # the default button's heavy outline
    light_at $((left + 364)) $((button_top - 1))        # the gap between the two
    light_at $((left + 332)) $((button_top + 8))        # inside the button, left of its label
    ink_in $((left + 352)) $((button_top + 3)) 24 11    # the label
}

command -v Xvfb >/dev/null || fail "Xvfb is not installed"
start_xvfb || fail "no X server could be started"

# 1. The About box: its content of 416 x 160 centred on 1024 x 768 at 304, 216; closed by a click on OK.
start_driver click "About Quenfield Export" "$about_driver" "$module"
[ "$(window_corner)" = "303 199" ] || fail "about: window at $(window_corner), expected 303 199"
sleep 0.3
shoot
check_drawing about 304 216 376 344
ink_in 320 232 384 80
retry xdotool mousemove 668 352 click 1 || fail "about: xdotool"
expect_closed click
grep -q '^result=0 acquired=1 released=1 null_events=[1-9]' "$work/click.out" ||
    fail "about: unexpected host view (no null events?)"

# 2. Return closes it.
start_driver return "About Quenfield Export" "$about_driver" "$module"
retry xdotool key Return || fail "return: xdotool"
expect_closed return

# 3. Dragged by its title bar it moves, and the box stays up until Enter (keypad) closes it.
start_driver drag "About Quenfield Export" "$about_driver" "$module"
retry xdotool mousemove 400 207 mousedown 1 || fail "drag: xdotool"
retry xdotool mousemove 430 230 sleep 0.2 mousemove 460 257 sleep 0.2 mouseup 1 || fail "drag: xdotool"
wait_for sh -c "[ \"\$(xwininfo -id $window | awk '/Absolute upper-left X/ { print \$NF }')\" = 363 ]" ||
    fail "drag: window at $(window_corner), expected 363 249"
[ "$(window_corner)" = "363 249" ] || fail "drag: window at $(window_corner), expected 363 249"
sleep 0.3
kill -0 "$driver_pid" 2>/dev/null || fail "drag: the box closed"
shoot
check_drawing drag 364 266 426 394
retry xdotool key KP_Enter || fail "drag: xdotool"
expect_closed drag

# 4. The version alert: 416 x 128 centred at 304, 226, with its caution sign; closed by Escape.
start_driver alert "Quenfield Export" "$alert_driver"
[ "$(window_corner)" = "303 209" ] || fail "alert: window at $(window_corner), expected 303 209"
sleep 0.3
shoot
check_drawing alert 304 226 354 322
ink_in 368 242 336 48
[ "$(convert "$work/shot.png" -format '%[fx:p{336,264}.r > 0.8 && p{336,264}.b < 0.3]' info:)" = 1 ] ||
    fail "alert: no caution sign"
retry xdotool key Escape || fail "alert: xdotool"
expect_closed alert
grep -q '^available=0 ' "$work/alert.out" || fail "alert: the check did not report the host as lacking"

echo "About box and version alert: windows drawn, centred, moved and closed"
