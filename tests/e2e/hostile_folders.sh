#!/bin/bash
# Another user against root's exports, in a mount namespace with a /tmp of its own (the machine's is not
# touched). A table of redirections: the user nobody swaps (RENAME_EXCHANGE, in a loop) the folder an export
# would go to with links to a folder of root's and to a folder of its own, while root exports 200 times;
# nothing of either folder may change and the companion may only ever receive root's pictures. Then a
# squatted /tmp/quenfield-0: exports go on elsewhere, and the host says which folder it refused and why.
# Usage: hostile_folders.sh QUENFIELD-EXPORT QUENFIELD-IMPORT E2E-PIXELS E2E-SWAP
HOST=$1 IMPORT=$2 PIXELS=$3 SWAP=$4
if [ "$(id -u)" != 0 ]; then
    echo "skipped: needs root (folders of another user, a mount namespace)"
    exit 77
fi
if [ -z "${QUENFIELD_OWN_TMP:-}" ]; then
    if ! unshare -m --propagation private mount -t tmpfs tmpfs /tmp 2>/dev/null; then
        echo "skipped: no mount namespace with a /tmp of its own can be made here"
        exit 77
    fi
    # A checkout or build under /tmp is mounted again at its place on the new /tmp, from a descriptor of the
    # old one (mount -c: a path through /proc/self/fd must not be resolved by name).
    keep=""
    for path in "$0" "$HOST" "$IMPORT" "$PIXELS" "$SWAP"; do
        path=$(realpath "$path")
        case $path in /tmp/?*) path=${path#/tmp/} && keep="$keep ${path%%/*}" ;; esac
    done
    export QUENFIELD_OWN_TMP=1 QUENFIELD_KEEP_IN_TMP="$(echo "$keep" | tr ' ' '\n' | sort -u | tr '\n' ' ')"
    exec unshare -m --propagation private bash -c 'exec 9</tmp && mount -t tmpfs -o mode=1777 tmpfs /tmp &&
        for top in $QUENFIELD_KEEP_IN_TMP; do
            mkdir "/tmp/$top" && mount -c --bind "/proc/self/fd/9/$top" "/tmp/$top" || exit 1
        done && exec 9<&- && exec bash "$@"' bash "$0" "$@"
fi
unset TMPDIR
. "$(dirname "$0")/common.sh"
chmod 755 "$WORK"
NOBODY=(setpriv --reuid=65534 --regid=65534 --clear-groups)

RECEIVED="$WORK/received"
mkdir -p "$RECEIVED"
cat >"$WORK/take.sh" <<'TAKE'
cat "$1" >"$2/.$$" && mv "$2/.$$" "$2/$$"
TAKE
printf '[Desktop Entry]\nType=Application\nName=Recorder (test)\nExec=/bin/sh %s/take.sh %%f %s\n' "$WORK" \
    "$RECEIVED" >"$WORK/data/applications/com.quenfield.Quenfield.desktop"

"$PIXELS" pam u8 5 4 3 7 "$WORK/src/pic.pam"
images=()
for i in $(seq 20); do
    pamtopng "$WORK/src/pic.pam" >"$WORK/src/p$i.png"
    images+=("$WORK/src/p$i.png")
done

# A folder of root's that an export must never empty or write into, and one of nobody's whose picture the
# companion must never be given.
VICTIM="$WORK/victim"
EVIL="$WORK/evil"
mkdir -p "$VICTIM/QuenfieldImport" "$EVIL/QuenfieldImport"
echo precious >"$VICTIM/QuenfieldImport/p1.ppm"
echo "nobody's picture" >"$EVIL/QuenfieldImport/p1.ppm"
chown -R 65534:65534 "$EVIL"
listing() { find "$VICTIM" "$EVIL" -printf '%p %s %u\n' | sort; }
before=$(listing)

swappers=()
stop_swappers() {
    for pid in "${swappers[@]}"; do
        kill "$pid" 2>/dev/null || true
        wait "$pid" 2>/dev/null || true
    done
    swappers=()
}
trap 'stop_swappers; rm -rf "$WORK"' EXIT

attack() { # what, folder nobody swaps, TMPDIR for root (or "" for none)
    local what=$1 target=$2 tmpdir=$3
    local parent
    parent=$(dirname "$target")
    rm -rf "$RECEIVED"/* "$parent/to-victim" "$parent/to-evil"
    "${NOBODY[@]}" ln -s "$VICTIM" "$parent/to-victim"
    "${NOBODY[@]}" ln -s "$EVIL" "$parent/to-evil"
    "${NOBODY[@]}" "$SWAP" "$target" "$parent/to-victim" &
    swappers+=($!)
    "${NOBODY[@]}" "$SWAP" "$target" "$parent/to-evil" &
    swappers+=($!)
    local failed=0
    for _ in $(seq 10); do
        if [ -n "$tmpdir" ]; then
            TMPDIR=$tmpdir "$HOST" "${images[@]}" >"$WORK/out.txt" 2>&1 || failed=$((failed + 1))
        else
            env -u TMPDIR "$HOST" "${images[@]}" >"$WORK/out.txt" 2>&1 || failed=$((failed + 1))
        fi
    done
    stop_swappers
    [ $failed -eq 0 ] || fail "$what: $failed of 10 runs failed, the last: $(cat "$WORK/out.txt")"
    [ "$(listing)" = "$before" ] || fail "$what: folders outside root's own were changed: $(diff <(echo "$before") <(listing))"
    for _ in $(seq 100); do
        [ "$(ls "$RECEIVED" | wc -l)" -ge 200 ] && break
        sleep 0.1
    done
    local first
    first=$(ls "$RECEIVED" | head -n 1)
    [ "$(ls "$RECEIVED" | wc -l)" -eq 200 ] || fail "$what: the companion received $(ls "$RECEIVED" | wc -l) of 200 exports"
    tail -c +14 "$RECEIVED/$first" >"$WORK/samples"
    "$PIXELS" compare u8 5 4 3 7 rgb16be "$WORK/samples" || fail "$what: the companion was given something else"
    for file in "$RECEIVED"/*; do
        cmp -s "$file" "$RECEIVED/$first" || fail "$what: the companion was given $(head -c 24 "$file" | tr -c '[:print:]' '.')"
    done
    echo "$what: done"
}

# A sticky TMPDIR that nobody owns: its owner may rename root's entries in it.
mkdir "$WORK/sticky"
chown 65534:65534 "$WORK/sticky"
chmod 1777 "$WORK/sticky"
mkdir -m 700 "$WORK/sticky/quenfield-0"
attack "a sticky TMPDIR of another user's" "$WORK/sticky/quenfield-0" "$WORK/sticky"

# A TMPDIR of root's inside a folder nobody can write to.
mkdir "$WORK/open"
chown 65534:65534 "$WORK/open"
mkdir -m 700 "$WORK/open/roots-tmp"
attack "a TMPDIR in a folder another user can write to" "$WORK/open/roots-tmp" "$WORK/open/roots-tmp"

# The private folder in /tmp itself.
rm -rf /tmp/quenfield-0
mkdir -m 700 /tmp/quenfield-0
attack "the private folder" /tmp/quenfield-0 ""

# Squatted: nobody made /tmp/quenfield-0 first. The export goes to $XDG_RUNTIME_DIR and the host says why.
rm -rf /tmp/quenfield-0 "$RECEIVED"/*
"${NOBODY[@]}" mkdir -m 777 /tmp/quenfield-0
mkdir -m 700 "$WORK/run"
env -u TMPDIR XDG_RUNTIME_DIR="$WORK/run" "$HOST" "$WORK/src/p1.png" >"$WORK/out.txt" 2>&1 ||
    fail "squatted: the export failed: $(cat "$WORK/out.txt")"
grep -qF "exported to $WORK/run/QuenfieldImport/p1.ppm" "$WORK/out.txt" || fail "squatted: $(cat "$WORK/out.txt")"
grep -qF "/tmp/quenfield-0 was refused: it belongs to user 65534" "$WORK/out.txt" ||
    fail "squatted: the refused folder is not named: $(cat "$WORK/out.txt")"
[ -z "$(ls -A /tmp/quenfield-0)" ] || fail "squatted: the squatter's folder was written to"
cat "$WORK/out.txt"
finish
