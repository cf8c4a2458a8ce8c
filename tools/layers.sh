#!/usr/bin/env bash
# The layers of the driver's source, checked over its #include lines:
#   app -> command -> ipc -> config -> core
# A file may include headers of its own folder and of the folders below it,
# never of one above. res/ (resource ids, version) is for app/ only; core/ is
# platform-free (no <windows.h>). Tests (any */test/ folder), the stand-ins,
# the site tools, the bench, the fuzz targets and the tools are outside the
# layers and may include what they test, but no product file includes them.
#   tools/layers.sh [FILE...]    checks the files given, or every product file
set -euo pipefail
cd "$(dirname "$0")/.."

rank() {
  case $1 in
    core) echo 0 ;; config) echo 1 ;; ipc) echo 2 ;; command) echo 3 ;; app) echo 4 ;; *) echo -1 ;;
  esac
}

if [ $# -gt 0 ]; then
  files=("$@")
else
  shopt -s globstar nullglob
  files=()
  for f in {core,config,ipc,command,app}/**/*.{h,cpp}; do
    case $f in */test/*) ;; *) files+=("$f") ;; esac
  done
fi

problems=0
report() { echo "layers: $*" >&2; problems=$((problems + 1)); }

for f in "${files[@]}"; do
  own=${f%%/*}
  own_rank=$(rank "$own")
  [ "$own_rank" -ge 0 ] || continue
  case $f in */test/*) continue ;; esac
  if [ "$own" = core ] && grep -qE '^[[:space:]]*#[[:space:]]*include[[:space:]]*<windows\.h>' "$f"; then
    report "$f includes <windows.h>: core/ is platform-free"
  fi
  while IFS= read -r header; do
    folder=${header%%/*}
    case $header in
      */test/*) report "$f includes $header: product code never includes a test's file"; continue ;;
    esac
    if [ "$folder" = res ]; then
      [ "$own" = app ] || report "$f includes $header: res/ is for app/ only"
      continue
    fi
    target_rank=$(rank "$folder")
    if [ "$target_rank" -lt 0 ]; then
      report "$f includes $header: $folder/ is outside the driver's layers"
    elif [ "$target_rank" -gt "$own_rank" ]; then
      report "$f includes $header: $folder/ is a layer above $own/"
    fi
  done < <(sed -nE 's/^[[:space:]]*#[[:space:]]*include[[:space:]]*"([^"]+\/[^"]+)".*/\1/p' "$f")
done

if [ $problems -gt 0 ]; then
  echo "layers: $problems include(s) against the layers (app -> command -> ipc -> config -> core)" >&2
  exit 1
fi
echo "layers: every include points down (app -> command -> ipc -> config -> core)"
