#!/bin/sh
# The packaging checks of scripts/test.sh: the Debian packages built twice, in two folders, must be byte for
# byte the same (their dates come from debian/changelog); lintian must be clean (scripts/package.sh); and
# autopkgtest must pass in a throwaway testbed (scripts/autopkgtest.sh, as root; skipped otherwise). Nothing
# is installed on this machine. The packages stay in build/packages.
set -eu
cd "$(dirname "$0")/.."
started=$(date +%s)
sh scripts/package.sh build/packages
QUENFIELD_LINTIAN=no sh scripts/package.sh build/packages-again >/dev/null

status=0
for deb in build/packages/*.deb; do
    again="build/packages-again/${deb##*/}"
    if [ ! -f "$again" ]; then
        echo "reproducible: the second build has no ${deb##*/}" >&2
        status=1
    elif ! cmp -s "$deb" "$again"; then
        echo "reproducible: ${deb##*/} differs between the two builds:" >&2
        if command -v diffoscope >/dev/null; then
            diffoscope --text - "$deb" "$again" >&2 || true
        else
            for side in "$deb" "$again"; do
                mkdir -p "$side.x" && dpkg-deb -R "$side" "$side.x"
            done
            diff -r "$deb.x" "$again.x" >&2 || true
            rm -rf "$deb.x" "$again.x"
        fi
        status=1
    fi
done
[ $status -eq 0 ] || exit 1
echo "reproducible: the two builds gave the same bytes ($(ls build/packages/*.deb | wc -l) packages)"
rm -rf build/packages-again

autopkgtest_status=0
sh scripts/autopkgtest.sh build/packages || autopkgtest_status=$?
[ $autopkgtest_status -eq 0 ] || [ $autopkgtest_status -eq 77 ] || exit 1
echo "packaging checks: done in $(($(date +%s) - started)) s"
