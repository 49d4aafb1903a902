# Shared by the man page and completion tests: what the programs' own --help lists, so that a new option or
# command is caught where the page or the completion lacks it.
#   help_options PROGRAM    prints "COMMAND|OPTION" per option, COMMAND empty for the program's own options
#   help_commands PROGRAM   prints the program's subcommands

# CLI11 lists options under "Options:", two spaces in, spellings joined by commas before any value.
options_in_help() {
    awk '/^[^ ].*:$/ { section = $0; next }
         section == "Options:" && /^  -/ { print $1 }' | tr ',' '\n'
}

help_commands() {
    "$1" --help | awk '/^[^ ].*:$/ { section = $0; next }
                       section == "Subcommands:" && /^  [a-z]/ { print $1 }'
}

help_options() {
    local option command
    for option in $("$1" --help | options_in_help); do
        echo "|$option"
    done
    for command in $(help_commands "$1"); do
        for option in $("$1" "$command" --help | options_in_help); do
            echo "$command|$option"
        done
    done
}
