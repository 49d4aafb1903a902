# What the dialog tests share; sourced by them.

# Shows each file that exists on stderr, under its name.
show_files() {
    for file in "$@"; do
        [ -f "$file" ] && { echo "--- $file" >&2; cat "$file" >&2; }
    done
    true
}

# Polls for up to 30 seconds (the sanitizer build starts slowly) until the command succeeds.
wait_for() {
    tries=0
    until "$@"; do
        tries=$((tries + 1))
        [ $tries -ge 300 ] && return 1
        sleep 0.1
    done
}
