# Shared by the end-to-end tests: a private scratch folder, the plug-in's temporary folder inside it, and a
# desktop entry that starts the real companion with its imports and its log going to folders of the test's own.
# Expects HOST, IMPORT and PIXELS (the e2e_pixels tool) to be set.
set -eu

WORK=$(mktemp -d "${TMPDIR:-/tmp}/quenfield-e2e.XXXXXX")
trap 'rm -rf "$WORK"' EXIT
mkdir -p "$WORK/tmp" "$WORK/data/applications" "$WORK/nodata" "$WORK/pictures" "$WORK/src"
EXPORTS="$WORK/tmp/QuenfieldImport"
PICTURES="$WORK/pictures"

cat >"$WORK/data/applications/com.quenfield.Quenfield.desktop" <<ENTRY
[Desktop Entry]
Type=Application
Name=Quenfield Import (test)
Exec=$IMPORT --to $PICTURES %f
ENTRY

export TMPDIR="$WORK/tmp" XDG_DATA_HOME="$WORK/data" XDG_DATA_DIRS="$WORK/nodata" XDG_STATE_HOME="$WORK/state"
# No session bus: nothing of the launch may depend on one.
unset DBUS_SESSION_BUS_ADDRESS

. "$(dirname "$0")/../checks.sh"

# Waits up to 20 s for a file to appear.
await_file() {
    for _ in $(seq 200); do
        [ -e "$1" ] && return 0
        sleep 0.1
    done
    return 1
}

# Waits up to 10 s until find, given these arguments, names something; the caller checks what it needs.
await_found() {
    for _ in $(seq 2000); do
        [ -n "$(find "$@" 2>/dev/null)" ] && return 0
        sleep 0.005
    done
    return 1
}

# big.tif, 8000x8000 16-bit RGB (a 384 MB export) from a small compressed file, and after.png, a small image
# to follow it, in the current folder.
make_big_sources() {
    head -c $((8000 * 8000 * 6)) /dev/zero >big.raw
    raw2tiff -w 8000 -l 8000 -b 3 -d short -p rgb -c zip big.raw big.tif
    rm big.raw
    "$PIXELS" pam u8 3 3 3 1 after.pam
    pamtopng after.pam >after.png
}
