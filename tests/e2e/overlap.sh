#!/bin/bash
# Exports as people run them, under load: 50 host runs one after another and 25 pairs started together (of
# one document name and of two), with a companion that takes 0.5 s before it opens its file. Every run that
# exits 0 has its picture reach the companion byte for byte, and no half-written file is ever left or seen.
# Usage: overlap.sh QUENFIELD-EXPORT QUENFIELD-IMPORT E2E-PIXELS
HOST=$1 IMPORT=$2 PIXELS=$3
. "$(dirname "$0")/common.sh"

RECEIVED="$WORK/received"
mkdir -p "$RECEIVED"
# The stand-in companion: late, and keeping what it read under a name of its own.
cat >"$WORK/take.sh" <<'TAKE'
sleep 0.5
cat "$1" >"$2/.$$" && mv "$2/.$$" "$2/$$-$(basename "$1")"
TAKE
printf '[Desktop Entry]\nType=Application\nName=Late (test)\nExec=/bin/sh %s/take.sh %%f %s\n' "$WORK" \
    "$RECEIVED" >"$WORK/data/applications/com.quenfield.Quenfield.desktop"

burners=()
stop_burners() {
    for pid in "${burners[@]}"; do
        kill "$pid" 2>/dev/null || true
    done
}
trap 'stop_burners; rm -rf "$WORK"' EXIT
for _ in 1 2; do
    sh -c 'while :; do :; done' &
    burners+=($!)
done

# Run n exports a picture n+20 pixels wide, so that the width in a received header tells whose it is.
picture() { # run, name
    mkdir -p "$WORK/src/$1"
    "$PIXELS" pam u8 $(($1 + 20)) 6 3 "$1" "$WORK/src/$1/pic.pam"
    pamtopng "$WORK/src/$1/pic.pam" >"$WORK/src/$1/$2.png"
    echo "$WORK/src/$1/$2.png"
}
export_run() { # run, name
    local image
    image=$(picture "$1" "$2")
    local status=0
    "$HOST" "$image" >"$WORK/src/$1/out.txt" 2>&1 || status=$?
    echo $status >"$WORK/src/$1/status"
}

for run in $(seq 1 50); do
    if [ $((run % 2)) -eq 0 ]; then export_run $run letter; else export_run $run "page-$run"; fi
done
for pair in $(seq 0 24); do
    first=$((100 + 2 * pair))
    second=$((first + 1))
    if [ $((pair % 2)) -eq 0 ]; then name=letter; else name="sheet-$second"; fi
    export_run $first letter &
    a=$!
    export_run $second "$name" &
    wait $a $!
done
stop_burners

runs=$(cd "$WORK/src" && ls)
succeeded=0
for run in $runs; do
    [ "$(cat "$WORK/src/$run/status")" = 0 ] && succeeded=$((succeeded + 1))
done
# Every companion started has received its file within 20 s.
for _ in $(seq 200); do
    [ "$(ls "$RECEIVED" | grep -cv '^\.')" -ge "$succeeded" ] && break
    sleep 0.1
done

for run in $runs; do
    status=$(cat "$WORK/src/$run/status")
    if [ "$status" != 0 ]; then
        fail "run $run exited $status: $(cat "$WORK/src/$run/out.txt")"
        continue
    fi
    width=$((run + 20))
    header="P6
$width
6
65535"
    found=
    for file in "$RECEIVED"/*; do
        if [ "$(head -n 4 "$file")" = "$header" ]; then
            found=$file
            tail -c +$((${#header} + 2)) "$file" >"$WORK/samples"
            "$PIXELS" compare u8 $width 6 3 "$run" rgb16be "$WORK/samples" || fail "run $run: $file differs"
        fi
    done
    [ -n "$found" ] || fail "run $run exited 0 ($(cat "$WORK/src/$run/out.txt")) but its picture never reached the companion"
done
leftovers=$(ls -A "$EXPORTS" | grep '^\.' || true)
[ -z "$leftovers" ] || fail "half-written files were left: $leftovers"
echo "$succeeded runs exported; $(ls "$RECEIVED" | wc -l) pictures received"
finish
