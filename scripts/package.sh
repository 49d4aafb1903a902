#!/bin/sh
# Builds the Debian package build/quenfield_<version>_<arch>.deb from the normal build (configured for /usr, as
# scripts/test.sh configures it, so the two share one tree) and checks it with lintian, which must report no
# error or warning. Install it with: sudo apt-get install ./build/quenfield_<version>_<arch>.deb
set -eu
cd "$(dirname "$0")/.."
sh scripts/install-deps.sh

dir=build/normal
cmake -S . -B "$dir" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_INSTALL_PREFIX=/usr >/dev/null
cmake --build "$dir" -j "$(nproc 2>/dev/null || echo 2)"
out=build/package
rm -rf "$out"
cpack -G DEB -B "$out" --config "$dir/CPackConfig.cmake" >"$dir/cpack.log" 2>&1 || {
    tail -n 30 "$dir/cpack.log" >&2
    echo "package: cpack failed; the whole log is $dir/cpack.log" >&2
    exit 1
}
rm -f build/quenfield_*.deb
mv "$out"/quenfield_*.deb build/
rm -rf "$out"
deb=$(ls build/quenfield_*.deb)
status=0
report=$(lintian --fail-on error,warning "$deb" 2>&1) || status=$?
# lintian's note on running as root is not about the package.
printf '%s\n' "$report" | grep -v "running with root privileges" || true
if [ "$status" -ne 0 ]; then
    echo "package: lintian found errors or warnings in $deb" >&2
    exit 1
fi
echo "Built $deb ($(du -k "$deb" | cut -f1) KiB); install it with: sudo apt-get install ./$deb"
