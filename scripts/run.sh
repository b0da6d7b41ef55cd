#!/bin/sh
# Installs what is missing, builds the program and runs it with one
# simulated QVR500 unit attached in the program's own process.
set -eu
root=$(cd "$(dirname "$0")/.." && pwd)
"$root/scripts/setup.sh"
"$root/scripts/build.sh" win
# Use the caller's display when there is one; otherwise our own Xvfb.
if [ -n "${DISPLAY:-}" ] && xdpyinfo >/dev/null 2>&1; then
    export QVR_DISPLAY="$DISPLAY"
else
    echo "run: no display found; running on a virtual display (${QVR_DISPLAY:-:71})"
fi
export QVR500_DEVICES="${QVR500_DEVICES:-sim:unit1:USBXpress Device:SIM00001}"
exec "$root/cmake/wine-run.sh" "$root/build/win/shell/QVR500.exe" "$@"
