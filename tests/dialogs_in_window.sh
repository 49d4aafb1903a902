#!/bin/sh
# The About box and the version alert as windows on a private X server (Xvfb, 1024 x 768, white root):
# drawn at the centred position, closed by a click on the button, Return and Escape, moved by their title
# bar. Usage: dialogs_in_window.sh ABOUT_DRIVER MODULE ALERT_DRIVER
set -eu
about_driver=$1
module=$2
alert_driver=$3
. "$(dirname "$0")/dialogs_common.sh"
# In the sanitizer build: the font caches of the X libraries are not leaks of ours.
LSAN_OPTIONS="suppressions=$(cd "$(dirname "$0")" && pwd)/x11-libraries.supp${LSAN_OPTIONS:+:$LSAN_OPTIONS}"
export LSAN_OPTIONS

work=$(mktemp -d)
xvfb_pid=""
driver_pid=""
# Either process may have ended already.
cleanup() {
    [ -z "$driver_pid" ] || kill "$driver_pid" 2>/dev/null || true
    [ -z "$xvfb_pid" ] || kill "$xvfb_pid" 2>/dev/null || true
    rm -rf "$work"
}
trap cleanup EXIT
trap "exit 1" INT TERM HUP PIPE

fail() {
    echo "FAIL: $*" >&2
    show_files "$work"/*.out "$work"/*.err
    if [ -f "$work/shot.png" ]; then
        cp "$work/shot.png" "${TMPDIR:-/tmp}/dialogs_in_window-failed.png"
        echo "screenshot: ${TMPDIR:-/tmp}/dialogs_in_window-failed.png" >&2
    fi
    exit 1
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
    # Keys go to the window once it has taken the focus, which it does when it is mapped.
    wait_for has_focus || fail "$name: the window did not take the keyboard focus"
}

has_focus() {
    [ "$(xdotool getwindowfocus 2>/dev/null)" = "$window" ]
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

# A screenshot kept for a failure's report.
shoot() {
    retry import -window root "$work/shot.png" || true
}

# Pixel checks on a screenshot, read as grey levels (0 to 255) around the window: a pixel is
# dark (an outline) or light (paper), the darkest pixel of a region is ink (text).
check_drawing() {
    label=$1
    left=$2
    top=$3
    bottom=$4
    button_top=$5
    checks="dark $((left - 1)) $((top + 20)); light $((left - 3)) $((top + 20)); dark $((left + 200)) $bottom;
        ink $((left + 100)) $((top - 15)) 216 13; dark $((left + 364)) $button_top;
        dark $((left + 364)) $((button_top - 3)); light $((left + 364)) $((button_top - 1));
        light $((left + 332)) $((button_top + 8)); ink $((left + 352)) $((button_top + 3)) 24 11; $6"
    x0=$((left - 8))
    y0=$((top - 24))
    width=432
    height=$((bottom - top + 32))
    retry import -window root -crop "${width}x$height+$x0+$y0" -colorspace gray -depth 8 "gray:$work/grey.raw" ||
        fail "$label: no screenshot"
    od -An -tu1 -v -w"$width" "$work/grey.raw" >"$work/grey"
    failures=$(awk -v x0="$x0" -v y0="$y0" -v checks="$checks" '
        { row[y0 + NR - 1] = $0 }
        # The darkest level in a region.
        function darkest(left, top, width, height,    x, y, levels, least) {
            least = 255
            for (y = top; y < top + height; y++) {
                split(row[y], levels, " ")
                for (x = left; x < left + width; x++)
                    if (levels[x - x0 + 1] < least) least = levels[x - x0 + 1]
            }
            return least
        }
        END {
            n = split(checks, list, ";")
            for (k = 1; k <= n; k++) {
                split(list[k], f, " ")
                if (f[1] == "dark" && darkest(f[2], f[3], 1, 1) >= 90) print "pixel " f[2] "," f[3] " is not dark"
                if (f[1] == "light" && darkest(f[2], f[3], 1, 1) <= 190) print "pixel " f[2] "," f[3] " is not light"
                if (f[1] == "ink" && darkest(f[2], f[3], f[4], f[5]) >= 90)
                    print "no ink in " f[4] "x" f[5] " at " f[2] "," f[3]
            }
        }' "$work/grey")
    [ -z "$failures" ]
}

# Screenshots until the drawing passes the checks (it may take a moment to appear), for up to 10 seconds.
expect_drawing() {
    for _ in 1 2 3 4 5 6 7 8 9 10 11 12 13 14 15 16 17 18 19 20; do
        check_drawing "$@" && return 0
        sleep 0.5
    done
    shoot
    fail "$1: $failures"
}

command -v Xvfb >/dev/null || fail "Xvfb is not installed"
start_xvfb || fail "no X server could be started"

# 1. The About box: its content of 416 x 160 centred on 1024 x 768 at 304, 216; closed by a click on OK.
start_driver click "About Quenfield Export" "$about_driver" "$module"
[ "$(window_corner)" = "303 199" ] || fail "about: window at $(window_corner), expected 303 199"
expect_drawing about 304 216 376 344 "ink 320 232 384 80"
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
expect_drawing drag 364 266 426 394 ""
kill -0 "$driver_pid" 2>/dev/null || fail "drag: the box closed"
retry xdotool key KP_Enter || fail "drag: xdotool"
expect_closed drag

# 4. The version alert: 416 x 128 centred at 304, 226, with its caution sign; closed by Escape.
start_driver alert "Quenfield Export" "$alert_driver"
[ "$(window_corner)" = "303 209" ] || fail "alert: window at $(window_corner), expected 303 209"
expect_drawing alert 304 226 354 322 "ink 368 242 336 48"
retry import -window root -crop 1x1+328+266 -depth 8 "txt:$work/sign.txt" || fail "alert: no screenshot"
grep -q '#FFCC00' "$work/sign.txt" || fail "alert: no caution sign, $(cat "$work/sign.txt")"
retry xdotool key Escape || fail "alert: xdotool"
expect_closed alert
grep -q '^available=0 ' "$work/alert.out" || fail "alert: the check did not report the host as lacking"

echo "About box and version alert: windows drawn, centred, moved and closed"
