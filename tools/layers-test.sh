#!/usr/bin/env bash
# The check of the layers (tools/layers.sh) on a copy of the source: the
# tree as it is passes, and each include planted against the layers fails,
# naming the planted file.
set -euo pipefail
cd "$(dirname "$0")/.."

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir -p "$work/tools"
cp tools/layers.sh "$work/tools/"
for d in core config ipc command app res sitetools standins; do cp -r "$d" "$work/"; done

failures=0
if ! "$work/tools/layers.sh" >/dev/null 2>"$work/out"; then
  echo "layers-test: the tree as it is fails:" >&2
  cat "$work/out" >&2
  failures=1
fi

# plant FILE LINE: the check fails on the tree with FILE holding LINE.
plant() {
  local file=$1 line=$2
  printf '#pragma once\n%s\n' "$line" >"$work/$file"
  if "$work/tools/layers.sh" >/dev/null 2>"$work/out"; then
    echo "layers-test: passed with $file: $line" >&2
    failures=$((failures + 1))
  elif ! grep -qF "$file" "$work/out"; then
    echo "layers-test: $file: $line failed without naming the file:" >&2
    cat "$work/out" >&2
    failures=$((failures + 1))
  fi
  rm "$work/$file"
}

plant core/planted.h '#include "config/profile.h"'
plant config/planted.cpp '#include <command/take.h>'
plant ipc/planted.h '#  include <app/driver.h>'
plant core/planted.cpp '#include <windows.h>'
plant core/planted.h '#include <windef.h>'
plant core/planted.h '#include <winbase.h>'
plant core/planted.h '#include <WinUser.h>'
plant core/planted.h '#include <shellapi.h>'
plant config/planted.hpp '#include "app/driver.h"'
plant command/planted.inl '#include "app/driver.h"'
plant ipc/planted.cc '#include "command/take.h"'
plant sitetools/planted.cpp '#include "app/driver.h"'
plant sitetools/planted.h '#include <command/take.h>'
plant app/planted.cpp '#include "sitetools/sitefiles.h"'
plant config/planted.h '#include <sitetools/sitefiles.h>'
plant command/planted.cpp '#include "res/resource.h"'
plant app/planted.cpp '#include "tests/support/site.h"'
plant core/planted.h '#include "../app/driver.h"'
plant app/planted.cpp '#include "app/test_support.h"'
plant command/planted.cpp '#include <ipc/test_support.h>'
plant standins/planted.cpp '#include "sitetools/check/text.h"'
plant standins/infosim/planted.h '#include <sitetools/sitefiles.h>'

if [ $failures -gt 0 ]; then
  echo "layers-test: $failures case(s) wrong" >&2
  exit 1
fi
echo "layers-test: the tree passes and every planted include fails"
