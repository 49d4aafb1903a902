#!/bin/bash
# The man pages render without a warning from groff or man, hold the usual sections, and name every command
# and option the programs' --help lists.
# Usage: man_pages.sh QUENFIELD-EXPORT QUENFIELD-IMPORT MAN-FOLDER (the configured, uncompressed pages)
set -eu
. "$(dirname "$0")/help_options.sh"
. "$(dirname "$0")/../checks.sh"

# Whole words only: --plugin must not pass for --plugin-dir, -h not for -hx.
names() { # TEXT WORD
    grep -qE -- "(^|[^[:alnum:]-])$2([^[:alnum:]-]|\$)" <<<"$1"
}

for program in "$1" "$2"; do
    name=$(basename "$program")
    page="$3/$name.1"
    warnings=$(groff -man -Tutf8 -ww -z "$page" 2>&1)
    [ -z "$warnings" ] || fail "groff warns about $name.1: $warnings"
    # The way lintian reads a page.
    warnings=$(LC_ALL=C.UTF-8 MANROFFSEQ='' MANWIDTH=80 man --warnings -E UTF-8 -l -Tutf8 -Z "$page" 2>&1 >/dev/null)
    [ -z "$warnings" ] || fail "man warns about $name.1: $warnings"
    ! grep -n '@[A-Z_]*@' "$page" || fail "$name.1 keeps placeholders that were not configured"

    # As a reader sees it: typographic hyphens and minus signs back to ASCII.
    text=$(MANPAGER=cat MANWIDTH=200 man -l "$page" 2>/dev/null | col -b | sed 's/\xe2\x80\x90/-/g; s/\xe2\x88\x92/-/g')
    for section in NAME SYNOPSIS DESCRIPTION OPTIONS "EXIT STATUS" ENVIRONMENT FILES EXAMPLES "SEE ALSO"; do
        grep -qx "$section" <<<"$text" || fail "$name.1 has no section $section"
    done
    for command in $(help_commands "$program"); do
        names "$text" "$command" || fail "$name.1 does not name the command $command ($name --help lists it)"
    done
    while IFS='|' read -r command option; do
        names "$text" "$option" ||
            fail "$name.1 does not name $option (listed by $name${command:+ $command} --help)"
    done < <(help_options "$program")
done

finish
