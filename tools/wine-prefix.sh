#!/usr/bin/env bash
# Creates the private Wine prefix given as $1 (once) with the null graphics
# driver, so that windows, dialogs and message boxes work with no display.
#   tools/wine-prefix.sh PREFIX                 a 64-bit prefix (host Wine)
#   tools/wine-prefix.sh PREFIX x86 EMU_DIR     a 32-bit prefix, for the
#       32-bit Wine of EMU_DIR (tools/x86-root.sh), made inside
#       tools/x86-ns.sh; remade when the root is newer than the prefix (a
#       prefix made before the root could load its fonts keeps wrong sizes)
set -euo pipefail
prefix=$(realpath -m "$1")
arch=${2:-x64}
export WINEPREFIX="$prefix" WINEDEBUG=-all
if [ "$arch" = x86 ]; then
  ZUR_EMU=$(realpath -m "$3")
  . "$(dirname "$0")/x86-env.sh"
  if [ ! -f "$ZUR_EMU/.zur-ready" ]; then
    echo "wine-prefix: the 32-bit root $ZUR_EMU is not set up (tools/x86-root.sh)" >&2
    exit 1
  fi
  if [ -f "$prefix/.zur-ready" ] && [ "$ZUR_EMU/.zur-ready" -nt "$prefix/.zur-ready" ]; then
    rm -f "$prefix/.zur-ready"
  fi
  if [ ! -f "$prefix/.zur-ready" ] || [ ! -f "$prefix/.zur-crash-ends" ]; then
    export WINE WINESERVER
    exec "$(dirname "$0")/x86-ns.sh" "$ZUR_EMU" "$(dirname "$0")/wine-prefix-make.sh" "$prefix"
  fi
  exit 0
fi
export WINEARCH=win64
. "$(dirname "$0")/wine-env.sh"
export WINE WINESERVER
exec "$(dirname "$0")/wine-prefix-make.sh" "$prefix"
