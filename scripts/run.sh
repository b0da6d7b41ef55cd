#!/bin/sh
# Installs what is missing, builds the program and runs it with one
# simulated QVR500 unit attached in the program's own process.
#
# The program gets a Wine prefix of its own (build/win/wineprefix-run) with
# the desktop's normal window management, and, without a display, a virtual
# display of its own (:75): the tests' prefix and display (:71) are set up for
# unattended runs and the tests close any frame they find there.
set -eu
root=$(cd "$(dirname "$0")/.." && pwd)
"$root/scripts/setup.sh"
# Only the program: the tests are built by test.sh.
[ -f "$root/build/win/CMakeCache.txt" ] || cmake -S "$root" --preset win >/dev/null
cmake --build "$root/build/win" --target QVR500 -j "$(nproc)"
export QVR_WINEPREFIX="${QVR_RUN_WINEPREFIX:-$root/build/win/wineprefix-run}"
export QVR_WINE_MANAGED=1
# Use the caller's display when there is one; otherwise our own Xvfb.
if [ -n "${DISPLAY:-}" ] && xdpyinfo >/dev/null 2>&1; then
    export QVR_DISPLAY="$DISPLAY"
else
    export QVR_DISPLAY="${QVR_RUN_DISPLAY:-:75}"
    cat <<EOT
run: no display found; the program runs on the virtual display $QVR_DISPLAY. To look at it:
  a screenshot:  import -display $QVR_DISPLAY -window root shot.png
  live, by VNC:  x11vnc -display $QVR_DISPLAY -localhost -forever &   then a VNC viewer on localhost:5900
                 (from another machine: ssh -L 5900:localhost:5900 this-machine, then localhost:5900 there)
EOT
fi
export QVR500_DEVICES="${QVR500_DEVICES:-sim:unit1:USBXpress Device:SIM00001}"
exec "$root/cmake/wine-run.sh" "$root/build/win/shell/QVR500.exe" "$@"
