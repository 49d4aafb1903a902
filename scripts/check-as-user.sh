#!/bin/sh
# As an ordinary user (nobody, with a home folder of its own; root runs this): the README's first command,
# scripts/run-sample.sh, and then its per-user install (GIMP's bridge into the user's GIMP folder), each on a
# fresh clone of this checkout's commit with the dependencies present. Afterwards no file of that user may
# exist outside the clone and its home folder: nothing else on the machine was written.
# It builds the whole tree once (run-sample) and the installed parts once more (the per-user build), without
# ccache. Skips (status 77) unless run as root.
set -eu
cd "$(dirname "$0")/.."
if [ "$(id -u)" -ne 0 ]; then
    echo "as-user: skipped, switching to another user needs root" >&2
    exit 77
fi
sh scripts/install-deps.sh
started=$(date +%s)
work=$(mktemp -d /tmp/quenfield-as-user.XXXXXX)
trap 'rm -rf "$work"' EXIT
chmod 755 "$work"
home="$work/home"
clone="$work/quenfield"
mkdir "$home" "$home/tmp"
git clone -q --no-hardlinks . "$clone"
chown -R nobody:nogroup "$home" "$clone"
touch "$work/before"

as_user() {
    (cd "$clone" && setpriv --reuid=nobody --regid=nogroup --clear-groups \
        env -i HOME="$home" USER=nobody LOGNAME=nobody TMPDIR="$home/tmp" LANG=C.UTF-8 \
        PATH="$home/.local/bin:/usr/local/bin:/usr/bin:/bin" "$@")
}
fail() {
    echo "as-user: $*" >&2
    exit 1
}

echo "== sh scripts/run-sample.sh, as nobody"
as_user sh scripts/run-sample.sh >"$work/sample.log" 2>&1 || { cat "$work/sample.log"; fail "run-sample.sh failed"; }
tail -n 1 "$work/sample.log"
grep -q "^Done: " "$work/sample.log" || fail "run-sample.sh did not say Done"

echo "== the per-user install of the README, as nobody"
# The README's command, as it stands there.
command=$(sed -n 's/^    \(cmake -S \. -B build\/user .*\)$/\1/p' README.md)
[ -n "$command" ] || fail "no per-user install command (cmake -S . -B build/user ...) in README.md"
as_user sh -c "$command" >"$work/user.log" 2>&1 || { tail -n 30 "$work/user.log"; fail "the per-user install failed"; }
for file in .local/bin/quenfield-export .local/bin/quenfield-import \
    .local/share/applications/com.quenfield.Quenfield.desktop \
    .config/GIMP/2.10/plug-ins/quenfield-gimp/quenfield-gimp; do
    [ -e "$home/$file" ] || fail "the per-user install left no ~/$file"
done
# The installed host exports into the installed companion, found through the user's desktop entry.
cp "$clone/samples/sunset.png" "$home/tmp/sunset.png"
as_user quenfield-export "$home/tmp/sunset.png" || fail "the installed quenfield-export did not export"
tries=0
until grep -qF "as $home/Pictures/Quenfield/sunset.tif" "$home/.local/state/quenfield/quenfield-import.log" 2>/dev/null; do
    tries=$((tries + 1))
    [ $tries -lt 300 ] || fail "the installed companion imported nothing"
    sleep 0.1
done

# Whatever nobody wrote: only in the clone and the home folder. A file of nobody's in a folder nobody cannot
# write to was put there by root (tests running beside this one hand files to nobody), not by this run.
elsewhere=$(find / -xdev \( -path "$work" -o -path /proc \) -prune -o -user nobody -newer "$work/before" -print |
    while read -r path; do
        if setpriv --reuid=nobody --regid=nogroup --clear-groups test -w "${path%/*}"; then
            echo "$path"
        fi
    done)
[ -z "$elsewhere" ] || fail "files written outside the checkout and the home folder: $elsewhere"
echo "as-user: the first command and the per-user install work as nobody, and wrote nothing elsewhere ($(($(date +%s) - started)) s)"
