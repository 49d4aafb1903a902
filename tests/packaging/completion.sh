#!/bin/bash
# The bash completion of both programs, called as bash calls it: commands, options, option values, image files
# (names with blanks too), check names from the program itself; and every option --help lists is offered.
# Usage: completion.sh QUENFIELD-EXPORT QUENFIELD-IMPORT COMPLETION-FOLDER
set -eu
. "$(dirname "$0")/help_options.sh"
HOST=$1 IMPORT=$2 COMPLETIONS=$3
WORK=$(mktemp -d "${TMPDIR:-/tmp}/quenfield-completion.XXXXXX")
trap 'rm -rf "$WORK"' EXIT
. "$(dirname "$0")/../checks.sh"

# The programs as a user types them, found on PATH.
PATH="$(dirname "$HOST"):$(dirname "$IMPORT"):$PATH"
set +eu # the completion library is not written for either
. /usr/share/bash-completion/bash_completion
. "$COMPLETIONS/quenfield-export"
. "$COMPLETIONS/quenfield-import"
set -eu

# The candidates for a command line ending at the cursor, one per line.
candidates() {
    local line=$1 function
    COMP_LINE=$line
    COMP_POINT=${#line}
    read -ra COMP_WORDS <<<"$line"
    [[ $line == *" " ]] && COMP_WORDS+=("")
    COMP_CWORD=$((${#COMP_WORDS[@]} - 1))
    COMPREPLY=()
    function=$(complete -p "${COMP_WORDS[0]}" | sed -n 's/.*-F \([^ ]*\) .*/\1/p')
    set +eu
    "$function" "${COMP_WORDS[0]}" "${COMP_WORDS[COMP_CWORD]}" "${COMP_WORDS[COMP_CWORD - 1]}"
    set -eu
    printf '%s\n' "${COMPREPLY[@]}"
}

cd "$WORK"
mkdir folder
touch -- a.tif b.TIFF c.png d.exr "my photo.png" notes.txt MyExport.so g.ppm h.pfm results.json \
    e.jpg f.JPEG i.Jpeg -draft.png results.xml

# command line | offered (comma-separated) | not offered
while IFS='|' read -r line offered absent; do
    [ -n "$line" ] || continue
    got=$(candidates "$line")
    IFS=, read -ra want <<<"$offered"
    for item in "${want[@]}"; do
        grep -qxF -- "$item" <<<"$got" || fail "'$line' does not offer '$item'; it offers: $(paste -sd' ' <<<"$got")"
    done
    IFS=, read -ra unwanted <<<"$absent"
    for item in "${unwanted[@]}"; do
        ! grep -qxF -- "$item" <<<"$got" || fail "'$line' offers '$item'"
    done
done <<'CASES'
quenfield-export |about,register,unregister,validate,a.tif,b.TIFF,c.png,d.exr,my photo.png,e.jpg,f.JPEG,i.Jpeg,folder|notes.txt,MyExport.so,g.ppm,--plugin
quenfield-export -|--plugin,--page,--memory-limit,--|-draft.png,about
quenfield-export --memory-limit |512M,1G|a.tif,about
quenfield-export --memory-limit 2G |a.tif,about|--memory-limit
quenfield-export -- |-draft.png,a.tif,e.jpg,folder|about,validate,notes.txt
quenfield-export -- -d|-draft.png|--plugin
quenfield-export --page 2 |a.tif,about|--page
quenfield-export --page ||a.tif,about
quenfield-export register |--companion|a.tif,validate
quenfield-export register --companion |notes.txt,MyExport.so,folder|--companion
quenfield-export unregister |--help|--companion,a.tif
quenfield-export validate --level |contract,recommended,reference|a.tif,--list
quenfield-export validate --level=r|recommended,reference|contract
quenfield-export validate --level contract |--junit,--jobs|contract
quenfield-export validate --junit |results.xml,folder|results.json,a.tif
quenfield-export validate -j 2 --|--fuzz,--reproduce,--seed|--page
quenfield-export validate -j ||--list,a.tif
quenfield-export validate --seed ||--list,a.tif
quenfield-export validate --fuzz ||--list,a.tif
quenfield-export validate --reproduce ||--list,a.tif
quenfield-export va|validate|about,a.tif
quenfield-export c|c.png|validate
quenfield-export --plugin |MyExport.so,folder|a.tif,about
quenfield-export --plugin=My|MyExport.so|a.tif
quenfield-export --plugin validate |a.tif,about|--list
quenfield-export --plugin MyExport.so validate --|--list,--check,--plugin|--version
quenfield-export a.tif --|--plugin,--version|--list
quenfield-export validate |--list,--check,--json|a.tif,about
quenfield-export validate --json |results.json,folder|a.tif,null-result
quenfield-export validate --check |entry-point-exported,null-result,unknown-selectors|--list,a.tif
quenfield-export validate --check g|globals-host-handles|[recommended],[reference]
quenfield-export validate --check |null-result|[recommended],[contract]
quenfield-export validate --check null-result n|null-param-block,null-data-slot|entry-point-exported
quenfield-export validate --check null-result --json |results.json|null-result
quenfield-export validate --check null-result --l|--list|null-result
quenfield-export validate --timeout ||--list,a.tif
quenfield-export about |--help|--plugin,a.tif,validate
quenfield-import |g.ppm,h.pfm,folder|a.tif,c.png,--to
quenfield-import --to |folder|g.ppm,h.pfm
quenfield-import --to folder -|--help,--version|g.ppm
CASES

# Every option the programs list, offered after its command.
for program in "$HOST" "$IMPORT"; do
    name=$(basename "$program")
    while IFS='|' read -r command option; do
        candidates "$name ${command:+$command }-" | grep -qxF -- "$option" ||
            fail "the completion of $name${command:+ $command} does not offer $option (listed by its --help)"
    done < <(help_options "$program")
done

finish
