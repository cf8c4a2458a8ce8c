#!/usr/bin/env bash
# Runs the Windows tests of the 32-bit build (the release platform) under
# Debian's 32-bit Wine in user-mode emulation, with one wineserver kept
# alive for the whole run:
#   tools/x86-test.sh BUILD_DIR [end-to-end | rest | all]
# end-to-end: the tests that start the driver and the stand-in peers as
# processes (*_process_test); rest: every other one (module tests, control
# libraries, test support, fault campaigns); all (default): both.
# The first run sets up the 32-bit runner (tools/x86-root.sh) and its Wine
# prefix in BUILD_DIR/x86; every 32-bit program runs inside tools/x86-ns.sh.
set -euo pipefail
tools=$(cd "$(dirname "$0")" && pwd)
build=$(realpath "$1")
selection=${2:-all}
case $selection in
  end-to-end) select=(-R '_process_test$') ;;
  rest) select=(-E '_process_test$') ;;
  all) select=() ;;
  *) echo "usage: tools/x86-test.sh BUILD_DIR [end-to-end | rest | all]" >&2; exit 2 ;;
esac
emu="$build/x86/emu"
prefix="$build/x86/wine"
"$tools/x86-root.sh" "$emu"
"$tools/wine-prefix.sh" "$prefix" x86 "$emu"
ZUR_EMU=$emu
. "$tools/x86-env.sh"
export WINEPREFIX="$prefix" WINEDEBUG=-all
zur_wineserver_start
trap 'WINEPREFIX="$prefix" "$WINESERVER" -k 2>/dev/null || true' EXIT
# Starts Wine's helper processes with their output away from CTest's pipes.
"$tools/x86-ns.sh" "$emu" "$WINE" cmd /c exit </dev/null >/dev/null 2>&1 || true
cd "$build/x86"
"$tools/x86-ns.sh" "$emu" ctest --output-on-failure -j "${CTEST_J:-2}" "${select[@]}"
