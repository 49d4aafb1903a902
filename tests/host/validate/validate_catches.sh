#!/bin/sh
# Runs the validator on a plug-in and compares the checks that failed or crashed with the ones expected.
# Usage: validate_catches.sh VALIDATOR PLUGIN [CHECK=OUTCOME ...]   (OUTCOME: failed or crashed)
set -u
validator=$1
plugin=$2
shift 2

scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
"$validator" validate --plugin "$plugin" --seed 1 --json "$scratch/results.json" > "$scratch/output" 2>&1
status=$?

# One check a line in the results: its name, then its outcome.
seen=$(sed -n -E 's/.*"name": "([^"]*)".*"outcome": "(failed|crashed)".*/\1=\2/p' "$scratch/results.json" | sort)
expected=$(for pair in "$@"; do echo "$pair"; done | sort)
want_status=0
[ -n "$expected" ] && want_status=1

if [ "$seen" != "$expected" ] || [ "$status" -ne "$want_status" ]; then
    echo "validate of $plugin: exit status $status (expected $want_status)"
    echo "failed or crashed: ${seen:-none}"
    echo "expected:          ${expected:-none}"
    cat "$scratch/output"
    exit 1
fi
grep -E '^(skipped|failed|crashed) ' "$scratch/output"
tail -n 1 "$scratch/output"
