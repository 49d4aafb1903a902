#!/bin/bash
# The Debian package as a user meets it: built from this tree, lintian-clean, installed with apt-get, the
# installed quenfield-export run on the sample with a fresh home folder (the companion found through the
# package's desktop entry), its man page and completion in place, then purged without a trace.
#
# It changes the machine (files in /usr, a system-wide desktop entry), so it runs only as root, one run at a
# time across all build trees (a lock under /tmp), and purges the package on every way out. A quenfield
# package that this test did not install is left alone: the test skips.
# Usage: installed_package.sh SOURCE-FOLDER BUILD-FOLDER INSTALL-PREFIX [GIMP-PLUGIN-DIR]
# (the last one empty or absent when the GIMP bridge is not built)
set -eu
SOURCE=$1 BUILD=$2 PREFIX=$3 GIMPDIR=${4:-}
SKIP=77
LOCK=/tmp/quenfield-package-test.lock
# A folder of root's, present while the package installed by a run of this test may be on the machine.
MARK=/tmp/quenfield-package-test.installed

if [ "$(id -u)" -ne 0 ]; then
    echo "SKIPPED: installing the package needs root (apt-get install); run the suite as root to test it"
    exit $SKIP
fi
if [ "$PREFIX" != /usr ]; then
    echo "SKIPPED: this tree installs into $PREFIX; a package is built from a tree configured with" \
        "-DCMAKE_INSTALL_PREFIX=/usr (as scripts/test.sh and scripts/package.sh do)"
    exit $SKIP
fi

# /tmp is everyone's: neither file is trusted through a link or when someone else made it.
ours() {
    [ ! -L "$1" ] && [ -e "$1" ] && [ "$(stat -c %u "$1")" = 0 ]
}
if [ -e "$LOCK" ] || [ -L "$LOCK" ]; then
    ours "$LOCK" || {
        echo "FAIL: $LOCK is a link or not root's" >&2
        exit 1
    }
fi
exec 9>>"$LOCK"
flock -w 900 9 || {
    echo "FAIL: another run of this test held $LOCK for 15 minutes" >&2
    exit 1
}

installed() {
    dpkg-query -W -f='${Status}' quenfield 2>/dev/null | grep -qv "not-installed"
}
apt_get() {
    DEBIAN_FRONTEND=noninteractive apt-get -y -q -o DPkg::Lock::Timeout=300 "$@"
}

if installed && ! ours "$MARK"; then
    echo "SKIPPED: a quenfield package is installed on this machine and was not installed by this test;" \
        "it is left as it is"
    exit $SKIP
fi

purge_ours() {
    if ours "$MARK"; then
        apt_get purge quenfield >&2 || true
        installed || rmdir "$MARK"
    fi
}
# A run that was killed left its package behind: start from a clean machine.
purge_ours
WORK=$(mktemp -d "${TMPDIR:-/tmp}/quenfield-package.XXXXXX")
trap 'purge_ours; rm -rf "$WORK"' EXIT
trap 'exit 1' INT TERM HUP
. "$(dirname "$0")/../checks.sh"
step() {
    echo "== $* ($SECONDS s)"
}

step "packaging $BUILD"
# Readable by apt's unprivileged download user.
chmod 755 "$WORK"
cpack -G DEB -B "$WORK/out" --config "$BUILD/CPackConfig.cmake" >"$WORK/cpack.log" 2>&1 || {
    cat "$WORK/cpack.log"
    exit 1
}
rm -rf "$WORK/out/_CPack_Packages"
cd "$WORK/out"
deb=$(echo quenfield_*_*.deb)
[ -f "$deb" ] || {
    echo "FAIL: no quenfield_<version>_<arch>.deb in $WORK/out: $(ls)" >&2
    exit 1
}
echo "$deb: $(stat -c %s "$deb") bytes"

step "lintian"
lintian --fail-on error,warning "$deb" >"$WORK/lintian.log" 2>&1 || fail "lintian: errors or warnings"
grep -v "running with root privileges" "$WORK/lintian.log" || true

