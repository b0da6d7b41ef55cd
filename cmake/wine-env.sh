# Sourced: prepares Xvfb, the Wine prefix and a warm wineserver.
# Environment: QVR_WINEPREFIX (default build/win/wineprefix), QVR_DISPLAY (default :71),
# QVR_WINE_MANAGED=1 for a prefix whose windows the desktop's window manager
# decorates and manages (scripts/run.sh); the tests' prefix has undecorated,
# unmanaged windows, which suit Xvfb.
root=$(cd "$(dirname "$0")/.." && pwd)
export WINEPREFIX="${QVR_WINEPREFIX:-$root/build/win/wineprefix}"
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml="
export DISPLAY="${QVR_DISPLAY:-${DISPLAY_OVERRIDE:-:71}}"
dispnum=${DISPLAY#:}
if ! xdpyinfo -display "$DISPLAY" >/dev/null 2>&1; then
    # Start our own Xvfb; a lock keeps parallel tests from racing.  The
    # screen holds the main window at 144 dpi (about 1360 x 860 pixels).
    (
        flock 9
        if ! xdpyinfo -display "$DISPLAY" >/dev/null 2>&1; then
            rm -f "/tmp/.X${dispnum}-lock"
            nohup Xvfb "$DISPLAY" -screen 0 1600x1200x24 -nolisten tcp >/dev/null 2>&1 9>&- &
            i=0
            while ! xdpyinfo -display "$DISPLAY" >/dev/null 2>&1 && [ $i -lt 100 ]; do sleep 0.1; i=$((i+1)); done
        fi
    ) 9>"/tmp/qvr-xvfb-$dispnum.lock"
fi
(
    flock 9
    if [ ! -f "$WINEPREFIX/.qvr-ready" ]; then
        mkdir -p "$WINEPREFIX"
        wineboot -i </dev/null >/dev/null 2>&1 9>&-
        wineserver -w 9>&-
        mkdir -p "$WINEPREFIX/drive_c/windows/Fonts"
        cp /usr/share/wine/fonts/* "$WINEPREFIX/drive_c/windows/Fonts/" 2>/dev/null
        if [ "${QVR_WINE_MANAGED:-0}" != 1 ]; then
            wine reg add 'HKCU\Software\Wine\X11 Driver' /v Decorated /t REG_SZ /d N /f </dev/null >/dev/null 2>&1 9>&-
            wine reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /t REG_SZ /d N /f </dev/null >/dev/null 2>&1 9>&-
        fi
        wineserver -w 9>&-
        touch "$WINEPREFIX/.qvr-ready"
    fi
    # A persistent, warm wineserver keeps Wine's services off our output pipes.
    # (9>&-: started processes must not inherit the lock.)
    wineserver -p60 </dev/null >/dev/null 2>&1 9>&-
    wine wineboot </dev/null >/dev/null 2>&1 9>&-
) 9>"$WINEPREFIX.lock"
