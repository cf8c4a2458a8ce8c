#!/usr/bin/env bash
# A picture of the operator panel: runs the driver (device 12) with the
# stand-in RVX and InfoDrivers on a virtual X display, through a Wine prefix
# of its own that uses Wine's X11 driver, makes a take, and writes the
# driver's window to docs/panel.png (or $2).
#   tools/screenshot.sh BUILD [OUT.png]
set -euo pipefail
. "$(dirname "$0")/wine-env.sh"
build=$(realpath "${1:-build}")
out=$(realpath -m "${2:-docs/panel.png}")
bin="$build/x64/bin"
work="$build/screenshot"
prefix="$build/x64/wine-x11"
# ImageMagick's own programs: a `convert` earlier on PATH may be another
# program of the same name.
convert=/usr/bin/convert import=/usr/bin/import
for exe in zur.exe rvxsim.exe infosim.exe BWCC32.DLL KELM_CC.DLL zurfilter.dll; do
  [ -f "$bin/$exe" ] || { echo "screenshot: $bin/$exe is missing (make x64 first)" >&2; exit 1; }
done

export WINEPREFIX="$prefix" WINEARCH=win64 WINEDEBUG=-all

# A free display number for Xvfb.
display=""
for n in $(seq 71 99); do
  if [ ! -e "/tmp/.X11-unix/X$n" ] && [ ! -e "/tmp/.X$n-lock" ]; then display=":$n"; break; fi
done
[ -n "$display" ] || { echo "screenshot: no free X display" >&2; exit 1; }

pids=()
xvfb_pid=""
cleanup() {
  for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done
  for pid in "${pids[@]}"; do wait "$pid" 2>/dev/null || true; done
  WINEPREFIX="$prefix" "$WINESERVER" -k 2>/dev/null || true
  [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null || true
}
trap cleanup EXIT

Xvfb "$display" -screen 0 1024x768x24 -nolisten tcp >/dev/null 2>&1 &
xvfb_pid=$!
export DISPLAY="$display"
for _ in $(seq 50); do [ -e "/tmp/.X11-unix/X${display#:}" ] && break; sleep 0.1; done

# The prefix: Wine's default graphics driver (X11), created once.
if [ ! -f "$prefix/.zur-ready" ]; then
  rm -rf "$prefix"; mkdir -p "$prefix"
  WINEDLLOVERRIDES="mscoree,mshtml=" "$WINE" wineboot --init >/dev/null 2>&1 </dev/null
  "$WINESERVER" -w
  touch "$prefix/.zur-ready"
fi
zur_wineserver_start
"$WINE" cmd /c exit </dev/null >/dev/null 2>&1 || true

# The site: configuration directory with the device profile, library
# directory with the control libraries, package names and package slots.
rm -rf "$work"
mkdir -p "$work/sys/config/system" "$work/sys/windows/lib"
cp "$bin/BWCC32.DLL" "$bin/KELM_CC.DLL" "$work/sys/windows/lib/"
cat >"$work/sys/config/system/DEV_012.INI" <<'EOF'
[Combiner]
Name=Studio packages
SaveDelay=5
SrcePkgInfoId=13
DestPkgInfoId=14
LevelMapInfoId=15
DebugMode=0
NameLength=10
RevertiveLevel=0
ExternalDLL=zurfilter.dll
[Database]
DatabaseSize_0=24
DatabaseSize_1=16
[Levels]
Level_01=F,R,101
Level_02=F,R,102
Level_03=R,R,103
Level_04=F,G,104
Level_05=F,I,105
[Security]
Access=ALL
EOF
cat >"$work/names.txt" <<'EOF'
src 1 CAM 1
src 2 CAM 2
src 3 CAM 3
src 4 CAM 4
src 5 VTR A
src 6 VTR B
src 7 GFX 1
src 8 GFX 2
src 9 REMOTE 1
src 10 REMOTE 2
src 11 STUDIO B
src 12 NEWS 1
src 13 NEWS 2
src 14 CLOCK
src 15 BARS
src 16 BLACK
dst 1 TX 1
dst 2 TX 2
dst 3 PREVIEW
dst 4 MON 1
dst 5 MON 2
dst 6 REC 1
dst 7 REC 2
dst 8 STREAM
EOF
cat >"$work/sources.txt" <<'EOF'
1 1,1,1,0,Camera 1
2 2,2,2,1,Camera 2
3 3,3,3,0,Camera 3
EOF
cat >"$work/dests.txt" <<'EOF'
1 20,21,30,4,12
5 24,25,34,8,16
EOF

winpath() { echo "Z:${1//\//\\}"; }
export CC_ROOT=$(winpath "$work") CC_SYSTEM=sys ZUR_FILTER_MODE=none

start() {   # start PROGRAM ARGS...: a Wine process, ended by its PID at exit
  "$WINE" "$@" </dev/null >/dev/null 2>&1 &
  pids+=($!)
}
cd "$work"
start "$bin/rvxsim.exe" --quiet --names names.txt --log rvx.log \
  -e 'wait-attach 30s' -e 'expect 2184 "" 30s' -e 'sleep 1500ms' \
  -e 'post 274 0xF120 0' -e 'sleep 500ms' \
  -e "send 2189 \"RC 12 2 5 ',1,2,3,4,5' 1\"" -e 'sleep 1s' \
  -e "send 2189 \"RC 12 3 1 ',1,2,3,4,5' 1\"" -e 'mark "taken"'
start "$bin/infosim.exe" 13 --quiet --slots sources.txt
start "$bin/infosim.exe" 14 --quiet --slots dests.txt
start "$bin/infosim.exe" 15 --quiet
sleep 1
start "$bin/zur.exe" 12

for _ in $(seq 300); do
  grep -q "== taken" rvx.log 2>/dev/null && break
  sleep 0.1
done
grep -q "== taken" rvx.log || { echo "screenshot: the take did not happen (see $work/rvx.log)" >&2; exit 1; }

# Wine paints the restored window a little later: wait until the screen
# shows something, then let it settle.
mkdir -p "$(dirname "$out")"
for _ in $(seq 60); do
  "$import" -display "$display" -window root "$work/screen.png"
  [ "$("$convert" "$work/screen.png" -format '%[fx:mean>0.05]' info:)" = 1 ] && break
  sleep 0.5
done
sleep 2
"$import" -display "$display" -window root "$work/screen.png"
# The windows lie on a black desktop: keep their bounding box.
"$convert" "$work/screen.png" -trim +repage -strip "$out"
echo "screenshot: $out"
if [ -n "${SCREENSHOT_HOLD:-}" ]; then   # keep the scene for a look: DISPLAY below
  echo "screenshot: holding display $display for $SCREENSHOT_HOLD s"
  sleep "$SCREENSHOT_HOLD"
fi
