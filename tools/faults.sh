#!/usr/bin/env bash
# Runs the fault campaigns against the 64-bit driver under Wine:
#   tools/faults.sh CAMPAIGN [COUNT [SEED]]   one campaign
#   tools/faults.sh all                       every campaign but the soak, default counts
#   tools/faults.sh soak [COUNT]              the long run (200,000 commands, 11 to 15 min)
# Campaigns: infokill rvxkill kills malformed profiles access rvxgone closes
# second late files, and soak.
# Each prints its figures on one line ("campaign=... crashes=0 lost=0 ...")
# and exits non-zero when anything failed. BUILD (default build) is the
# build tree; the 64-bit build is made first. FAULTS_PREFIX chooses another
# Wine prefix, so that two campaigns can run side by side.
set -euo pipefail
. "$(dirname "$0")/wine-env.sh"
cd "$(dirname "$0")/.."
build=${BUILD:-build}
if [ $# -lt 1 ]; then
  echo "usage: tools/faults.sh CAMPAIGN [COUNT [SEED]] | all" >&2
  exit 2
fi
make --no-print-directory x64 BUILD="$build" >/dev/null
build=$(realpath "$build")
# A prefix (and so a wineserver) of its own: the campaigns neither disturb
# nor see the peers of a test run going on at the same time.
prefix=${FAULTS_PREFIX:-$build/x64/wine-faults}
tools/wine-prefix.sh "$prefix"
export WINEPREFIX="$prefix" WINEDEBUG=-all
zur_wineserver_start
trap 'WINEPREFIX="$prefix" "$WINESERVER" -k 2>/dev/null || true' EXIT
"$WINE" cmd /c exit </dev/null >/dev/null 2>&1 || true

# Line by line, so that the soak's progress shows as it comes, into a file too.
run() {
  echo "== $*"
  "$WINE" "$build/x64/bin/zurfaults.exe" "$@" </dev/null | sed -u 's/\r$//'
}

status=0
if [ "$1" = all ]; then
  for campaign in rvxgone malformed access infokill rvxkill profiles kills second closes files; do
    run "$campaign" || status=1
  done
else
  run "$@" || status=1
fi
exit $status
