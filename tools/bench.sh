#!/usr/bin/env bash
# make bench: runs bench/zurbench.exe under Wine with its own wineserver on
# the x64 build's prefix, twice: first with the wineserver and every program
# on one CPU, then placed freely by the kernel. Prints both tables and writes
# them, with the machine and the date, to docs/performance.md.
#   tools/bench.sh BUILD_DIR [ROUNDS [x64 | x86]]
# x86 runs the 32-bit release build under the 32-bit Wine of
# tools/x86-root.sh in user-mode emulation (inside tools/x86-ns.sh), the
# floor too, and writes its tables to the section of docs/performance.md
# that starts at "## The 32-bit release build", at the end of the file; an
# x64 run keeps that section, and an x86 run everything before it.
#
# Every exchange is synchronous: one process runs at a time, handing over to
# the next through the wineserver. On one CPU each hand-over is a plain
# switch; placed freely, a hand-over often wakes the other CPU, which costs
# more and varies with whatever else the machine runs. The first run shows
# the driver's cost against the floor's on equal terms, the second what an
# unpinned installation sees.
set -euo pipefail
build=$(realpath "$1")
rounds=${2:-3}
arch=${3:-x64}
prefix="$build/$arch/wine"
case $arch in
  x64)
    . "$(dirname "$0")/wine-env.sh"
    tools/wine-prefix.sh "$prefix" ;;
  x86)
    ZUR_EMU="$build/x86/emu"
    . "$(dirname "$0")/x86-env.sh"
    if ! zur_x86_inside; then
      tools/x86-root.sh "$ZUR_EMU"
      tools/wine-prefix.sh "$prefix" x86 "$ZUR_EMU"
      exec tools/x86-ns.sh "$ZUR_EMU" "$0" "$@"
    fi ;;
  *) echo "usage: tools/bench.sh BUILD_DIR [ROUNDS [x64 | x86]]" >&2; exit 2 ;;
esac
export WINEPREFIX="$prefix" WINEDEBUG=-all
tables=$(mktemp -d)
trap 'rm -rf "$tables"; WINEPREFIX="$prefix" "$WINESERVER" -k 2>/dev/null || true' EXIT

# One run of the benchmark; $1 names it, the rest is the command prefix that
# places the wineserver and the programs (env: placed freely).
run() {
  local name=$1
  shift
  "$WINESERVER" -k 2>/dev/null || true
  # A server that was just told to stop may still be running: wait for it,
  # or the new one would refuse to start.
  "$WINESERVER" -w </dev/null >/dev/null 2>&1 || true
  "$@" "$WINESERVER" -p </dev/null >/dev/null 2>&1
  # This prefix's wineserver, so that the benchmark can read its CPU time.
  ZUR_WINESERVER_PID=
  for p in $(pgrep -u "$(id -u)" wineserver); do
    if { tr '\0' '\n' <"/proc/$p/environ"; } 2>/dev/null | grep -qxF "WINEPREFIX=$prefix"; then ZUR_WINESERVER_PID=$p; fi
  done
  export ZUR_WINESERVER_PID
  "$@" "$WINE" cmd /c exit </dev/null >/dev/null 2>&1 || true
  echo "$name" >&2
  # The tables without the carriage returns of the Windows console.
  "$@" "$WINE" "$build/$arch/bin/zurbench.exe" "$rounds" </dev/null | tr -d '\r' >"$tables/$name"
  "$WINESERVER" -k 2>/dev/null || true
}

load=$(cut -d' ' -f1-3 /proc/loadavg)
cpu_count=$(nproc)
# The last CPU this process may run on (a container's set need not start at 0).
one_cpu=$(awk '/^Cpus_allowed_list/ {print $2}' /proc/self/status | tr ',' '\n' | tail -1 | sed 's/.*-//')
pinned=no
if [ "$cpu_count" -gt 1 ] && [ -n "$one_cpu" ] && command -v taskset >/dev/null; then
  run pinned taskset -c "$one_cpu"
  pinned=yes
fi
run free env

cpu=$(grep -m1 'model name' /proc/cpuinfo | sed 's/.*: //')
out=docs/performance.md
x86_heading="## The 32-bit release build"
if [ "$arch" = x86 ]; then
  # Everything before the x86 section is kept; the section is rewritten.
  kept=$(awk -v h="$x86_heading" 'index($0, h) == 1 { exit } { print }' "$out" 2>/dev/null || true)
  {
    if [ -n "$kept" ]; then echo "$kept"; echo; else echo "# Performance"; echo; fi
    echo "$x86_heading (x86) under emulation"
    echo
    echo "Measured by \`make bench ARCH=x86\` on $(date -u '+%Y-%m-%d %H:%M UTC'): $cpu_count cores, $cpu,"
    echo "$("$WINE" --version 2>/dev/null || echo wine) (Debian's 32-bit Wine) run by qemu-i386 $("$ZUR_EMU/qemu-i386" --version | sed -n '1s/.*version //p'),"
    echo "served by the host's native wineserver; x86 build, load average before the run $load."
    echo "Every 32-bit program, the floor's two processes too, is emulated: the ratios compare the"
    echo "driver with the floor on equal terms, the times are not those of Windows, where the same"
    echo "programs run natively. The floor's processes do little but exchange messages, while the"
    echo "driver also computes, and emulation slows that part most (compare the driver's own CPU"
    echo "time per take with the x64 tables): the ratios come out lower than on x64 for that reason."
    if [ "$pinned" = yes ]; then
      echo
      echo "### On one CPU"
      echo
      echo "The wineserver, the driver, its stand-in peers and the floor's two processes all on CPU"
      echo "$one_cpu (\`taskset\`)."
      echo
      cat "$tables/pinned"
    fi
    echo
    echo "### Placed by the kernel"
    echo
    cat "$tables/free"
  } >"$out.new"
  mv "$out.new" "$out"
  sed -n "/^$x86_heading/,\$p" "$out"
  echo "written to $out"
  exit 0
fi
# The notes below the tables (from "## Where the time goes" on) are kept,
# and so is the x86 section after them.
notes=$(awk -v h="$x86_heading" '/^## Where the time goes/ || index($0, h) == 1 { on = 1 } on' "$out" 2>/dev/null || true)
{
  echo "# Performance"
  echo
  echo "Measured by \`make bench\` on $(date -u '+%Y-%m-%d %H:%M UTC'): $cpu_count cores, $cpu,"
  echo "$("$WINE" --version 2>/dev/null || echo wine), x64 build, load average before the run $load."
  if [ "$pinned" = yes ]; then
    echo
    echo "## On one CPU"
    echo
    echo "The wineserver, the driver, its stand-in peers and the floor's two processes all on CPU"
    echo "$one_cpu (\`taskset\`): the driver against the floor on equal terms."
    echo
    cat "$tables/pinned"
  fi
  echo
  echo "## Placed by the kernel"
  echo
  echo "The same, with every process placed freely, as an installation that does not pin them."
  echo
  cat "$tables/free"
  if [ -n "$notes" ]; then echo; echo "$notes"; fi
} >"$out"
sed -n '/^## /,/^## Where the time goes/p' "$out"
echo "written to $out"
