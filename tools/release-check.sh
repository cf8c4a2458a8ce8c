#!/usr/bin/env bash
# The release archive, checked as a site would use it:
#   tools/release-check.sh BUILD_DIR
# unpacks dist/release/zur-VERSION-win32.zip into an empty folder, makes a
# fresh 32-bit Wine prefix for it, runs kit\commission.cmd from the unpacked
# files alone (under the 32-bit Wine of tools/x86-root.sh in user-mode
# emulation, inside tools/x86-ns.sh), checks the worked example's level
# commands and revertive in the stand-in RVX's log, and runs zurcheck on the
# kit's profile (exit code 0).
set -euo pipefail
repo=$(cd "$(dirname "$0")/.." && pwd)
build=$(realpath -m "${1:-build}")
version=$(sed -n 's/^#define ZUR_VERSION "\(.*\)"$/\1/p' "$repo/res/version.h")
name="zur-$version-win32"
zip="$repo/dist/release/$name.zip"
ZUR_EMU="$build/x86/emu"
. "$repo/tools/x86-env.sh"

if ! zur_x86_inside; then
  [ -f "$zip" ] || { echo "release-check: $zip is missing (make release)" >&2; exit 1; }
  "$repo/tools/x86-root.sh" "$ZUR_EMU"
  work=$(mktemp -d /tmp/zur-release-check.XXXXXX)
  status=0
  ZUR_RELEASE_WORK="$work" "$repo/tools/x86-ns.sh" "$ZUR_EMU" "$0" "$@" || status=$?
  rm -rf "$work"
  exit $status
fi

work=$ZUR_RELEASE_WORK
mkdir "$work/unpacked"
(cd "$work/unpacked" && unzip -q "$zip")
echo "release-check: $name.zip unpacked into an empty folder; a fresh 32-bit Wine prefix ..."
"$repo/tools/wine-prefix.sh" "$work/wine" x86 "$ZUR_EMU" >/dev/null
export WINEPREFIX="$work/wine" WINEDEBUG=-all
trap '"$WINESERVER" -k 2>/dev/null || true' EXIT
"$WINESERVER" -p </dev/null >/dev/null 2>&1
winpath() { local p=${1//\//\\}; echo "Z:$p"; }
top="$work/unpacked/$name"

echo "release-check: kit\\commission.cmd"
status=0
# Under emulation a program takes a few seconds to start: the kit waits 20
# seconds for its stand-ins instead of 10.
KIT_START_SECONDS=20 "$WINE" cmd /c "$(winpath "$top/kit/commission.cmd")" </dev/null >"$work/commission.txt" 2>/dev/null || status=$?
tr -d '\r' <"$work/commission.txt" | sed 's/^/  /'
failures=0
fail() { echo "release-check: $*" >&2; failures=$((failures + 1)); }
[ $status -eq 0 ] || fail "commission.cmd exited with $status"
grep -q 'COMMISSIONING EXAMPLE PASSED' "$work/commission.txt" || fail "commission.cmd did not pass the worked example"
log="$top/kit/logs/rvx.log"
# The worked example's take: five level commands and the revertive.
for line in \
  "RVX <- 2124 route command value=101 text=\"RC 101 5 20 ',---' 7\"" \
  "RVX <- 2124 route command value=102 text=\"RC 102 7 21 ',---' 7\"" \
  "RVX <- 2124 route command value=103 text=\"RC 103 30 9 ',---' 7\"" \
  "RVX <- 2134 general switch command value=104 text=\"GS 104 4 1 7\"" \
  "RVX <- 2144 InfoDriver write command value=105 text=\"IW 105 'Camera 1' 12 7\"" \
  "RVX <- 2187 revertive value=0 text=\"RR 201 034 012\"" \
  "RVX ** exit code=0"; do
  tr -d '\r' <"$log" | grep -qF "$line" || fail "rvx.log lacks: $line"
done

echo "release-check: zurcheck on the kit's profile"
check=0
CC_ROOT=$(winpath "$top/kit/site") CC_SYSTEM=SYSTEM "$WINE" "$top/zurcheck.exe" 201 </dev/null 2>/dev/null |
  tr -d '\r' | sed 's/^/  /' || true
CC_ROOT=$(winpath "$top/kit/site") CC_SYSTEM=SYSTEM "$WINE" "$top/zurcheck.exe" 201 </dev/null >/dev/null 2>&1 ||
  check=$?
[ $check -eq 0 ] || fail "zurcheck on the kit's profile exited with $check"

if [ $failures -gt 0 ]; then exit 1; fi
echo "release-check: $name.zip passed: the worked example ran from the unpacked files, zurcheck exit 0"
