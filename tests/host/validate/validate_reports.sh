#!/bin/sh
# The report files of a run that passes, fails, crashes and skips: the JUnit XML must satisfy junit.xsd
# (xmllint), with the counts of the run, and the JSON must carry its schema version, level and seed.
# Usage: validate_reports.sh VALIDATOR PLUGIN-THAT-CRASHES-ON-A-NULL-SLOT XSD
set -u
validator=$1
plugin=$2
xsd=$3

scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
"$validator" validate --plugin "$plugin" --level contract --seed 5 -j 2 --junit "$scratch/results.xml" \
    --json "$scratch/results.json" --check entry-point-exported null-data-slot short-row-bytes > "$scratch/output" 2>&1
status=$?

fail() {
    echo "$1"
    cat "$scratch/output" "$scratch/results.xml" "$scratch/results.json" 2>/dev/null
    exit 1
}

[ "$status" -eq 1 ] || fail "exit status $status, expected 1"
xmllint --noout --schema "$xsd" "$scratch/results.xml" || fail "the JUnit file does not satisfy $xsd"
grep -q '<testsuites name="quenfield-export validate" tests="3" failures="0" errors="1" skipped="0"' \
    "$scratch/results.xml" || fail "the JUnit totals are wrong"
grep -q '<testcase name="null-data-slot" classname="validate.contract"' "$scratch/results.xml" ||
    fail "the crashed check is missing from the JUnit file"
for field in '"schemaVersion": 3' '"level": "contract"' '"seed": 5' '"validatorVersion": "'; do
    grep -q "$field" "$scratch/results.json" || fail "the JSON lacks $field"
done
# The fuzz cases' reports, and checks chosen by patterns, repeated in an order drawn from the seed.
"$validator" validate --plugin "$plugin" --reproduce 16 --junit "$scratch/fuzz.xml" --json "$scratch/fuzz.json" \
    > "$scratch/output" 2>&1
xmllint --noout --schema "$xsd" "$scratch/fuzz.xml" || fail "the fuzz run's JUnit file does not satisfy $xsd"
grep -q '"name": "fuzz-16", "level": "contract", "description": "' "$scratch/fuzz.json" ||
    fail "the fuzz run's JSON lacks its case"
"$validator" validate --plugin "$plugin" --seed 3 --check 'null-*' 'unknown-selectors' --skip null-data-slot \
    --repeat 2 --shuffle --json "$scratch/chosen.json" > "$scratch/output" 2>&1
chosen=$(sed -n 's/.*"name": "\([^"]*\)".*/\1/p' "$scratch/chosen.json" | sort | tr '\n' ' ')
[ "$chosen" = "null-param-block null-param-block#2 null-result null-result#2 unknown-selectors unknown-selectors#2 " ] ||
    fail "--check, --skip and --repeat chose: $chosen"
grep -q 'shuffled by the seed' "$scratch/output" || fail "the shuffled order's seed is not printed"
echo "JUnit file valid against $(basename "$xsd"); JSON carries schema version, level and seed"
