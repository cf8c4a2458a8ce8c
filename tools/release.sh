#!/usr/bin/env bash
# Builds the release archive from dist/x86 (the 32-bit build, which
# `make release` has just made):
#   tools/release.sh
# dist/release/zur-VERSION-win32.zip and its .sha256: the driver, the two
# site tools, the site guide and the commissioning kit, nothing else. The
# same sources give the same archive bytes in any folder at any time: the
# programs carry no time stamp and no build path (CMakeLists.txt), and the
# archive has a fixed order, fixed entry times and modes, and no extra
# fields. Prints the checksum.
set -euo pipefail
repo=$(cd "$(dirname "$0")/.." && pwd)
cd "$repo"
version=$(sed -n 's/^#define ZUR_VERSION "\(.*\)"$/\1/p' res/version.h)
[ -n "$version" ] || { echo "release: no ZUR_VERSION in res/version.h" >&2; exit 1; }
name="zur-$version-win32"
dist=dist/x86
out=dist/release
stage=$(mktemp -d /tmp/zur-release.XXXXXX)
trap 'rm -rf "$stage"' EXIT

# The shipped 32-bit programs load on Windows XP SP3, and each carries the
# version of res/version.h in its version resource (UTF-16 strings).
tools/pe-check.sh "$dist"
for f in zur.exe zurcheck.exe zurdb.exe rvxsim.exe infosim.exe BWCC32.DLL KELM_CC.DLL; do
  i686-w64-mingw32-strings -e l "$dist/$f" | grep -A1 -x 'FileVersion' | grep -qx "$version" ||
    { echo "release: $dist/$f has no version resource of $version" >&2; exit 1; }
done

top="$stage/$name"
kit="$top/kit"
mkdir -p "$kit/peers" "$kit/site/SYSTEM/config/system" "$kit/site/SYSTEM/windows/lib"
cp "$dist/zur.exe" "$dist/zurcheck.exe" "$dist/zurdb.exe" "$top/"
cp docs/site-guide.txt "$top/SITE-GUIDE.txt"
cp release/commission.cmd "$dist/rvxsim.exe" "$dist/infosim.exe" "$kit/"
cp sample/peers/demo.rvx sample/peers/names.txt sample/peers/sources.txt \
   sample/peers/destinations.txt sample/peers/levelmap.txt "$kit/peers/"
cp sample/config/system/DEV_201.INI "$kit/site/SYSTEM/config/system/"
# The stand-in control libraries only ever in the kit's own site.
cp "$dist/BWCC32.DLL" "$dist/KELM_CC.DLL" "$kit/site/SYSTEM/windows/lib/"

# A Windows engineer opens the text files with Notepad: CR LF line ends.
for f in "$top/SITE-GUIDE.txt" "$kit/commission.cmd"; do
  if grep -q $'[^\r]$' "$f"; then echo "release: $f has a line without CR LF" >&2; exit 1; fi
done

# Fixed modes and times (zip stores local time: UTC here), sorted entries,
# no directory entries, no extra fields (-X).
find "$top" -type f -exec chmod 644 {} +
find "$top" -exec env TZ=UTC touch -h -d '2000-01-01 00:00:00' {} +
mkdir -p "$out"
rm -f "$out/$name.zip" "$out/$name.zip.sha256"
(cd "$stage" && find "$name" -type f | LC_ALL=C sort | TZ=UTC zip -q -X -9 -@ "$repo/$out/$name.zip")
(cd "$out" && sha256sum "$name.zip" > "$name.zip.sha256")
echo "release: $out/$name.zip"
unzip -l "$out/$name.zip" | sed 's/^/  /'
echo "sha256: $(cut -d' ' -f1 "$out/$name.zip.sha256")"
