# How the shell tests report, sourced by them: each failed check is told and counted, and finish ends the run
# with the count. A test that defines on_failure has it show more (its logs) before the count.
failures=0
fail() {
    echo "FAIL: $*" >&2
    failures=$((failures + 1))
}

finish() {
    if [ "$failures" -ne 0 ]; then
        if command -v on_failure >/dev/null 2>&1; then
            on_failure
        fi
        echo "$failures check(s) failed" >&2
        exit 1
    fi
    echo "all checks passed"
}

# The reference host ($HOST) exports SOURCE from a folder without companion, timed (its time and peak memory are
# printed): its file must equal EXPORT byte for byte.
reference_host_matches() { # export source who
    TMPDIR="$WORK/reftmp" XDG_DATA_HOME="$WORK/nodata" /usr/bin/time -f "%e %M" -o "$WORK/host.time" \
        "$HOST" "$2" >/dev/null || true
    timing=$(tail -n 1 "$WORK/host.time")
    echo "reference host: ${timing% *} s, peak ${timing#* } KB"
    name=$(basename "$2")
    cmp -s "$1" "$WORK/reftmp/QuenfieldImport/${name%.*}.ppm" || fail "$3 differs from the reference host's"
}
