#!/bin/sh
# Runs a Windows executable under Wine with a project-owned prefix and a
# display. Used as CMAKE_CROSSCOMPILING_EMULATOR by ctest.
here=$(cd "$(dirname "$0")" && pwd)
. "$here/wine-env.sh"
exec wine "$@"
