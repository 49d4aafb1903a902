#!/bin/sh
# Installs the Debian packages the build, the tests and the reference tools need; does nothing when all are
# there. Needs root (or sudo) only when something is missing.
set -eu

PACKAGES="
    g++ cmake make pkg-config
    clang libclang-rt-14-dev
    libgtest-dev libgmock-dev libbenchmark-dev
    libglib2.0-dev dbus-daemon
    libtiff-dev libpng-dev libopenexr-dev libcli11-dev
    tmux netpbm imagemagick libtiff-tools time
    gimp libgimp2.0-dev
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
export DEBIAN_FRONTEND=noninteractive
$SUDO apt-get update -qq
# shellcheck disable=SC2086
$SUDO apt-get install -y -qq --no-install-recommends $missing >/dev/null
