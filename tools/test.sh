#!/usr/bin/env bash
# Runs every test: the platform-free tests natively under the sanitizers, the
# Windows tests of the 64-bit build under Wine with one wineserver kept alive
# for the whole run, the end-to-end tests of the 32-bit build under 32-bit
# Wine in user-mode emulation (tools/x86-test.sh), and a short smoke of each
# fuzz target.
set -euo pipefail
. "$(dirname "$0")/wine-env.sh"
build=$(realpath "$1")
prefix="$build/x64/wine"
tools/wine-prefix.sh "$prefix"
export WINEPREFIX="$prefix" WINEDEBUG=-all
zur_wineserver_start
trap 'WINEPREFIX="$prefix" "$WINESERVER" -k 2>/dev/null || true' EXIT
# Starts Wine's helper processes with their output away from CTest's pipes.
"$WINE" cmd /c exit </dev/null >/dev/null 2>&1 || true

status=0
echo "== native tests (AddressSanitizer, UndefinedBehaviorSanitizer)"
(cd "$build/native" && ctest --output-on-failure -j "${CTEST_J:-2}") || status=1
echo "== Windows tests (x64 under Wine)"
(cd "$build/x64" && ctest --output-on-failure -j "${CTEST_J:-2}") || status=1
echo "== Windows tests (x86, the release build, under 32-bit Wine in user-mode emulation): end-to-end"
echo "   (the other x86 tests: make test-x86)"
tools/x86-test.sh "$build" end-to-end || status=1
echo "== fuzz smoke (libFuzzer, a few seconds per target)"
tools/fuzz.sh "$build" smoke || status=1
exit $status
