#!/bin/bash
# The build installed as a package lays it out: each file where the ecosystem looks for it, the host finding
# the plug-in from wherever the tree was installed, and a host author compiling against the installed
# interface header through pkg-config.
# Usage: install_layout.sh BUILD-FOLDER VERSION BINDIR LIBDIR INCLUDEDIR DATADIR MANDIR [GIMP-PLUGIN-DIR
# [PYTHON-DIR PYTHON-EXTENSION KRITA-PLUGIN-DIR]] (full install paths; GIMP's empty when the GIMP bridge is not
# built, Python's and Krita's when the Python module is not)
set -eu
BUILD=$1 VERSION=$2 BINDIR=$3 LIBDIR=$4 INCLUDEDIR=$5 DATADIR=$6 MANDIR=$7 GIMPDIR=${8:-} PYTHONDIR=${9:-}
EXTENSION=${10:-} KRITADIR=${11:-}
WORK=$(mktemp -d "${TMPDIR:-/tmp}/quenfield-layout.XXXXXX")
trap 'rm -rf "$WORK"' EXIT
. "$(dirname "$0")/../checks.sh"

# Installed under a staging root, as a package build does.
STAGE="$WORK/stage"
DESTDIR="$STAGE" cmake --install "$BUILD" >"$WORK/install.log" || {
    cat "$WORK/install.log"
    exit 1
}

# path | test(1) operator | mode (octal, empty: not checked)
LAYOUT="
$BINDIR/quenfield-export|-x|755
$BINDIR/quenfield-import|-x|755
$LIBDIR/quenfield/QuenfieldExport.so|-f|
$LIBDIR/quenfield/quenfield-launch|-x|755
$INCLUDEDIR/quenfield/ExportInterface.h|-f|644
$LIBDIR/pkgconfig/quenfield-export.pc|-f|644
$DATADIR/applications/com.quenfield.Quenfield.desktop|-f|644
$MANDIR/man1/quenfield-export.1.gz|-f|644
$MANDIR/man1/quenfield-import.1.gz|-f|644
$DATADIR/bash-completion/completions/quenfield-export|-f|644
$DATADIR/bash-completion/completions/quenfield-import|-f|644
$DATADIR/doc/quenfield/copyright|-f|644
$DATADIR/doc/quenfield/changelog.gz|-f|644
"
# GIMP finds a plug-in in a folder of the program's own name.
BRIDGE=${GIMPDIR:+$GIMPDIR/quenfield-gimp/quenfield-gimp}
[ -z "$BRIDGE" ] || LAYOUT+="$BRIDGE|-x|755
"
[ -z "$PYTHONDIR" ] || LAYOUT+="$PYTHONDIR/quenfield/__init__.py|-f|644
$PYTHONDIR/quenfield/$EXTENSION|-f|
$KRITADIR/quenfield_send.desktop|-f|644
$KRITADIR/quenfield_send/__init__.py|-f|644
$KRITADIR/quenfield_send/send.py|-f|644
$KRITADIR/quenfield_send/paths.py|-f|644
"
while IFS='|' read -r path kind mode; do
    [ -n "$path" ] || continue
    test "$kind" "$STAGE$path" || fail "$path is missing or not as expected ($kind)"
    if [ -n "$mode" ] && [ -e "$STAGE$path" ]; then
        [ "$(stat -c %a "$STAGE$path")" = "$mode" ] || fail "$path has mode $(stat -c %a "$STAGE$path"), not $mode"
    fi
done <<<"$LAYOUT"

# Nothing else is installed, so nothing reaches the package unnoticed: a new file belongs in the table.
unexpected=$(comm -13 <(cut -d'|' -f1 <<<"$LAYOUT" | sed '/^$/d' | sort) <(cd "$STAGE" && find . ! -type d | sed 's/^\.//' | sort))
[ -z "$unexpected" ] || fail "installed but not in the expected layout: $unexpected"

# Compressed without a name or time stamp, so that two builds give the same bytes.
for file in "$MANDIR/man1/quenfield-export.1.gz" "$DATADIR/doc/quenfield/changelog.gz"; do
    gzip -t "$STAGE$file" || fail "$file is no valid gzip file"
    [ "$(od -An -tu4 -j4 -N4 "$STAGE$file" | tr -d ' ')" = 0 ] || fail "$file has a time stamp"
done

# The host finds the plug-in relative to itself: the staged copy loads the staged plug-in.
default=$("$STAGE$BINDIR/quenfield-export" --help | sed -n 's/^ *--plugin [A-Z]*=\([^ ]*\).*/\1/p')
[ "$default" = "$STAGE$LIBDIR/quenfield/QuenfieldExport.so" ] ||
    fail "the installed host's default plug-in is '$default', not the installed one"

# The bridge cannot go by its own place (GIMP starts it from its plug-in folder): it names the installed
# plug-in.
if [ -n "$BRIDGE" ] && [ -f "$STAGE$BRIDGE" ]; then
    grep -qaF "$LIBDIR/quenfield/QuenfieldExport.so" "$STAGE$BRIDGE" ||
        fail "the installed GIMP bridge does not look for the plug-in in $LIBDIR/quenfield"
fi

# So does the Python module, which loads from the installed folder.
if [ -n "$PYTHONDIR" ]; then
    grep -qaF "$LIBDIR/quenfield/QuenfieldExport.so" "$STAGE$PYTHONDIR/quenfield/$EXTENSION" ||
        fail "the installed Python module does not look for the plug-in in $LIBDIR/quenfield"
    PYTHONPATH="$STAGE$PYTHONDIR" /usr/bin/python3 -c 'import quenfield' ||
        fail "the installed Python module cannot be imported"
    # The Krita plug-in finds the module there also when Python does not look there (a prefix of ~/.local).
    grep -qF "\"$PYTHONDIR\"" "$STAGE$KRITADIR/quenfield_send/paths.py" ||
        fail "the installed Krita plug-in does not look for the Python module in $PYTHONDIR"
fi

# A host author's view.
export PKG_CONFIG_PATH="$STAGE$LIBDIR/pkgconfig" PKG_CONFIG_SYSROOT_DIR="$STAGE"
[ "$(pkg-config --modversion quenfield-export)" = "$VERSION" ] || fail "pkg-config gives another version"
[ "$(pkg-config --variable=plugindir quenfield-export)" = "$STAGE$LIBDIR/quenfield" ] ||
    fail "plugindir is $(pkg-config --variable=plugindir quenfield-export)"
cat >"$WORK/host.c" <<'HOST'
#include "ExportInterface.h"
int main(void) {
    ExportRecord record = {0};
    return (int)sizeof(record) > 0 && exportSelectorStart == 1 ? 0 : 1;
}
HOST
# shellcheck disable=SC2046
cc -std=c11 -Wall -Werror $(pkg-config --cflags quenfield-export) -o "$WORK/host" "$WORK/host.c" ||
    fail "a host does not compile with pkg-config --cflags quenfield-export"

finish
