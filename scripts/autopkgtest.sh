#!/bin/sh
# Runs debian/tests with autopkgtest against the packages in DEST (default build/packages, as
# scripts/package.sh leaves them) in a throwaway testbed: the null runner inside a copy-on-write view of /
# (an overlay whose changes go to a tmpfs) in a private mount namespace. The packages are installed in that
# view only; when it ends, the machine is as it was. Needs root; the log goes to DEST/autopkgtest.
#   scripts/autopkgtest.sh [DEST]
set -eu
cd "$(dirname "$0")/.."
root=$PWD
dest=$(cd "${1:-build/packages}" && pwd)
if [ "$(id -u)" -ne 0 ]; then
    echo "autopkgtest: skipped, a private mount namespace needs root (sudo sh scripts/autopkgtest.sh)" >&2
    exit 77
fi
ls "$dest"/quenfield_*.deb >/dev/null

# autopkgtest needs only debian/ of the source (its tests and control), not the build trees beside it.
out="$dest/autopkgtest"
source="$dest/autopkgtest-source/quenfield"
rm -rf "$out" "$source"
mkdir -p "$out" "$source"
cp -r debian "$source/"
testbed="$root/build/testbed"
mkdir -p "$testbed"

started=$(date +%s)
status=0
unshare --mount --propagation private sh -eu -c '
    testbed=$1 dest=$2 source=$3 out=$4
    mount -t tmpfs -o mode=0755 quenfield-testbed "$testbed"
    mkdir "$testbed/upper" "$testbed/work" "$testbed/root"
    mount -t overlay overlay -o "lowerdir=/,upperdir=$testbed/upper,workdir=$testbed/work" "$testbed/root"
    view=$testbed/root
    mount --rbind /dev "$view/dev"
    mount --rbind /proc "$view/proc"
    mount --rbind /sys "$view/sys"
    mount -t tmpfs -o mode=1777 tmpfs "$view/tmp"
    mount -t tmpfs -o mode=0755 tmpfs "$view/run"
    # The packages, the tests and the log are the real folder, also when the checkout is under /tmp (which the
    # view has as a tmpfs of its own): the log outlives the view.
    mkdir -p "$view$dest"
    mount --bind "$dest" "$view$dest"
    chroot "$view" env -u DISPLAY -u DBUS_SESSION_BUS_ADDRESS -u XDG_RUNTIME_DIR TMPDIR=/tmp \
        autopkgtest --output-dir "$out/run" --summary-file "$out/summary" --no-auto-control \
            --no-built-binaries "$dest"/*.deb "$source/" -- null
' testbed "$testbed" "$dest" "$source" "$out" >"$out/log" 2>&1 || status=$?
rmdir "$testbed"
rm -rf "$dest/autopkgtest-source"
# Its own summary file: the log's copy of the summary can be garbled where autopkgtest's writers overlap.
cat "$out/summary" 2>/dev/null || true
if [ "$status" -ne 0 ]; then
    tail -n 60 "$out/log" >&2
    echo "autopkgtest: failed (status $status) after $(($(date +%s) - started)) s; the whole log is $out/log" >&2
    exit 1
fi
echo "autopkgtest: passed in $(($(date +%s) - started)) s; the machine's packages are as they were"
