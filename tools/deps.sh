#!/usr/bin/env bash
# Installs the Debian packages the build and the tests need, once. Idempotent:
# does nothing when every package is already there.
set -euo pipefail
pkgs=(cmake make g++ clang libclang-rt-14-dev g++-mingw-w64-i686-posix g++-mingw-w64-x86-64-posix
      wine64 googletest)
if [ "${1:-}" = "--screenshot" ]; then pkgs+=(xvfb xauth imagemagick); fi
missing=()
for p in "${pkgs[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0
echo "Installing: ${missing[*]}"
SUDO=""; [ "$(id -u)" -ne 0 ] && SUDO="sudo"
$SUDO apt-get update -qq
DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
