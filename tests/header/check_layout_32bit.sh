#!/bin/sh
# Compiles the interface's written-down layout as a 32-bit build (-m32). Skipped (77) when this compiler has
# no 32-bit target or headers.
# Usage: check_layout_32bit.sh C++-COMPILER LAYOUT-SOURCE INTERFACE-FOLDER
set -u
compiler=$1
source=$2
include=$3
if ! printf '#include <cstddef>\n#include <cstdint>\n' | "$compiler" -m32 -std=c++17 -x c++ -c - -o /dev/null 2>/dev/null; then
    echo "skipped: $compiler cannot build -m32 (install gcc-multilib and g++-multilib)"
    exit 77
fi
exec "$compiler" -m32 -std=c++17 -Wall -Wextra -Werror -pedantic -I "$include" -c "$source" -o /dev/null
