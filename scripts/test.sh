#!/bin/sh
# The test command: installs what is missing, builds the normal and the sanitizer configuration and the normal
# one with clang, and runs the whole suite in all three. Before them, once per checkout rather than per
# configuration: the Debian packages built twice and compared, lintian and autopkgtest (in a throwaway testbed),
# and the first command and the per-user install run as an ordinary user. Nothing is installed on the machine.
set -eu
cd "$(dirname "$0")/.."
sh scripts/install-deps.sh

jobs=$(nproc 2>/dev/null || echo 2)
status=0
# Once per checkout, first, so that the suites' summaries end the log.
echo "== packaging checks"
sh scripts/check-packages.sh || status=1
echo "== as an ordinary user"
user_status=0
sh scripts/check-as-user.sh || user_status=$?
[ $user_status -eq 0 ] || [ $user_status -eq 77 ] || status=1
for config in normal sanitize clang; do
    dir="build/$config"
    case $config in
    sanitize) cmake -S . -B "$dir" -DCMAKE_BUILD_TYPE=Debug -DQUENFIELD_SANITIZE=ON >/dev/null ;;
    clang) CC=clang CXX=clang++ cmake -S . -B "$dir" -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null ;;
    *) cmake -S . -B "$dir" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_INSTALL_PREFIX=/usr >/dev/null ;;
    esac
    cmake --build "$dir" -j "$jobs"
    echo "== $config suite"
    (cd "$dir" && ctest --output-on-failure -j "$jobs") || status=1
done
exit $status
