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
*" --gtest_filter="*)
    # One test: a GoogleTest program always prints before it runs anything,
    # so an exit without a single byte of output means Wine did not start it
    # (seen on a loaded machine): run it again.  A test that ran and failed
    # is never repeated.
    for attempt in 1 2 3; do
        out=$(wine "$@" </dev/null 2>&1)
        rc=$?
        if [ -n "$out" ] || [ $rc -eq 0 ]; then
            printf '%s\n' "$out"
            exit $rc
        fi
        echo "wine-run: $1 did not start (exit $rc, no output, attempt $attempt)" >&2
        sleep $attempt
    done
    exit $rc
    ;;
esac
exec wine "$@"
