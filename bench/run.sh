#!/bin/sh
# The benchmark command: builds the release configuration, then measures
#   1. the conversion loop against memcpy of the same output bytes,
#   2. the fixed cost of a 1 x 1 export from a host holding 0, 1 and 4 GB of touched memory, then whole
#      exports through the module, companion started, the whole document served in place, against the write
#      floor and a read+write floor,
#   3. the reference host on a TIFF against ImageMagick on the same file, with peak memory of both.
# Figures from one run are comparable with each other only.
set -eu
cd "$(dirname "$0")/.."
sh scripts/install-deps.sh

build=build/release
cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build "$build" -j "$(nproc)" >/dev/null

work=$(mktemp -d /var/tmp/quenfield-bench-XXXXXX)
trap 'rm -rf "$work"' EXIT
trap 'exit 130' INT TERM

echo "== conversion loop against memcpy"
echo "(A \"Library was built as DEBUG\" warning concerns Debian's build of the benchmark library, not this"
echo "project's code, which is built here as Release.)"
"$build/bench/convert_bench" --benchmark_min_time=0.2

echo
echo "== whole exports against the write and read+write floors"
"$build/bench/export_bench" --folder "$work"

echo
echo "== reference host against ImageMagick, 8000 x 6000 16-bit RGB TIFF"
convert -size 8000x6000 gradient:red-blue -depth 16 -define tiff:rows-per-strip=16 "$work/in.tif"
mkdir -p "$work/xdg/applications"
printf '[Desktop Entry]\nType=Application\nName=Idle companion\nExec=true %%f\n' \
    >"$work/xdg/applications/com.quenfield.Quenfield.desktop"
cat "$work/in.tif" >/dev/null # both sides read from the page cache

# Wall time to the nanosecond around GNU time, whose own figure has only hundredths of a second; its peak
# memory is kept.
measure() { # label, command...
    label=$1
    shift
    start=$(date +%s%N)
    if ! /usr/bin/time -f "%M" -o "$work/time" "$@" >"$work/output" 2>&1; then
        echo "$label failed:" >&2
        cat "$work/output" >&2
        exit 1
    fi
    end=$(date +%s%N)
    read -r kilobytes <"$work/time"
    echo "$label $(((end - start) / 1000000)) $kilobytes" >>"$work/times"
}

# Alternating, each side's previous output removed before it runs, outside the clock.
for run in 1 2 3 4 5; do
    rm -f "$work/QuenfieldImport/in.ppm"
    # The host's environment set in a subshell rather than through env(1), whose start would be timed too.
    (
        export TMPDIR="$work" XDG_DATA_HOME="$work/xdg" XDG_DATA_DIRS="$work/xdg"
        measure host "$build/host/quenfield-export" "$work/in.tif"
    )
    rm -f "$work/out.ppm"
    measure convert convert "$work/in.tif" -depth 16 "$work/out.ppm"
done
awk '
    {
        t[$1] = t[$1] " " $2
        m[$1] = ($3 > m[$1] ? $3 : m[$1])
        if (!($1 in best) || $2 < best[$1]) best[$1] = $2
    }
    function median(list,   n, v, i, j, x) {
        n = split(list, v, " ")
        for (i = 1; i <= n; i++) for (j = i + 1; j <= n; j++) if (v[j] < v[i]) { x = v[i]; v[i] = v[j]; v[j] = x }
        return v[int((n + 1) / 2)]
    }
    END {
        h = median(t["host"]); c = median(t["convert"])
        printf "quenfield-export %6.3f s  peak %5.0f MB\n", h / 1000, m["host"] / 1024
        printf "convert          %6.3f s  peak %5.0f MB\n", c / 1000, m["convert"] / 1024
        printf "runs in ms, alternating: quenfield-export%s; convert%s\n", t["host"], t["convert"]
        printf "quenfield-export is %.1fx faster (medians), %.1fx (best times)\n", c / h, best["convert"] / best["host"]
    }' "$work/times"
