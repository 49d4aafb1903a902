#!/bin/sh
# Runs validate --fuzz on a plug-in with a fixed seed. Usage: validate_fuzz.sh VALIDATOR PLUGIN SECONDS SEED clean|finds
# clean: no case may fail. finds: a case must fail, be printed with its reproducing command, and fail again when
# that command is run. Two cases at a time: the first batch of four always runs, whatever the machine's speed.
set -u
validator=$1
plugin=$2
seconds=$3
seed=$4
want=$5

scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
"$validator" validate --plugin "$plugin" --fuzz "$seconds" --seed "$seed" -j 2 > "$scratch/output" 2>&1
status=$?
last=$(tail -n 1 "$scratch/output")

fail() {
    echo "$1"
    cat "$scratch/output"
    exit 1
}

if [ "$want" = clean ]; then
    [ "$status" -eq 0 ] && [ "$last" = PASSED ] || fail "fuzzing $plugin: status $status, last line $last; expected a clean run"
    tail -n 2 "$scratch/output"
    exit 0
fi
[ "$status" -eq 1 ] && [ "$last" = FAILED ] || fail "fuzzing $plugin: status $status, last line $last; expected a failing case"
reproduce=$(sed -n 's/^    reproduce: quenfield-export validate --plugin [^ ]* --reproduce \([0-9]*\)$/\1/p' "$scratch/output" | head -n 1)
[ -n "$reproduce" ] || fail "fuzzing $plugin: no reproducing command printed"
"$validator" validate --plugin "$plugin" --reproduce "$reproduce" > "$scratch/again" 2>&1
status=$?
[ "$status" -eq 1 ] && [ "$(tail -n 1 "$scratch/again")" = FAILED ] ||
    fail "fuzzing $plugin: --reproduce $reproduce gave status $status: $(cat "$scratch/again")"
grep -m 1 -E '^(failed|crashed)' "$scratch/output"
echo "reproduced with --reproduce $reproduce"
