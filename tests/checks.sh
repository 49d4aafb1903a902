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
