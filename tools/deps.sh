#!/usr/bin/env bash
# The Debian packages that the build, the tests and the tools need.
#   tools/deps.sh                 installs the missing ones, once (idempotent)
#   tools/deps.sh --screenshot    the same, with what `make screenshot` needs
#   tools/deps.sh --verify [--screenshot]
#       checks that every external program the scripts and the build run
#       resolves to a file of one of these packages, of a package they depend
#       on, or of an essential (or required) package, and names any that does
#       not: a program that only this machine has would pass here and fail on
#       a fresh one. Also fails when a script calls a program that is not in
#       the list below, so that the list stays complete.
# Written for Debian 12 (bookworm).
set -euo pipefail
# ldconfig lives in /sbin: a PATH without it (a plain user's, or env -i) must still find it.
PATH="$PATH:/usr/sbin:/sbin"
cd "$(dirname "$0")/.."

# wine64-preloader: without it the 64-bit loader cannot keep the addresses
# Windows fixes free, and now and then a new Wine process dies at start
# ("failed to map the shared user data"; CreateProcess fails with
# ERROR_INTERNAL_ERROR): measured here, 2 starts in 5,400 failed, with it
# none in 10,000. (The 32-bit root of tools/x86-root.sh has wine32-preloader.)
# g++-mingw-w64-*-win32: the win32 thread model, whose runtime imports
# nothing that Windows XP lacks (the posix model's libwinpthread imports
# GetTickCount64). zip: the release archive; unzip: its check.
pkgs=(cmake make g++ clang libclang-rt-14-dev g++-mingw-w64-i686-win32 g++-mingw-w64-x86-64-win32
      wine64 wine64-preloader googletest procps zip unzip)
screenshot_pkgs=(xvfb xauth imagemagick)

# Every external program that the scripts (tools/, Makefile, .ci/) and the
# CMake build run, by how they find it. Wine's programs are found by
# tools/wine-env.sh (and the 32-bit build's by tools/x86-env.sh: the host's
# wineserver64, and a Wine and qemu-i386 that tools/x86-root.sh unpacks), ImageMagick's by their full path (a `convert` earlier on
# PATH may be another program).
programs=(bash make cmake ctest g++ gcc clang clang++
          x86_64-w64-mingw32-g++-win32 x86_64-w64-mingw32-gcc-win32 x86_64-w64-mingw32-windres
          i686-w64-mingw32-g++-win32 i686-w64-mingw32-gcc-win32 i686-w64-mingw32-windres
          i686-w64-mingw32-objdump i686-w64-mingw32-strings zip unzip sha256sum find xargs env
          awk basename cat cp cut date dirname dpkg-query grep head id mkdir mkfifo mktemp nproc od
          pgrep readlink realpath rm sed seq sleep sort tail taskset touch tput tr
          apt-get apt-cache dpkg dpkg-query
          chmod dpkg-deb du ldconfig mount mv tar unshare)
wine_programs=(wine64 wineserver wineserver64)
screenshot_programs=(Xvfb /usr/bin/convert /usr/bin/import)

mode=install
screenshot=0
for arg in "$@"; do
  case $arg in
    --verify) mode=verify ;;
    --screenshot) screenshot=1 ;;
    *) echo "usage: tools/deps.sh [--verify] [--screenshot]" >&2; exit 2 ;;
  esac
done
if [ $screenshot -eq 1 ]; then pkgs+=("${screenshot_pkgs[@]}"); fi

