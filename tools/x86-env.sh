# Sourced by every script that runs the 32-bit build, with ZUR_EMU set to
# the directory that tools/x86-root.sh set up (BUILD/x86/emu):
#   WINE        the 32-bit loader of the private i386 root; the kernel runs
#               it through qemu-i386, inside tools/x86-ns.sh only
#   WINESERVER  the host's native 64-bit wineserver (the wine64 package's),
#               of the same Wine version: it serves 32-bit programs as well
# and exports what the 32-bit loader needs: QEMU_LD_PREFIX (the root, where
# qemu-i386 looks first for every file the program opens: its libraries),
# WINEARCH=win32, and WINESERVER, so that a loader that has to start a
# server starts this one.
. "$(dirname "${BASH_SOURCE[0]}")/wine-env.sh"
if [ -z "${ZUR_EMU:-}" ]; then
  echo "x86-env.sh: ZUR_EMU is not set" >&2
  exit 1
fi
WINESERVER=$(zur_wine_program wineserver64)
if [ -z "$WINESERVER" ]; then
  echo "The wine64 package's wineserver64 is missing: run tools/deps.sh" >&2
  exit 1
fi
WINE="$ZUR_EMU/root/usr/lib/wine/wine"
export QEMU_LD_PREFIX="$ZUR_EMU/root" WINEARCH=win32 WINESERVER

# zur_x86_inside: true inside tools/x86-ns.sh, where 32-bit programs run.
zur_x86_inside() { [ -e /proc/sys/fs/binfmt_misc/zur-i386 ]; }
