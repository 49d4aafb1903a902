#!/bin/sh
# Runs the validator on a plug-in and compares the checks that failed or crashed with the ones expected.
# Usage: validate_catches.sh VALIDATOR PLUGIN [--level=LEVEL] [CHECK=OUTCOME ...]   (OUTCOME: failed or crashed)
# Also checks that the last line of the output says PASSED or FAILED as the exit status does.
set -u
validator=$1
plugin=$2
shift 2
level=recommended
case "${1:-}" in --level=*) level=${1#--level=}; shift ;; esac

scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
"$validator" validate --plugin "$plugin" --level "$level" --seed 1 --json "$scratch/results.json" > "$scratch/output" 2>&1
status=$?

# One check a line in the results: its name, then its outcome.
seen=$(sed -n -E 's/.*"name": "([^"]*)".*"outcome": "(failed|crashed)".*/\1=\2/p' "$scratch/results.json" | sort)
expected=$(for pair in "$@"; do echo "$pair"; done | sort)
want_status=0
want_last=PASSED
[ -n "$expected" ] && want_status=1 && want_last=FAILED
last=$(tail -n 1 "$scratch/output")

if [ "$seen" != "$expected" ] || [ "$status" -ne "$want_status" ] || [ "$last" != "$want_last" ]; then
    echo "validate of $plugin: exit status $status (expected $want_status), last line $last (expected $want_last)"
    echo "failed or crashed: ${seen:-none}"
    echo "expected:          ${expected:-none}"
    cat "$scratch/output"
    exit 1
fi
grep -E '^(skipped|failed|crashed) ' "$scratch/output"
tail -n 1 "$scratch/output"
