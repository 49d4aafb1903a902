#!/bin/bash
# The README's session with the reference host, run as written by a user with a fresh home folder: every
# command in the first transcript under "Using the reference host" is run from a checkout whose build/normal is
# the build under test, and every line the transcript shows must appear in its output. The user's own pictures
# are made here at the sizes the transcript shows. Paths that differ from machine to machine are written in
# the transcript as they look for the user "you" of uid 1000. The companion imports on its own, so a listing
# of its folder is asked again until it shows what the transcript promises.
# Usage: readme.sh QUENFIELD-EXPORT QUENFIELD-IMPORT E2E-PIXELS
HOST=$1 IMPORT=$2 PIXELS=$3
. "$(dirname "$0")/common.sh"
README="$(cd "$(dirname "$0")/../.." && pwd)/README.md"
BUILD=$(cd "$(dirname "$HOST")/.." && pwd)

export HOME="$WORK/home"
unset XDG_DATA_HOME XDG_CONFIG_HOME XDG_PICTURES_DIR
mkdir -p "$HOME/Pictures" "$WORK/checkout/build"
ln -s "$BUILD" "$WORK/checkout/build/normal"

# The user's own pictures: a photo, a logo with transparency, a scan of three pages.
"$PIXELS" pam u8 1024 683 3 1 "$WORK/src/photo.pam"
pamtopnm "$WORK/src/photo.pam" | cjpeg -quality 90 >"$HOME/Pictures/harbour.jpg"
convert -size 300x120 xc:'rgba(20,80,200,0.6)' "$HOME/Pictures/logo.png"
convert -size 850x1100 xc:white xc:gray90 xc:gray80 -depth 8 "$HOME/Pictures/letter.tif"

normalise() {
    sed -e "s|$TMPDIR/QuenfieldImport|/tmp/quenfield-1000/QuenfieldImport|g" -e "s|$HOME|/home/you|g"
}

# The transcript: "$ command" lines, each followed by the lines it prints.
transcript=$(awk '/^## Using the reference host/ { section = 1; next }
    section && /^## / { exit }
    section && /^```/ { if (block) exit; block = 1; next }
    block' "$README")
[ -n "$transcript" ] || fail "no transcript under \"Using the reference host\" in $README"

# Waits up to 20 s for every promised line in the command's output (the companion prints on its own).
check_output() { # command output-file promised-lines
    local promised=$3 line
    while IFS= read -r line; do
        [ -n "$line" ] || continue
        local waited=0
        until normalise <"$2" | grep -qxF -e "$line"; do
            if [ $waited -ge 200 ]; then
                fail "\"$1\" did not print \"$line\"; it printed:"
                normalise <"$2" >&2
                return
            fi
            sleep 0.1
            waited=$((waited + 1))
        done
    done <<<"$promised"
}

# A listing shows all it lists, in columns or a column; the companion may still be writing its log, so it is
# asked again for up to 20 s.
check_listing() { # command promised-lines
    local want listing
    want=$(tr -s ' \n' '  ' <<<"$2")
    for _ in $(seq 200); do
        listing=$(cd "$WORK/checkout" && bash -c "$1" 2>&1 | normalise)
        [ "$(tr -s ' \n' '  ' <<<"$listing")" = "$want" ] && return
        sleep 0.1
    done
    fail "\"$1\" printed \"$listing\", the README shows \"$2\""
}

run_command() { # command promised-lines
    if [[ $1 == ls\ * ]]; then
        check_listing "$1" "$2"
        return
    fi
    local output="$WORK/output.$RANDOM"
    (cd "$WORK/checkout" && bash -c "$1") >"$output" 2>&1 || fail "\"$1\" failed with status $?"
    check_output "$1" "$output" "$2"
}

command="" promised="" commands=0
while IFS= read -r line; do
    if [[ $line == '$ '* ]]; then
        [ -z "$command" ] || run_command "$command" "$promised"
        command=${line#'$ '} promised=""
        commands=$((commands + 1))
    else
        promised+="$line"$'\n'
    fi
done <<<"$transcript"
[ -z "$command" ] || run_command "$command" "$promised"
[ "$commands" -ge 4 ] || fail "the transcript holds $commands commands; expected the whole session"
finish
