#!/bin/sh
# Builds the libFuzzer target with clang (ASan and UBSan, in build/fuzz) and runs it for a bounded time on a
# scratch copy of the seed corpus, so the committed corpus never grows by itself. Exits non-zero when the
# fuzzer found a crash, a leak or a broken invariant; the input is then kept in the scratch folder, whose path
# is printed.
#   scripts/fuzz.sh [SECONDS] [extra libFuzzer options...]     (default 120 seconds)
set -eu
cd "$(dirname "$0")/.."
seconds=${1:-120}
[ $# -gt 0 ] && shift
sh scripts/install-deps.sh

dir=build/fuzz
CC=clang CXX=clang++ cmake -S . -B "$dir" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DQUENFIELD_FUZZ=ON >/dev/null
cmake --build "$dir" -j "$(nproc 2>/dev/null || echo 2)" --target quenfield_fuzz

scratch=$(mktemp -d "${TMPDIR:-/tmp}/quenfield-fuzz-run-XXXXXX")
mkdir "$scratch/corpus" "$scratch/artifacts"
cp fuzz/corpus/* "$scratch/corpus/"
log="$scratch/fuzz.log"
status=0
"$dir/fuzz/quenfield_fuzz" -max_total_time="$seconds" -print_final_stats=1 -timeout=10 \
    -artifact_prefix="$scratch/artifacts/" "$@" "$scratch/corpus" >"$log" 2>&1 || status=$?
grep -E '^#[0-9]+[[:space:]]+DONE|^stat::' "$log" || true
echo "corpus: $(ls "$scratch/corpus" | wc -l) inputs (from $(ls fuzz/corpus | wc -l) seeds)"
if [ "$status" -ne 0 ]; then
    tail -n 60 "$log"
    echo "fuzzer failed (status $status); inputs and log kept in $scratch" >&2
    exit "$status"
fi
rm -rf "$scratch"