if [ $mode = install ]; then
  missing=()
  for p in "${pkgs[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
  done
  [ ${#missing[@]} -eq 0 ] && exit 0
  echo "Installing: ${missing[*]}"
  SUDO=""; [ "$(id -u)" -ne 0 ] && SUDO="sudo"
  # A mirror caught in its sync can fail one list ("Mirror sync in
  # progress?") for hours; apt keeps the lists it read, and the install
  # fails only if a package it needs is in none of them.
  $SUDO apt-get update -qq || echo "deps: some package lists could not be read (above); installing from those that were" >&2
  DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
  exit 0
fi

# --verify. The packages a program may come from: the listed ones and
# everything they depend on, and the essential and required packages that
# every Debian system has.
allowed=$(
  {
    apt-cache depends --recurse --installed --no-recommends --no-suggests --no-conflicts --no-breaks \
      --no-replaces --no-enhances "${pkgs[@]}" "${screenshot_pkgs[@]}" 2>/dev/null | grep -v '^[ <]' || true
    dpkg-query -W -f='${Package} ${Essential} ${Priority}\n' | awk '$2 == "yes" || $3 == "required" { print $1 }'
  } | sed 's/:.*//' | sort -u
)
. tools/wine-env.sh >/dev/null 2>&1 || true

problems=0
report() { echo "deps --verify: $*" >&2; problems=$((problems + 1)); }

# check NAME PATH: PATH (the file a script runs for NAME) must belong to an
# allowed package.
check() {
  local name=$1 path=$2 real owner
  if [ -z "$path" ]; then report "'$name' is not installed (tools/deps.sh installs it)"; return; fi
  real=$(readlink -f "$path")
  owner=$(dpkg -S "$real" 2>/dev/null | head -1 | sed 's/:.*//; s/, .*//') || true
  # With merged /usr, dpkg may know the file by its /bin or /sbin name.
  for alt in "$path" "${real/#\/usr\/bin\//\/bin\/}" "${real/#\/usr\/sbin\//\/sbin\/}"; do
    [ -n "$owner" ] && break
    owner=$(dpkg -S "$alt" 2>/dev/null | head -1 | sed 's/:.*//; s/, .*//') || true
  done
  if [ -z "$owner" ]; then
    report "'$name' runs $real, which no Debian package provides"
  elif ! grep -qxF "$owner" <<<"$allowed"; then
    report "'$name' runs $real from package '$owner', which tools/deps.sh does not install"
  fi
}

for p in "${programs[@]}"; do check "$p" "$(command -v "$p" 2>/dev/null || true)"; done
for p in "${wine_programs[@]}"; do check "$p" "$(zur_wine_program "$p")"; done
for p in "${screenshot_programs[@]}"; do
  path=$(command -v "$p" 2>/dev/null || true)
  if [ -z "$path" ] && [ $screenshot -eq 0 ]; then continue; fi   # installed by make screenshot
  check "$p" "$path"
done

# The list is complete: every word in a command position of the scripts
# that names a program on PATH must be in it. (Shell builtins, functions and
# the scripts' own variables are no programs and pass.)
listed=" ${programs[*]} ${wine_programs[*]} ${screenshot_programs[*]} "
for f in tools/*.sh tools/*.in Makefile .ci/run; do
  words=$(sed -e 's/^[[:space:]]*#.*$//' -e 's/[[:space:]]#.*$//' -e "s/'[^']*'//g" -e 's/"[^"$]*"//g' \
              -e 's/^\t@\{0,1\}-\{0,1\}//' -e 's/^[[:space:]]*echo .*$//' "$f" |
          grep -oE '(^|[|;&(!]|\$\(|\b(then|do|else|exec|if|while|until|time|env|taskset -c [^ ]+)[[:space:]])[[:space:]]*"?[A-Za-z_./][A-Za-z0-9_+./-]*=?' |
          sed -E 's/^.*[[:space:]|;&(!"]//; s/^\$\(//' | grep -v '=$' | sort -u)
  for w in $words; do
    case "$w" in tools/*|*/*.sh) continue ;; esac
    [ "$(type -t "$w" 2>/dev/null)" = file ] || continue
    [[ "$listed" == *" $w "* ]] || report "$f runs '$w', which is not in the program list of tools/deps.sh"
  done
  # A bare wineserver or wine64 bypasses tools/wine-env.sh.
  case "$f" in tools/deps.sh|tools/wine-env.sh|tools/x86-env.sh) continue ;; esac
  if grep -nE '(^|[[:space:];|&(])(wineserver|wine64|wine)[[:space:]]' "$f" |
       grep -vE '^[0-9]+:[[:space:]]*#' | grep -q .; then
    report "$f calls Wine by its bare name: use \"\$WINE\" / \"\$WINESERVER\" from tools/wine-env.sh"
  fi
done

if [ $problems -gt 0 ]; then
  echo "deps --verify: $problems problem(s)" >&2
  exit 1
fi
echo "deps --verify: every program the scripts and the build run comes from a listed package"
