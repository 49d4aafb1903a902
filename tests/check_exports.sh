#!/bin/sh
# The module's dynamic symbol table must define PluginMain and nothing else of ours.
set -eu
defined=$(nm -D --defined-only "$1" | awk '{print $NF}' | sort)
if [ "$defined" != "PluginMain" ]; then
    echo "expected only PluginMain, the module defines:" >&2
    echo "$defined" >&2
    exit 1
fi
echo "PluginMain is the only exported symbol"
