#!/bin/sh
# Builds the editor's picture tool, runs it under Wine on a virtual display
# and writes docs/editor-triamp.png, docs/editor-biamp.png,
# docs/editor-subwoofer.png and docs/editor-sum*.png (the summed response).
# Usage: tests/editor/screenshots.sh [BUILDDIR]
top=$(cd "$(dirname "$0")/../.." && pwd)
build=$(cd "${1:-$top/build/win}" && pwd) || exit 1
cmake --build "$build" --target editor_screenshots || exit 1
out=$(mktemp -d)
# wine-env.sh finds the tree from $0, which is this script when sourced here.
export QVR_WINEPREFIX="${QVR_WINEPREFIX:-$build/wineprefix}"
. "$top/cmake/wine-env.sh"
wine "$build/tests/editor/editor_screenshots.exe" "$(winepath -w "$out")" || exit 1
for name in triamp biamp subwoofer sum sum-phase sum-inverted; do
    convert "$out/editor-$name.bmp" "$top/docs/editor-$name.png" || exit 1
done
rm -rf "$out"
ls -l "$top"/docs/editor-*.png
