#!/bin/sh
# The program's tcp: link against a qvr500-sim at wire timing, beside a plain
# native client of the same simulator in the same run (figures, not a test):
#   scripts/linkbench-tcp.sh [requests] [--timeline FILE]
# Runs qvr500-linkclient (native), qvr500-linkbench.exe --tcp and
# readback_bench.exe with the tcp: entry, one after the other against one
# simulator.  Needs both trees built (qvr500-sim and qvr500-linkclient in
# build/native, the two benchmarks in build/win).  QVR_DISPLAY and
# QVR_WINEPREFIX as for cmake/wine-run.sh; QVR_LINKBENCH and QVR_READBACK
# name other builds of the two benchmarks (to compare).  The processor time
# that the prefix's wineserver spent during the linkbench run is printed per
# request too: every Winsock call and every event of the link is a round
# trip to that server, and unlike the rates this hardly changes when other
# programs load the machine.
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
prefix=${QVR_WINEPREFIX:-$win/wineprefix}
server_dir=$(printf 'server-%x-%x' "$(stat -c %d "$prefix")" "$(stat -c %i "$prefix")")
server_ticks() { # utime + stime of the prefix's wineserver, in clock ticks
    for pid in $(pgrep wineserver 2>/dev/null); do
        case "$(readlink "/proc/$pid/cwd" 2>/dev/null)" in
        */"$server_dir") awk '{ print $14 + $15 }' "/proc/$pid/stat"; return ;;
        esac
    done
    echo 0
}
"$native/bench/core/qvr500-linkclient" "127.0.0.1:$port" "$requests"
"$here/cmake/wine-run.sh" cmd /c exit 0 >/dev/null 2>&1 || true # a warm server to measure
before=$(server_ticks)
"$here/cmake/wine-run.sh" "${QVR_LINKBENCH:-$win/tools/linkbench/qvr500-linkbench.exe}" --requests "$requests" \
    --floor-requests 0 --tcp "127.0.0.1:$port" "$@"
after=$(server_ticks)
awk -v t=$((after - before)) -v hz="$(getconf CLK_TCK)" -v n="$requests" \
    'BEGIN { printf "wineserver_cpu_us_per_request=%.1f\n", 1e6 * t / hz / n }'
"$here/cmake/wine-run.sh" "${QVR_READBACK:-$win/bench/win/readback_bench.exe}" "tcp:127.0.0.1:$port"
