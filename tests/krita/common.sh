# shellcheck shell=bash
# Shared by the Krita tests: a private scratch folder and home, the plug-in in Krita's per-user plug-in folder
# there and enabled, and a companion that moves each export into $OUT.
# Usage of the tests: TEST PYKRITA HOST MODULE PIXELS (PYKRITA: the build's folder holding the plug-in).
# shellcheck disable=SC2034 # PIXELS for the scripts that source this
PYKRITA=$1 HOST=$2 MODULE=$3 PIXELS=$4
set -eu

if ! command -v kritarunner >/dev/null || ! /usr/bin/python3 -c 'import PyQt5' 2>/dev/null; then
    echo "SKIP: Krita and its Python (krita, python3-pyqt5) are not installed"
    exit 77
fi

WORK=$(mktemp -d "${TMPDIR:-/tmp}/quenfield-krita.XXXXXX")
trap 'rm -rf "$WORK"' EXIT
mkdir -p "$WORK/tmp" "$WORK/reftmp" "$WORK/data/applications" "$WORK/data/krita/pykrita" "$WORK/config" \
    "$WORK/nodata" "$WORK/src" "$WORK/out"
OUT="$WORK/out"
# shellcheck disable=SC2034 # for the scripts that source this
EXPORTS="$WORK/tmp/QuenfieldImport"

ln -s "$PYKRITA"/* "$WORK/data/krita/pykrita/"
printf '[python]\nenable_quenfield_send=true\n' >"$WORK/config/kritarc"
# shellcheck disable=SC2016 # $1 is the companion's argument
printf 'mv "$1" "%s/"\n' "$OUT" >"$WORK/take.sh"
printf '[Desktop Entry]\nType=Application\nName=Take (test)\nExec=/bin/sh %s/take.sh %%f\n' "$WORK" \
    >"$WORK/data/applications/com.quenfield.Quenfield.desktop"

# Nothing of the user's: no display, no session bus, a home and settings of the test's own. The Python module
# is found where the build's plug-in was told it is, not on PYTHONPATH.
unset DISPLAY DBUS_SESSION_BUS_ADDRESS PYTHONPATH
export HOME="$WORK" XDG_CONFIG_HOME="$WORK/config" XDG_DATA_HOME="$WORK/data" XDG_CACHE_HOME="$WORK/cache" \
    XDG_DATA_DIRS="$WORK/nodata:/usr/share" TMPDIR="$WORK/tmp" QUENFIELD_EXPORT_MODULE="$MODULE"

. "$(dirname "$0")/../checks.sh"

# The reference host's export of a file, from a folder without companion (it keeps the file), as $WORK/ref/NAME.
reference() { # source name
    rm -rf "$WORK/reftmp/QuenfieldImport"
    mkdir -p "$WORK/ref"
    TMPDIR="$WORK/reftmp" XDG_DATA_HOME="$WORK/nodata" "$HOST" "$1" >/dev/null || true
    mv "$WORK/reftmp/QuenfieldImport/"* "$WORK/ref/$2" 2>/dev/null || fail "$2: the reference host exported nothing"
}

# The export that reached the companion is the reference host's export of SOURCE, byte for byte.
same_as_reference() { # export-name source
    reference "$2" "$1"
    if [ ! -f "$OUT/$1" ]; then
        fail "$1: the export did not reach the companion"
    elif ! cmp -s "$OUT/$1" "$WORK/ref/$1"; then
        fail "$1: differs from the reference host's export: $(cmp "$OUT/$1" "$WORK/ref/$1" 2>&1)"
    fi
}

# run_krita FUNCTION ARGS...: one headless Krita running FUNCTION of cases.py with the plug-in of the build;
# its output in $WORK/krita.log, shown when a check fails.
run_krita() {
    local function=$1 started=$SECONDS
    shift
    PYTHONPATH="$(cd "$(dirname "$0")" && pwd)" QT_QPA_PLATFORM=offscreen timeout -k 5 "${KRITA_TIME_LIMIT:-200}" \
        kritarunner -s cases -f "$function" "$PYKRITA" "$@" </dev/null >"$WORK/krita.log" 2>&1 ||
        fail "kritarunner ended with status $?"
    echo "Krita ran $((SECONDS - started)) s"
    grep -q "^CASES DONE" "$WORK/krita.log" || fail "the cases did not run to their end"
}
on_failure() { cat "$WORK/krita.log" >&2; }

# The outcome cases.py reported for a case.
result_of() { sed -n "s/^RESULT $1 //p" "$WORK/krita.log" | head -n 1; }
expect_result() { # case expected
    local got
    got=$(result_of "$1")
    [ "$got" = "$2" ] || fail "$1: \"$got\", expected \"$2\""
}
