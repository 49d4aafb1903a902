#!/bin/sh
# Builds the Debian packages of debian/ with dpkg-buildpackage, in a copy of this checkout under DEST (default
# build/packages), so that neither the checkout nor its parent folder gets build files; the packages, their
# .buildinfo and .changes land in DEST. lintian (--pedantic, with informational tags) must find nothing that
# debian/*.lintian-overrides does not explain.
# The suite is not run inside the package build (DEB_BUILD_OPTIONS=nocheck): scripts/test.sh runs it in three
# configurations. Set DEB_BUILD_OPTIONS yourself to choose otherwise; QUENFIELD_LINTIAN=no leaves lintian out.
#   scripts/package.sh [DEST]
# Install them with: sudo apt-get install ./build/packages/quenfield_<version>_<arch>.deb (and the others)
set -eu
cd "$(dirname "$0")/.."
root=$PWD
dest=${1:-build/packages}
sh scripts/install-deps.sh

rm -rf "$dest"
tree="$dest/src/quenfield"
mkdir -p "$tree"
tar -cf - --exclude=./build --exclude=./.git --exclude='./obj-*' . | tar -xf - -C "$tree"
log="$dest/build.log"
started=$(date +%s)
echo "Building the Debian packages in $tree ..."
if ! (cd "$tree" && DEB_BUILD_OPTIONS=${DEB_BUILD_OPTIONS-nocheck} dpkg-buildpackage -us -uc -b) >"$log" 2>&1; then
    grep -E "error|Error|warning:" "$log" | tail -n 20 >&2
    echo "package: dpkg-buildpackage failed; the whole log is $log" >&2
    exit 1
fi
mv "$dest"/src/*.deb "$dest"/src/*.buildinfo "$dest"/src/*.changes "$dest/"
rm -rf "$dest/src"
echo "Built in $(($(date +%s) - started)) s: $(cd "$dest" && ls ./*.deb | sed 's|^\./||' | tr '\n' ' ')"

[ "${QUENFIELD_LINTIAN:-yes}" = yes ] || exit 0
changes=$(ls "$dest"/*.changes)
status=0
report=$(lintian --pedantic -I --fail-on error,warning,info,pedantic "$changes" 2>&1) || status=$?
# lintian's note on running as root is not about the packages.
printf '%s\n' "$report" | grep -v "running with root privileges" || true
if [ "$status" -ne 0 ]; then
    echo "package: lintian found tags without an override in $changes" >&2
    exit 1
fi
echo "lintian: clean. Install with: sudo apt-get install$(cd "$dest" && for deb in *.deb; do
    case $deb in *-dbgsym_*) ;; *) printf ' ./%s/%s' "${dest#"$root"/}" "$deb" ;; esac
done)"
