#!/bin/sh
# Installs whatever this project needs that is missing (Debian 12).
set -eu
PACKAGES="cmake ninja-build g++ clang libclang-rt-14-dev googletest libgtest-dev libgmock-dev libbenchmark-dev
wine wine64 g++-mingw-w64-x86-64-posix mingw-w64-tools binutils-mingw-w64-x86-64
xvfb xauth x11-utils xdotool x11vnc fonts-wine fonts-liberation imagemagick python3 util-linux procps
nsis chromium libeigen3-dev nlohmann-json3-dev"
missing=""
for p in $PACKAGES; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing="$missing $p"
done
if [ -n "$missing" ]; then
    echo "setup: installing$missing"
    SUDO=""
    [ "$(id -u)" -eq 0 ] || SUDO="sudo"
    $SUDO apt-get update -qq
    DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq --no-install-recommends $missing >/dev/null
fi
