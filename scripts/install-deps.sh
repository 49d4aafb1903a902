#!/bin/sh
# Installs the Debian packages the build, the tests and the reference tools need; does nothing when all are
# there. Needs root (or sudo) only when something is missing.
set -eu

PACKAGES="
    g++ cmake make pkg-config
    clang libclang-rt-14-dev gcc-multilib g++-multilib
    libgtest-dev libgmock-dev libbenchmark-dev
    libglib2.0-dev dbus-daemon dbus-bin libxml2-utils locales
    libtiff-dev libpng-dev libjpeg-dev libopenexr-dev libcli11-dev
    tmux netpbm imagemagick libtiff-tools libjpeg-turbo-progs time
    dpkg-dev file lintian desktop-file-utils groff-base man-db bsdextrautils bash-completion
    debhelper autopkgtest diffoscope-minimal git
    python3-dev pybind11-dev python3-numpy dh-python
    libx11-dev libcairo2-dev xvfb xdotool x11-utils fonts-dejavu-core
    gimp libgimp2.0-dev procps
    krita python3-pyqt5
"

missing=""
for package in $PACKAGES; do
    if ! dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "install ok installed"; then
        missing="$missing $package"
    fi
done
[ -z "$missing" ] && exit 0

echo "Installing:$missing" >&2
SUDO=""
if [ "$(id -u)" -ne 0 ]; then
    SUDO="sudo"
fi
# apt and debconf talk on both streams even when all goes well (debconf about its frontend and apt-utils):
# their words are shown only when a step fails.
log=$(mktemp)
trap 'rm -f "$log"' EXIT
quietly() {
    if ! "$@" >"$log" 2>&1; then
        cat "$log" >&2
        echo "install-deps: failed: $*" >&2
        exit 1
    fi
}
export DEBIAN_FRONTEND=noninteractive
quietly $SUDO apt-get update
# shellcheck disable=SC2086
quietly $SUDO env DEBIAN_FRONTEND=noninteractive apt-get install -y --no-install-recommends $missing
