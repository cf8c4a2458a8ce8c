#!/usr/bin/env bash
# Checks that shipped 32-bit programs load on Windows XP SP3 (the floor):
#   tools/pe-check.sh [DIR | FILE...]      (default: dist/x86)
# For each program and library it reads the PE header and the import table
# (objdump -p) and fails on
#   - a subsystem version above 5.1 (Windows XP),
#   - a DLL that is not one of the system DLLs of tools/pe-floor.txt,
#   - a function that tools/pe-floor.txt does not list for its DLL: the list
#     holds only what Windows XP SP3 provides, each function with the
#     documentation that gives its minimum version.
# With a folder, it checks what a site gets of it: the driver, the site tools,
# the stand-in peers and the stand-in control libraries (no test program).
set -euo pipefail
repo=$(cd "$(dirname "$0")/.." && pwd)
floor="$repo/tools/pe-floor.txt"
objdump=i686-w64-mingw32-objdump
shipped=(zur.exe zurcheck.exe zurdb.exe rvxsim.exe infosim.exe BWCC32.DLL KELM_CC.DLL)

files=()
if [ $# -eq 0 ]; then set -- "$repo/dist/x86"; fi
for arg in "$@"; do
  if [ -d "$arg" ]; then
    for f in "${shipped[@]}"; do files+=("$arg/$f"); done
  else
    files+=("$arg")
  fi
done

# The floor: "dll NAME" lines and "NAME.dll Function ..." lines (comments
# and the documentation column aside), as "dll" and "dll!function" keys,
# DLL names in lower case.
allowed=$(awk '!/^[[:space:]]*(#|$)/ {
    if ($1 == "dll") print tolower($2)
    else print tolower($1) "!" $2
  }' "$floor" | sort -u)

problems=0
report() { echo "pe-check: $*" >&2; problems=$((problems + 1)); }

for f in "${files[@]}"; do
  name=$(basename "$f")
  if [ ! -f "$f" ]; then report "$f is missing"; continue; fi
  dump=$("$objdump" -p "$f" 2>/dev/null) || { report "$name: not a 32-bit PE file"; continue; }
  grep -q '^Magic[[:space:]]*010b' <<<"$dump" || { report "$name: not a 32-bit PE file"; continue; }
  major=$(awk '$1 == "MajorSubsystemVersion" { print $2 }' <<<"$dump")
  minor=$(awk '$1 == "MinorSubsystemVersion" { print $2 }' <<<"$dump")
  if [ $((major * 100 + minor)) -gt 501 ]; then
    report "$name asks for subsystem $major.$minor (Windows XP is 5.1)"
  fi
  # Import lines: "dll function" (by name) or "dll #ordinal".
  imports=$(awk '
    /^[[:space:]]*DLL Name:/ { dll = $3; next }
    dll != "" && /^[[:space:]]*$/ { dll = ""; next }
    dll != "" && /^[[:space:]]*vma:/ { next }
    dll != "" && NF >= 3 { print dll, $3; next }
    dll != "" && NF == 2 && $2 ~ /^<none>$/ { next }
    dll != "" && NF == 2 { print dll, "#" $2 }
    # a DLL whose table lists nothing still counts
    dll != "" && NF == 1 { print dll, "-" }
  ' <<<"$dump" | sort -u)
  for dll in $(awk '{ print $1 }' <<<"$imports" | sort -u); do
    grep -qxF "$(tr 'A-Z' 'a-z' <<<"$dll")" <<<"$allowed" ||
      report "$name imports $dll, which is not a system DLL of the floor"
  done
  while read -r dll fn; do
    [ -n "$dll" ] || continue
    key="$(tr 'A-Z' 'a-z' <<<"$dll")!$fn"
    grep -qxF "$key" <<<"$allowed" ||
      report "$name imports $fn from $dll, which tools/pe-floor.txt does not list (Windows XP SP3 may lack it)"
  done <<<"$imports"
done

if [ $problems -gt 0 ]; then
  echo "pe-check: $problems problem(s) in ${#files[@]} file(s)" >&2
  exit 1
fi
echo "pe-check: ${#files[@]} file(s) load on Windows XP SP3: subsystem 5.1 or below, every import in tools/pe-floor.txt"
