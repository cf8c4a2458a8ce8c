#!/usr/bin/env bash
# Sets up, once, what runs the 32-bit build on this 64-bit-only machine:
#   tools/x86-root.sh EMU_DIR       (make uses BUILD/x86/emu)
# EMU_DIR/root   a private i386 root holding Debian 12's 32-bit Wine
#                (wine32, wine32-preloader, libwine and their libraries,
#                the same Wine version as the wine64 package), unpacked,
#                not installed: no dpkg --add-architecture, nothing
#                changes outside EMU_DIR
# EMU_DIR/qemu-i386   the static user-mode emulator of Debian 13's qemu-user
#                (Debian 12's 7.2 crashes 32-bit Wine processes with two or
#                more threads)
# The packages come from Debian's mirrors through apt-get with an apt
# directory of its own (EMU_DIR/apt: its own sources, lists and empty
# status file). Idempotent: a finished set-up is marked by EMU_DIR/.zur-ready
# and is redone only when the host's Wine version changes. About 730 MB.
set -euo pipefail
# ldconfig lives in /sbin: a PATH without it (a plain user's, or env -i) must still find it.
PATH="$PATH:/usr/sbin:/sbin"
emu=$(realpath -m "$1")
stamp="$emu/.zur-ready"
. "$(dirname "$0")/wine-env.sh"
# The Debian version of the host's Wine ("wine-8.0 (Debian 8.0~repack-4)"):
# the 32-bit Wine must be the same, for the host's wineserver serves it.
wine_version=$("$WINE" --version | sed -n 's/^wine-.* (Debian \(.*\))$/\1/p')
if [ -z "$wine_version" ]; then
  echo "x86-root: the host's Wine ($("$WINE" --version)) is not Debian's" >&2
  exit 1
fi
want="wine $wine_version"
if [ -f "$stamp" ] && [ "$(cat "$stamp")" = "$want" ] && [ -x "$emu/qemu-i386" ]; then
  exit 0
fi

echo "Setting up the 32-bit runner in $emu (Debian's i386 Wine $wine_version, qemu-i386; about 730 MB, once) ..."
start=$SECONDS
rm -f "$stamp"
mkdir -p "$emu"
keyring=/usr/share/keyrings/debian-archive-keyring.gpg

# apt_dir DIR: an apt directory of its own, with an empty status file
# (nothing counts as installed).
apt_dir() {
  local dir=$1
  mkdir -p "$dir/etc/apt/apt.conf.d" "$dir/etc/apt/preferences.d" "$dir/etc/apt/sources.list.d" \
           "$dir/etc/apt/trusted.gpg.d" "$dir/lists/partial" "$dir/archives/partial"
  : >"$dir/status"
}
# apt_in DIR ARCH ARGS...: apt-get ARGS with that directory.
apt_in() {
  local dir=$1 arch=$2
  shift 2
  apt-get -q -o Dir::Etc="$dir/etc/apt" -o Dir::State::Lists="$dir/lists" \
    -o Dir::State::status="$dir/status" -o Dir::Cache="$dir" -o Dir::Cache::archives="$dir/archives" \
    -o Dir::Cache::pkgcache="" -o Dir::Cache::srcpkgcache="" \
    -o APT::Architecture="$arch" -o APT::Architectures::="$arch" \
    -o APT::Sandbox::User=root -o Debug::NoLocking=1 "$@"
}
# apt_update DIR ARCH: the package lists of that directory. A mirror caught
# in its sync serves an index whose files do not match it yet ("File has
# unexpected size ... Mirror sync in progress?"): the update is tried again,
# up to 3 times 20 s apart. Seen here: the bookworm-security lists of i386
# stayed so for hours. The set-up then goes on with the lists that were
# read (apt keeps them): the packages come from those, and the download
# that follows fails if one it needs is not in them.
apt_update() {
  local try
  for try in 1 2 3; do
    if apt_in "$1" "$2" update -qq >/dev/null 2>"$1/update.err"; then return 0; fi
    [ "$try" -lt 3 ] && sleep 20
  done
  sed 's/^/  /' "$1/update.err" >&2
  echo "x86-root: some $2 package lists could not be read (above); going on with those that were" >&2
}

# Debian 12's 32-bit Wine and everything it depends on.
i386="$emu/apt/i386"
apt_dir "$i386"
cat >"$i386/etc/apt/sources.list" <<EOF
deb [arch=i386 signed-by=$keyring] http://deb.debian.org/debian bookworm main
deb [arch=i386 signed-by=$keyring] http://deb.debian.org/debian bookworm-updates main
deb [arch=i386 signed-by=$keyring] http://deb.debian.org/debian-security bookworm-security main
EOF
apt_update "$i386" i386
apt_in "$i386" i386 install -qq -y --download-only --no-install-recommends \
  "wine32=$wine_version" "wine32-preloader=$wine_version" "libwine=$wine_version" \
  libgcc-s1 libfreetype6 libfontconfig1 >/dev/null

# Debian 13's qemu-user: statically linked, depends on nothing.
amd64="$emu/apt/amd64"
apt_dir "$amd64"
echo "deb [arch=amd64 signed-by=$keyring] http://deb.debian.org/debian trixie main" >"$amd64/etc/apt/sources.list"
apt_update "$amd64" amd64
(cd "$amd64/archives" && apt_in "$amd64" amd64 download -qq qemu-user >/dev/null)

# Unpacked, not installed.
root="$emu/root"
rm -rf "$root"
mkdir -p "$root"
for deb in "$i386"/archives/*.deb; do dpkg-deb -x "$deb" "$root"; done
dpkg-deb --fsys-tarfile "$amd64"/archives/qemu-user_*.deb | tar -xO ./usr/bin/qemu-i386 >"$emu/qemu-i386.new"
chmod 755 "$emu/qemu-i386.new"
mv "$emu/qemu-i386.new" "$emu/qemu-i386"

# What the packages' maintainer scripts would have done.
# libwine: zlib1.dll from the MinGW build, marked as a Wine builtin DLL
# (without it user32 does not load).
winelib="$root/usr/lib/i386-linux-gnu/wine"
for arch in i386 x86_64; do
  mingw=$arch; [ $arch = i386 ] && mingw=i686
  in="$root/usr/$mingw-w64-mingw32/lib/zlib1.dll"
  [ -f "$in" ] || in="/usr/$mingw-w64-mingw32/lib/zlib1.dll"
  {
    head -c 64 "$in"
    printf 'Wine builtin DLL'
    printf '\0\0\0\0\0\0\0\0\0\0\0\0\0\0\0\0'
    tail -c +97 "$in"
  } >"$winelib/$arch-windows/zlib1.dll"
done
# libc6: the linker cache of the root (without it Wine finds no FreeType,
# and every dialog comes out with zero base units).
echo 'include /etc/ld.so.conf.d/*.conf' >"$root/etc/ld.so.conf"
ldconfig -r "$root"
# The host's native 64-bit wineserver of the same version serves the 32-bit
# programs; the root's 32-bit one is removed so that it can never start.
rm -f "$root/usr/lib/wine/wineserver" "$root/usr/lib/wine/wineserver32"
# What nothing here reads.
rm -rf "$root/usr/share/doc" "$root/usr/share/man" "$root/usr/share/locale" "$root/usr/share/lintian"
# The packages are unpacked: their archives are not needed again.
rm -f "$i386"/archives/*.deb "$amd64"/archives/*.deb

echo "$want" >"$stamp"
echo "32-bit runner ready in $((SECONDS - start)) s: $(du -sh "$emu" | cut -f1)"
