#!/usr/bin/env bash
# The demo: the sample site with the stand-in RVX, three stand-in
# InfoDrivers and zur.exe 201 under Wine. rvxsim plays sample/peers/demo.rvx;
# the traffic of all peers is printed as one transcript; at the end the
# route index and lock files are checked, zurcheck finds a mistake planted
# in a copy of the profile, zurdb shows the routes left and what an import
# would change (--dry-run), and the take journal shows the driver's life
# and the first take.
#   tools/demo.sh BUILD_DIR [x64 | x86]
# x64 (default) runs dist/x64 under the host's Wine; x86 runs dist/x86, the
# release build, under the 32-bit Wine of tools/x86-root.sh in user-mode
# emulation, inside tools/x86-ns.sh.
set -euo pipefail
repo=$(cd "$(dirname "$0")/.." && pwd)
build=$(realpath -m "${1:-build}")
arch=${2:-x64}
dist="$repo/dist/$arch"
case $arch in
  x64|x86) ;;
  *) echo "usage: tools/demo.sh BUILD_DIR [x64 | x86]" >&2; exit 2 ;;
esac
for f in zur.exe rvxsim.exe infosim.exe zurcheck.exe zurdb.exe BWCC32.DLL KELM_CC.DLL; do
  [ -f "$dist/$f" ] || { echo "demo: $dist/$f is missing (run make dist)" >&2; exit 1; }
done

# A Wine prefix of its own, so that the demo never meets a test run.
if [ "$arch" = x86 ]; then
  prefix="$build/demo/wine-x86"
  ZUR_EMU="$build/x86/emu"
  . "$repo/tools/x86-env.sh"
  if ! zur_x86_inside; then
    "$repo/tools/x86-root.sh" "$ZUR_EMU"
    echo "Preparing the 32-bit Wine prefix $prefix ..."
    "$repo/tools/wine-prefix.sh" "$prefix" x86 "$ZUR_EMU"
    exec "$repo/tools/x86-ns.sh" "$ZUR_EMU" "$0" "$@"
  fi
else
  prefix="$build/demo/wine"
  . "$repo/tools/wine-env.sh"
  echo "Preparing the Wine prefix $prefix ..."
  "$repo/tools/wine-prefix.sh" "$prefix"
fi
export WINEPREFIX="$prefix" WINEDEBUG=-all

# The site: a copy of sample/ as CC_ROOT\CC_SYSTEM, with the two control
# libraries in its library directory.
site=$(mktemp -d /tmp/zur-demo.XXXXXX)
pids=()
cleanup() {
  for p in "${pids[@]}"; do kill "$p" 2>/dev/null || true; done
  "$WINESERVER" -k 2>/dev/null || true
  rm -rf "$site"
}
trap cleanup EXIT
mkdir -p "$site/sys/windows/lib"
cp -r "$repo/sample/config" "$site/sys/"
cp "$dist/BWCC32.DLL" "$dist/KELM_CC.DLL" "$site/sys/windows/lib/"
winpath() { local p=${1//\//\\}; echo "Z:$p"; }
peers="$repo/sample/peers"

zur_wineserver_start
"$WINE" cmd /c exit </dev/null >/dev/null 2>&1 || true

# Every peer writes its record lines into one pipe, read by the formatter
# below: lines arrive in the order they were written.
fifo="$site/transcript"
mkfifo "$fifo"
bold="" plain=""
if [ -t 1 ]; then bold=$(tput bold 2>/dev/null || true); plain=$(tput sgr0 2>/dev/null || true); fi
awk -v heading="$bold" -v plain="$plain" '
  # The level map initialisation: 4096 reads and up to 4096 default writes
  # at InfoDriver 204, summed up in one line instead of shown.
  /^INFO204 <- 2727 / && !mapdone { reads++; next }
  /^INFO204 <- 2731 / && !mapdone { writes++; next }
  /^INFO204 <- 2732 / && !mapdone {
    mapdone = 1
    printf "  INFO204    (level map initialisation: %d slot reads, %d default maps written; not shown)\n", reads, writes
  }
  /^RVX == \(/ { sub(/^RVX == /, ""); print "  " $0; next }
  /^RVX == / { sub(/^RVX == /, ""); printf "\n%s%s%s\n", heading, $0, plain; next }
  /^RVX !! / { print "  " $0; print "  (a demo step failed)"; next }
  { print "  " $0 }
' < "$fifo" &
formatter=$!
exec 3>"$fifo"

echo
echo "Peers: rvxsim (RVX) and infosim 202, 203, 204 (InfoDrivers); driver: zur.exe 201 (dist/$arch)"
echo "Each line: who, <- received / -> sent, message number and meaning, its values and text."
start=$(date +%s)
for dev in 202 203 204; do
  case $dev in 202) slots=sources.txt ;; 203) slots=destinations.txt ;; 204) slots=levelmap.txt ;; esac
  "$WINE" "$dist/infosim.exe" $dev --slots "$(winpath "$peers/$slots")" --log "$(winpath "$site/info$dev.log")" \
    -e "wait-attach 60" -e "wait-closed 60" -e "quit" </dev/null >&3 2>/dev/null &
  pids+=($!)
