#!/usr/bin/env bash
# tools/wine-prefix-make.sh PREFIX: the steps of tools/wine-prefix.sh, with
# WINE, WINESERVER and WINEARCH already chosen by it (64-bit, or 32-bit
# inside tools/x86-ns.sh). Each step is done once.
set -euo pipefail
prefix=$1
export WINEPREFIX="$prefix" WINEDEBUG=-all
if [ -z "${WINE:-}" ] || [ -z "${WINESERVER:-}" ]; then
  echo "wine-prefix-make.sh: run it through tools/wine-prefix.sh" >&2
  exit 2
fi
if [ ! -f "$prefix/.zur-ready" ]; then
  "$WINESERVER" -k 2>/dev/null || true
  "$WINESERVER" -w 2>/dev/null || true
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
