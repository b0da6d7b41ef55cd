#!/bin/sh
# Installs what is missing, builds both trees and runs every test:
# the portable code natively (ASan + UBSan, fuzzer smoke runs), then the
# whole program under Wine (unit tests, GUI tests, end-to-end tests).
set -u
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
"$root/scripts/setup.sh" || exit 1
"$root/scripts/build.sh" native win || exit 1
status=0
echo "=== native tests ==="
ctest --test-dir build/native --output-on-failure -j 2 || status=1
echo "=== Windows tests under Wine ==="
ctest --test-dir build/win --output-on-failure -j 2 || status=1
exit $status