done
"$WINE" "$dist/rvxsim.exe" --names "$(winpath "$peers/names.txt")" --script "$(winpath "$peers/demo.rvx")" \
  --log "$(winpath "$site/rvx.log")" </dev/null >&3 2>/dev/null &
rvx=$!
pids+=($rvx)

# The driver looks for its peers only while it starts: wait for their windows.
for log in rvx info202 info203 info204; do
  for _ in $(seq 100); do grep -q ' \*\* ' "$site/$log.log" 2>/dev/null && break; sleep 0.1; done
done
CC_ROOT=$(winpath "$site") CC_SYSTEM=sys "$WINE" "$dist/zur.exe" 201 </dev/null >/dev/null 2>&1 &
driver=$!
pids+=($driver)

# Everything ends by itself; after 90 seconds whatever still runs is ended.
status=0
deadline=$((SECONDS + 90))
for p in "${pids[@]}"; do
  while kill -0 "$p" 2>/dev/null; do
    if [ $SECONDS -ge $deadline ]; then
      echo "demo: the peers did not end in time" >&2
      kill "${pids[@]}" 2>/dev/null || true
      status=124
      break
    fi
    sleep 0.2
  done
done
if [ $status -eq 0 ]; then wait "$rvx" || status=$?; fi
for p in "${pids[@]}"; do wait "$p" 2>/dev/null || true; done
pids=()
exec 3>&-
wait $formatter || true

echo
if [ $status -ne 0 ]; then
  echo "The demo stopped (exit code $status): see the '!!' line above." >&2
  exit 1
fi

# The files that the driver wrote at the close request.
cfg="$site/sys/config/system"
routes=$(od -An -v -tu1 "$cfg/DEV_201.DAT" 2>/dev/null | tr -s ' \n' '\n\n' | grep -v '^$' |
  awk 'NR % 2 { hi = $1; next } { v = hi * 256 + $1; if (v) printf "%s%d <- %d", (n++ ? ", " : ""), NR / 2, v }')
locks=$(od -An -v -tu1 "$cfg/DEV_201.LCK" 2>/dev/null | tr -s ' \n' '\n\n' | grep -v '^$' |
  awk '$1 != 0 { printf "%s%d", (n++ ? ", " : ""), NR }')
echo "DEV_201.DAT (route index, destination <- source): ${routes:-none}"
echo "DEV_201.LCK (locked destinations): ${locks:-none}"
ok=1
[[ ", $routes," == *", 34 <- 12,"* ]] || ok=0
[[ ", $locks," == *", 34,"* ]] || ok=0
echo "Demo finished in $(( $(date +%s) - start )) s."
if [ $ok -eq 1 ]; then
  echo "OK: destination package 34 is routed from source package 12 and locked, as the files say."
else
  echo "FAILED: DEV_201.DAT / DEV_201.LCK do not hold route 34 <- 12 and the lock of 34." >&2
  exit 1
fi

# The site tools and the take journal on what the demo left. Wine's console
# output ends its lines with CR LF.
echo
echo "${bold}zurcheck on a copy of the sample profile with Level_04=F,G,1O4 planted (a letter O for a zero): level 4's switches would go to device 1${plain}"
mkdir -p "$site/check/sys/config/system"
sed 's/^Level_04=F,G,104/Level_04=F,G,1O4/' "$repo/sample/config/system/DEV_201.INI" > "$site/check/sys/config/system/DEV_201.INI"
check=0
report=$(CC_ROOT=$(winpath "$site/check") CC_SYSTEM=sys "$WINE" "$dist/zurcheck.exe" 201 </dev/null 2>/dev/null) ||
  check=$?
printf '%s\n' "$report" | tr -d '\r' | sed 's/^/  /'
echo "  (exit code $check: a warning)"

echo
echo "${bold}zurdb show: the routes the demo left${plain}"
CC_ROOT=$(winpath "$site") CC_SYSTEM=sys "$WINE" "$dist/zurdb.exe" show 201 --routed \
  --names "$(winpath "$peers/names.txt")" </dev/null 2>/dev/null | tr -d '\r' | sed 's/^/  /'

echo
echo "${bold}zurdb import --dry-run: what restoring a state saved before the demo would change (nothing written)${plain}"
printf 'destination,source,locked\r\n35,13,0\r\n36,11,1\r\n' > "$site/before.csv"
CC_ROOT=$(winpath "$site") CC_SYSTEM=sys "$WINE" "$dist/zurdb.exe" import 201 "$(winpath "$site/before.csv")" \
  --dry-run </dev/null 2>&1 | tr -d '\r' | sed 's/^/  /'

echo
echo "${bold}The take journal DEV_201.LOG: the driver's start, registration, TX/RX changes and shut-down${plain}"
tr -d '\r' < "$cfg/DEV_201.LOG" | awk 'substr($0, 24, 6) == "   ** " { print "  " $0 }'

echo
echo "${bold}The take journal DEV_201.LOG: the demo's first take${plain}"
# From the first "RC" command line to the next command line (" ws " after
# the time stamp).
tr -d '\r' < "$cfg/DEV_201.LOG" |
  awk 'substr($0, 24, 4) == " ws " { if (shown) exit; if (index($0, " | RC ")) shown = 1 } shown { print "  " $0 }'
