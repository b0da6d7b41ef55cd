#!/bin/sh
# Configures and builds one tree or both: build.sh [native] [win]
set -eu
cd "$(dirname "$0")/.."
for preset in "$@"; do
    [ -f "build/$preset/CMakeCache.txt" ] || cmake --preset "$preset" >/dev/null
    cmake --build --preset "$preset" -j "$(nproc)"
done
