#!/bin/sh
# Runs one check of the validator on a plug-in with one fault: the check must end with the outcome expected
# and its report must hold words that name the fault.
# Usage: validate_fault.sh VALIDATOR PLUGIN CHECK OUTCOME WORDS   (OUTCOME: failed, crashed or timed_out)
set -u
validator=$1
plugin=$2
check=$3
outcome=$(echo "$4" | tr _ ' ')
words=$5

scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
"$validator" validate --plugin "$plugin" --level reference --seed 1 --check "$check" \
    --json "$scratch/results.json" > "$scratch/output" 2>&1
status=$?
if [ "$status" -ne 1 ] || ! grep -q "\"name\": \"$check\".*\"outcome\": \"$outcome\"" "$scratch/results.json" ||
    ! grep -F -q "$words" "$scratch/results.json"; then
    echo "validate --check $check of $plugin: exit status $status; expected the outcome $outcome and a report naming \"$words\""
    cat "$scratch/output"
    exit 1
fi
grep -E "^$outcome " "$scratch/output" | cut -c1-400
