#!/bin/sh
# Runs a Windows executable under Wine with a project-owned prefix and a
# display. Used as CMAKE_CROSSCOMPILING_EMULATOR by ctest.
here=$(cd "$(dirname "$0")" && pwd)
. "$here/wine-env.sh"
case " $* " in
*" --gtest_list_tests "*)
    # Test discovery: ctest reads the list before running anything, and one
    # failed listing aborts the whole run. A listing never fails on its own,
    # so a failure or an empty answer is Wine's (seen once on a fresh CI
    # machine): ask again.
    for attempt in 1 2 3; do
        out=$(wine "$@" </dev/null)
        rc=$?
        if [ $rc -eq 0 ] && [ -n "$out" ]; then
            printf '%s\n' "$out"
            exit 0
        fi
        echo "wine-run: listing the tests of $1 failed (exit $rc, attempt $attempt)" >&2
        sleep $attempt
    done
    printf '%s\n' "$out"
    exit $rc
    ;;
esac
exec wine "$@"
