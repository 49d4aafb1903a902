# shellcheck shell=bash
# Shared by the GIMP tests: a private scratch folder, a GIMP that keeps its settings in there and finds the
# bridge in a plug-in folder of the test's own, and a companion that moves each export into $OUT.
# Expects BRIDGE, HOST, MODULE (the export plug-in module), GIMPLIBDIR and GIMPDATADIR (GIMP's own) to be set.
set -eu

WORK=$(mktemp -d "${TMPDIR:-/tmp}/quenfield-gimp.XXXXXX")
trap 'rm -rf "$WORK"' EXIT
mkdir -p "$WORK/tmp" "$WORK/reftmp" "$WORK/data/applications" "$WORK/nodata" "$WORK/src" "$WORK/out" \
    "$WORK/ref" "$WORK/plug-ins/quenfield-gimp" "$WORK/scripts"
OUT="$WORK/out"
# shellcheck disable=SC2034 # for the scripts that source this
EXPORTS="$WORK/tmp/QuenfieldImport"
SCHEME="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)/bridge.scm"

# Only the plug-ins the tests use, and of Script-Fu's scripts only its own definitions: GIMP starts in a
# fraction of the time it takes to look at all of them.
ln -s "$BRIDGE" "$WORK/plug-ins/quenfield-gimp/quenfield-gimp"
for plugin in script-fu file-glob file-png file-tiff file-exr; do
    if [ ! -x "$GIMPLIBDIR/plug-ins/$plugin/$plugin" ]; then
        echo "GIMP's plug-in $plugin is not in $GIMPLIBDIR/plug-ins" >&2
        exit 1
    fi
    ln -s "$GIMPLIBDIR/plug-ins/$plugin" "$WORK/plug-ins/$plugin"
done
ln -s "$GIMPDATADIR/scripts/"*.init "$WORK/scripts/"
printf '(plug-in-path "%s/plug-ins")\n(script-fu-path "%s/scripts")\n' "$WORK" "$WORK" >"$WORK/gimprc"
# shellcheck disable=SC2016 # $1 is the companion's argument
printf 'mv "$1" "%s/"\n' "$OUT" >"$WORK/take.sh"
printf '[Desktop Entry]\nType=Application\nName=Take (test)\nExec=/bin/sh %s/take.sh %%f\n' "$WORK" \
    >"$WORK/data/applications/com.quenfield.Quenfield.desktop"

# Nothing of the user's: no display, no session bus, a home and settings of the test's own.
unset DISPLAY DBUS_SESSION_BUS_ADDRESS
export HOME="$WORK" XDG_CONFIG_HOME="$WORK/config" XDG_CACHE_HOME="$WORK/cache" XDG_DATA_DIRS="$WORK/nodata"

. "$(dirname "$0")/../checks.sh"

# run_gimp NAME SCHEME-EXPRESSION [VAR=VALUE...]: one batch GIMP in settings folder gimp-NAME, its standard
# error in $WORK/NAME.log. Without a terminal, so that no dialog of the plug-in waits for a key. In the
# sanitizer build the bridge's exit would list what GEGL's start-up leaves allocated on purpose; its memory
# errors still show. A GIMP that hangs is ended in time for its log to be shown.
run_gimp() {
    local name=$1 expression=$2
    shift 2
    local started=$SECONDS status=0
    echo "$name: starting GIMP"
    env GIMP2_DIRECTORY="$WORK/gimp-$name" TMPDIR="$WORK/tmp" XDG_DATA_HOME="$WORK/data" \
        QUENFIELD_EXPORT_MODULE="$MODULE" LSAN_OPTIONS=detect_leaks=0 "$@" \
        timeout -k 5 "${GIMP_TIME_LIMIT:-200}" setsid -w gimp-console -i -d -f -g "$WORK/gimprc" \
        -b "(begin (load \"$SCHEME\") $expression)" -b '(gimp-quit 0)' </dev/null >"$WORK/$name.log" 2>&1 ||
        status=$?
    [ $status -eq 0 ] || fail "$name: GIMP exited with status $status"
    echo "$name: GIMP ran $((SECONDS - started)) s"
}

# The outcome a batch reported for one case.
result_of() { # log case
    sed -n "s/^.*RESULT $2 //p" "$WORK/$1.log" | head -n 1
}

expect_result() { # log case expected
    local got
    got=$(result_of "$1" "$2")
    [ "$got" = "$3" ] || fail "$2: \"$got\", expected \"$3\""
}

# What goes wrong in GIMP shows on its standard error: crashed plug-ins, leaked buffers, failed checks.
expect_clean_log() { # log
    if grep -E "crashed|leaked|CRITICAL|runtime check failed|ERROR: |AddressSanitizer|runtime error" \
        "$WORK/$1.log"; then
        fail "$1: GIMP reported a fault"
    fi
}

scheme_list() { # paths...: a quoted Scheme list of strings
    local list="'("
    for path in "$@"; do
        list="$list \"$path\""
    done
    echo "$list)"
}

# Every GIMP's log, for a run in which a check failed.
on_failure() {
    for log in "$WORK"/*.log; do
        echo "== $(basename "$log")" >&2
        cat "$log" >&2
    done
}

# shellcheck source=tests/xvfb.sh
. "$(dirname "$0")/../xvfb.sh"
