#!/bin/sh
# The test command: installs what is missing, builds the normal and the sanitizer configuration, and runs the
# whole suite in both.
set -eu
cd "$(dirname "$0")/.."
sh scripts/install-deps.sh

jobs=$(nproc 2>/dev/null || echo 2)
status=0
for config in normal sanitize; do
    dir="build/$config"
    if [ "$config" = sanitize ]; then
        cmake -S . -B "$dir" -DCMAKE_BUILD_TYPE=Debug -DQUENFIELD_SANITIZE=ON >/dev/null
    else
        cmake -S . -B "$dir" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_INSTALL_PREFIX=/usr >/dev/null
    fi
    cmake --build "$dir" -j "$jobs"
    echo "== $config suite"
    (cd "$dir" && ctest --output-on-failure -j "$jobs") || status=1
done
exit $status
