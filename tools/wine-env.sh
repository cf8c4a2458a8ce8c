# Sourced by every script that runs Wine: finds Wine's programs the one way
# the project uses them. Debian's wine64 package installs them under
# /usr/lib/wine, which is not on PATH; the `wine` and `wineserver` commands
# on PATH come from another package (`wine`) that tools/deps.sh does not
# install, so they are only a fallback for other systems.
#   WINE        the 64-bit loader (wine64)
#   WINESERVER  the wineserver of the same installation

# zur_wine_program NAME: the path of Wine's program NAME, or nothing.
zur_wine_program() {
  if [ -x "/usr/lib/wine/$1" ]; then
    echo "/usr/lib/wine/$1"
  else
    command -v "$1" 2>/dev/null || true
  fi
}

# zur_wineserver_start: a persistent wineserver for $WINEPREFIX, after
# ending one that may still run there. A server that was just told to stop
# may still be running: it is waited for, or the new one would refuse to
# start.
zur_wineserver_start() {
  "$WINESERVER" -k 2>/dev/null || true
  "$WINESERVER" -w </dev/null >/dev/null 2>&1 || true
  "$WINESERVER" -p </dev/null >/dev/null 2>&1
}

WINE=$(zur_wine_program wine64)
WINESERVER=$(zur_wine_program wineserver)
if [ -z "$WINE" ] || [ -z "$WINESERVER" ]; then
  echo "Wine is not installed (wine64, wineserver): run tools/deps.sh" >&2
  exit 1
fi
