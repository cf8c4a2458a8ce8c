#!/usr/bin/env bash
# make bench: runs bench/zurbench.exe under Wine with its own wineserver on
# the x64 build's prefix, prints the table and writes it, with the machine
# and the date, to docs/performance.md.
set -euo pipefail
build=$(realpath "$1")
rounds=${2:-3}
prefix="$build/x64/wine"
tools/wine-prefix.sh "$prefix"
export WINEPREFIX="$prefix" WINEDEBUG=-all
WINE=/usr/lib/wine/wine64
wineserver -k 2>/dev/null || true
# A server that was just told to stop may still be running: wait for it,
# or the new one would refuse to start.
wineserver -w </dev/null >/dev/null 2>&1 || true
wineserver -p </dev/null >/dev/null 2>&1
trap 'WINEPREFIX="$prefix" wineserver -k 2>/dev/null || true' EXIT
# This prefix's wineserver, so that the benchmark can read its CPU time.
ZUR_WINESERVER_PID=
for p in $(pgrep -u "$(id -u)" wineserver); do
  if tr '\0' '\n' <"/proc/$p/environ" 2>/dev/null | grep -qxF "WINEPREFIX=$prefix"; then ZUR_WINESERVER_PID=$p; fi
done
export ZUR_WINESERVER_PID
"$WINE" cmd /c exit </dev/null >/dev/null 2>&1 || true

load=$(cut -d' ' -f1-3 /proc/loadavg)
table=$(mktemp)
trap 'rm -f "$table"; WINEPREFIX="$prefix" wineserver -k 2>/dev/null || true' EXIT
"$WINE" "$build/x64/bin/zurbench.exe" "$rounds" </dev/null >"$table"
cat "$table"

cpu=$(grep -m1 'model name' /proc/cpuinfo | sed 's/.*: //')
out=docs/performance.md
# The notes below the table (from "## Where the time goes" on) are kept.
notes=$(sed -n '/^## Where the time goes/,$p' "$out" 2>/dev/null || true)
{
  echo "# Performance"
  echo
  echo "Measured by \`make bench\` on $(date -u '+%Y-%m-%d %H:%M UTC'): $(nproc) cores, $cpu,"
  echo "$("$WINE" --version 2>/dev/null || echo wine), x64 build, load average before the run $load."
  echo
  cat "$table"
  if [ -n "$notes" ]; then echo; echo "$notes"; fi
} >"$out"
echo "written to $out"