step "apt-get install ./$deb"
mkdir "$MARK"
apt_get install --no-install-recommends "./$deb" >"$WORK/install.log" 2>&1 || {
    cat "$WORK/install.log"
    exit 1
}
# The desktop entry and the man pages refresh the system's indexes through the triggers of the packages
# that keep them.
for index in desktop-file-utils man-db; do
    grep -q "Processing triggers for $index" "$WORK/install.log" || fail "installing did not trigger $index"
done
dpkg -L quenfield >"$WORK/files"
while read -r path; do
    [ -e "$path" ] || fail "dpkg lists $path, which is not on disk"
done <"$WORK/files"

step "quenfield-export on the sample, fresh home folder"
HOMEDIR="$WORK/home"
mkdir -p "$HOMEDIR" "$WORK/tmp"
cp "$SOURCE/samples/sunset.png" "$WORK/sunset.png"
# Nothing of this environment: no XDG folders (the defaults under the fresh home apply, and the companion is
# found in /usr/share), no session bus, only the system's programs.
user() {
    env -i HOME="$HOMEDIR" TMPDIR="$WORK/tmp" PATH=/usr/sbin:/usr/bin:/sbin:/bin LANG=C.UTF-8 "$@"
}
if ! user quenfield-export "$WORK/sunset.png" >"$WORK/export.txt" 2>&1; then
    cat "$WORK/export.txt"
    fail "the installed quenfield-export did not export the sample"
fi
cat "$WORK/export.txt"
imported="$HOMEDIR/Pictures/Quenfield/sunset.tif"
log="$HOMEDIR/.local/state/quenfield/quenfield-import.log"
for _ in $(seq 300); do
    grep -qF "as $imported" "$log" 2>/dev/null && break
    sleep 0.1
done
grep -qF "as $imported" "$log" 2>/dev/null || fail "the companion logged no import of $imported"
if [ -f "$imported" ]; then
    info=$(tiffinfo "$imported" 2>&1)
    for want in "Image Width: 320 Image Length: 200" "Bits/Sample: 16" "Samples/Pixel: 3"; do
        grep -qF "$want" <<<"$info" || fail "the imported TIFF lacks '$want': $info"
    done
else
    fail "no imported TIFF at $imported"
fi

step "man page, completion and pkg-config as installed"
user man -w quenfield-export | grep -qx "$PREFIX/share/man/man1/quenfield-export.1.gz" ||
    fail "man does not find quenfield-export(1)"
user env MANPAGER=cat MANWIDTH=80 man quenfield-import 2>&1 | grep -q "XDG_STATE_HOME" ||
    fail "man quenfield-import does not show the page"
user bash -c '. /usr/share/bash-completion/bash_completion && __load_completion quenfield-export &&
    complete -p quenfield-export' | grep -q _quenfield_export || fail "bash does not load the completion"
plugindir=$(dirname "$(grep /QuenfieldExport.so "$WORK/files")")
if [ -n "$GIMPDIR" ]; then
    grep -qx "$GIMPDIR/quenfield-gimp/quenfield-gimp" "$WORK/files" ||
        fail "the package does not install the GIMP bridge into $GIMPDIR/quenfield-gimp"
    # Without its libraries GIMP could not start the bridge: shlibdeps must have named them.
    dpkg-query -W -f='${Depends}' quenfield | grep -q 'libgimp2\.0' ||
        fail "the package does not depend on libgimp2.0, which the GIMP bridge needs"
fi
[ "$(user pkg-config --variable=plugindir quenfield-export)" = "$plugindir" ] ||
    fail "pkg-config's plugindir is not $plugindir, where the plug-in was installed"

step "apt-get purge quenfield"
apt_get purge quenfield >"$WORK/purge.log" 2>&1 || {
    cat "$WORK/purge.log"
    exit 1
}
if installed; then
    fail "dpkg still knows the package after the purge"
fi
while read -r path; do
    # Folders the package shares with others stay; its own (quenfield, quenfield-gimp) go.
    if [ -d "$path" ] && [ "${path##*/}" != quenfield ] && [ "${path##*/}" != quenfield-gimp ]; then
        continue
    fi
    if [ -e "$path" ]; then
        fail "$path is left after the purge"
    fi
done <"$WORK/files"
rmdir "$MARK"

step "done"
finish
