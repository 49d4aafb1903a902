#!/bin/sh
# The main job on this machine: installs what is missing, builds, registers the reference companion for this
# run only and exports the built-in sample (a 16-bit RGB image with alpha) through the plug-in, ending with
# the companion's imported TIFF.
#
# It writes only inside the checkout, and nothing of the user's own desktop is touched: everything is installed
# into a build-local prefix that serves as XDG_DATA_HOME for this run (the companion's desktop entry too), the
# export goes to a build-local temporary folder, the import to a build-local pictures folder, the companion's
# log to a build-local state folder.
set -eu
cd "$(dirname "$0")/.."
root=$PWD
build="$root/build/normal"
stage="$build/stage"
pictures="$build/sample-pictures"
state="$build/sample-state"
tmp="$build/sample-tmp"
sample="samples/sunset.png"
log="$build/run-sample.log"

sh scripts/install-deps.sh

echo "Building in build/normal ..."
mkdir -p "$build"
if ! { cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo &&
    cmake --build "$build" -j "$(nproc)" &&
    cmake --install "$build" --prefix "$stage"; } >"$log" 2>&1; then
    tail -n 30 "$log" >&2
    echo "run-sample: the build failed; the whole log is $log" >&2
    exit 1
fi

# The plug-in finds the companion through its desktop entry in the XDG data folders, and the entry names the
# program, which is looked up on PATH.
XDG_DATA_HOME="$stage/share"
XDG_PICTURES_DIR="$pictures"
XDG_STATE_HOME="$state"
TMPDIR="$tmp"
PATH="$stage/bin:$PATH"
export XDG_DATA_HOME XDG_PICTURES_DIR XDG_STATE_HOME TMPDIR PATH
# The plug-in takes a temporary folder only when nobody else can write to it.
mkdir -p "$tmp"
chmod 700 "$tmp"
imported="$pictures/Quenfield/sunset.tif"
importlog="$state/quenfield/quenfield-import.log"
rm -f "$pictures"/Quenfield/sunset*.tif
logged=$(cat "$importlog" 2>/dev/null | wc -l)

echo "Exporting samples/sunset.png through the plug-in ..."
if ! quenfield-export "$sample"; then
    echo "run-sample: the export did not succeed" >&2
    exit 1
fi

# The companion runs on its own once started; its TIFF appears complete, under its final name, and its log
# line follows.
waited=0
while ! tail -n +$((logged + 1)) "$importlog" 2>/dev/null | grep -qF "as $imported"; do
    if [ $waited -ge 300 ]; then
        echo "run-sample: the companion imported nothing within 30 s" >&2
        exit 1
    fi
    sleep 0.1
    waited=$((waited + 1))
done
echo "Done: the plug-in exported the sample and the companion imported it as ${imported#"$root"/}"
