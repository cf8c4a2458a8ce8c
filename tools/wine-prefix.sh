#!/usr/bin/env bash
# Creates the private Wine prefix given as $1 (once) with the null graphics
# driver, so that windows, dialogs and message boxes work with no display.
set -euo pipefail
prefix=$(realpath -m "$1")
export WINEPREFIX="$prefix" WINEDEBUG=-all WINEARCH=win64
. "$(dirname "$0")/wine-env.sh"
if [ ! -f "$prefix/.zur-ready" ]; then
  rm -rf "$prefix"; mkdir -p "$prefix"
  WINEDLLOVERRIDES="mscoree,mshtml=" "$WINE" wineboot --init >/dev/null 2>&1 </dev/null
  "$WINESERVER" -w
  "$WINE" reg add 'HKCU\Software\Wine\Drivers' /v Graphics /d null /f >/dev/null 2>&1 </dev/null
  "$WINESERVER" -w
  touch "$prefix/.zur-ready"
fi
# A program that crashes prints its backtrace and ends, instead of waiting
# for someone to close the crash dialog, which nobody sees here: a crashing
# test then fails at once rather than at its time limit.
if [ ! -f "$prefix/.zur-crash-ends" ]; then
  "$WINESERVER" -k 2>/dev/null || true
  "$WINESERVER" -w
  "$WINE" reg add 'HKCU\Software\Wine\WineDbg' /v ShowCrashDialog /t REG_DWORD /d 0 /f >/dev/null 2>&1 </dev/null
  "$WINESERVER" -w
  touch "$prefix/.zur-crash-ends"
fi
