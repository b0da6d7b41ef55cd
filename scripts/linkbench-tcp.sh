#!/bin/sh
# The program's tcp: link against a qvr500-sim at wire timing, beside a plain
# native client of the same simulator in the same run (figures, not a test):
#   scripts/linkbench-tcp.sh [requests] [--timeline FILE]
# Needs both trees built (qvr500-sim and qvr500-linkclient in build/native,
# qvr500-linkbench.exe in build/win).  QVR_DISPLAY and QVR_WINEPREFIX as for
# cmake/wine-run.sh.
set -eu
here=$(cd "$(dirname "$0")/.." && pwd)
native=${QVR_NATIVE_BUILD_DIR:-$here/build/native}
win=${QVR_BUILD_DIR:-$here/build/win}
requests=${1:-1800}
[ $# -gt 0 ] && shift
out=$(mktemp)
"$native/sim/qvr500-sim" --tcp 127.0.0.1:0 >"$out" 2>/dev/null &
sim=$!
trap 'kill $sim 2>/dev/null; rm -f "$out"' EXIT
while ! grep -q '^ready' "$out"; do sleep 0.05; done
port=$(sed -n 's/^link tcp \([0-9]*\)$/\1/p' "$out")
"$native/bench/core/qvr500-linkclient" "127.0.0.1:$port" "$requests"
"$here/cmake/wine-run.sh" "${QVR_LINKBENCH:-$win/tools/linkbench/qvr500-linkbench.exe}" --requests "$requests" --tcp "127.0.0.1:$port" "$@"
