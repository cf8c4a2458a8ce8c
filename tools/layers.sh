#!/usr/bin/env bash
# The layers of the driver's source, checked over its #include lines:
#   app -> command -> ipc -> config -> core
# A file may include headers of its own folder and of the folders below it,
# never of one above. res/ (resource ids, version) is for app/ only; core/ is
# platform-free (no <windows.h>, <windef.h>, <winbase.h>, ... nor any other
# header of the Win32 SDK).
# The site tools (sitetools/) are a layer of their own beside the driver's:
# they use core/, config/, ipc/ (the wire layout of a take) and res/ (the
# version they print), and no driver file includes them.
# A layer's test_support.h declares what its module tests reach beyond its
# own headers: no product file includes it, not even its own layer's.
# Tests (any */test/ folder), the stand-ins, the bench, the fuzz targets and
# the tools are outside the layers and may include what they test, but no
# product file includes them. The stand-ins are peers of the driver, not
# site tools: they include nothing of sitetools/.
# Both include forms count: "config/profile.h" and <config/profile.h> (the
# repository's root is an include path), in every source and header file.
#   tools/layers.sh [FILE...]    checks the files given, or every product file
set -euo pipefail
cd "$(dirname "$0")/.."

# The folders a file of each layer may include.
allowed() {
  case $1 in
    core) echo "core" ;;
    config) echo "core config" ;;
    ipc) echo "core config ipc" ;;
    command) echo "core config ipc command" ;;
    app) echo "core config ipc command app res" ;;
    sitetools) echo "core config ipc res sitetools" ;;
    *) echo "" ;;
  esac
}
layers="core config ipc command app sitetools"
exts="h hpp hh hxx inl ipp tcc cpp cc cxx c"

if [ $# -gt 0 ]; then
  files=("$@")
else
  shopt -s globstar nullglob
  files=()
  for layer in $layers standins; do
    for ext in $exts; do
      for f in "$layer"/**/*."$ext"; do
        case $f in */test/*) ;; *) files+=("$f") ;; esac
      done
    done
  done
fi

# Headers of the Win32 SDK that core/ never includes (case as Windows files
# are: any case).
win32='(windows|win[a-z0-9_]*|commctrl|commdlg|shellapi|shlobj|shlwapi|objbase|ole2|oleauto|mmsystem|psapi|tlhelp32|richedit|sddl|aclapi|wtypes|basetsd|tchar|rpc|lmcons|dbghelp|userenv|wtsapi32|iphlpapi|ws2tcpip|mswsock)\.h'

problems=0
report() { echo "layers: $*" >&2; problems=$((problems + 1)); }

for f in "${files[@]}"; do
  own=${f%%/*}
  if [ "$own" = standins ]; then
    case $f in */test/*) continue ;; esac
    while IFS= read -r header; do
      report "$f includes $header: sitetools/ is the site tools' own, no stand-in includes it"
    done < <(sed -nE 's/^[[:space:]]*#[[:space:]]*include[[:space:]]*[<"](sitetools\/[^>"]+)[>"].*/\1/p' "$f")
    continue
  fi
  ok=$(allowed "$own")
  [ -n "$ok" ] || continue
  case $f in */test/*) continue ;; esac
  if [ "$own" = core ]; then
    while IFS= read -r h; do
      report "$f includes <$h>: core/ is platform-free"
    done < <(sed -nE 's/^[[:space:]]*#[[:space:]]*include[[:space:]]*[<"]([^>"]+)[>"].*/\1/p' "$f" | grep -iE "^$win32\$" || true)
  fi
  # Every include naming a folder, in quotes or in angle brackets; an angle
  # bracket include counts when its first folder is one of the repository's.
  while IFS= read -r form; do
    header=${form:1}
    header=${header#./}
    folder=${header%%/*}
    case $header in
      */../*|../*) report "$f includes $header: name the header from the repository's root"; continue ;;
    esac
    if [ ! -d "$folder" ]; then
      # <gtest/gtest.h>, <sys/types.h>: not the repository's.
      [ "${form:0:1}" = '<' ] || report "$f includes $header: $folder/ is outside the layers"
      continue
    fi
    case $header in
      */test/*) report "$f includes $header: product code never includes a test's file"; continue ;;
      */test_support.*) report "$f includes $header: the test-support headers are for the tests only"; continue ;;
    esac
    if [[ " $ok " == *" $folder "* ]]; then
      continue
    fi
    case $folder in
      res) report "$f includes $header: res/ is for app/ and the site tools only" ;;
      sitetools) report "$f includes $header: sitetools/ is the site tools' own, no driver file includes it" ;;
      core|config|ipc|command|app)
        if [ "$own" = sitetools ]; then
          report "$f includes $header: the site tools use core/, config/, ipc/ and res/, not $folder/"
        else
          report "$f includes $header: $folder/ is a layer above $own/"
        fi
        ;;
      *) report "$f includes $header: $folder/ is outside the layers" ;;
    esac
  done < <(sed -nE 's/^[[:space:]]*#[[:space:]]*include[[:space:]]*([<"])([^>"]+\/[^>"]+)[>"].*/\1\2/p' "$f")
done

if [ $problems -gt 0 ]; then
  echo "layers: $problems include(s) against the layers (app -> command -> ipc -> config -> core; sitetools -> config -> core)" >&2
  exit 1
fi
echo "layers: every include points down (app -> command -> ipc -> config -> core; sitetools -> config -> core)"
