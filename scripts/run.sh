#!/bin/sh
# Installs what is missing, builds the program and runs it with one
# simulated QVR500 unit attached in the program's own process.
set -eu
root=$(cd "$(dirname "$0")/.." && pwd)
"$root/scripts/setup.sh"
# Only the program: the tests are built by test.sh.
[ -f "$root/build/win/CMakeCache.txt" ] || cmake -S "$root" --preset win >/dev/null
cmake --build "$root/build/win" --target QVR500 -j "$(nproc)"
# Use the caller's display when there is one; otherwise our own Xvfb.
if [ -n "${DISPLAY:-}" ] && xdpyinfo >/dev/null 2>&1; then
    export QVR_DISPLAY="$DISPLAY"
else
    echo "run: no display found; running on a virtual display (${QVR_DISPLAY:-:71})"
fi
export QVR500_DEVICES="${QVR500_DEVICES:-sim:unit1:USBXpress Device:SIM00001}"
exec "$root/cmake/wine-run.sh" "$root/build/win/shell/QVR500.exe" "$@"
