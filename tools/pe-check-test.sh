#!/usr/bin/env bash
# The floor's check checked: tools/pe-check.sh must fail on a program that
# calls functions of Windows Vista (GetTickCount64, InitializeSRWLock), on
# one whose header asks for Windows Vista's subsystem 6.0, and on a DLL
# outside the system set, naming each; and pass a program that keeps to the
# floor. Builds the throwaway programs with the release compiler in a
# temporary folder.
set -euo pipefail
tools=$(cd "$(dirname "$0")" && pwd)
cxx=i686-w64-mingw32-g++-win32
work=$(mktemp -d /tmp/zur-pe-check.XXXXXX)
trap 'rm -rf "$work"' EXIT

cat >"$work/floor.cpp" <<'SRC'
#include <windows.h>
int main() { return GetTickCount() == 0; }
SRC
cat >"$work/vista.cpp" <<'SRC'
#include <windows.h>
extern "C" __declspec(dllimport) ULONGLONG WINAPI GetTickCount64(void);
extern "C" __declspec(dllimport) void WINAPI InitializeSRWLock(void** lock);
int main() { void* lock; InitializeSRWLock(&lock); return GetTickCount64() == 0; }
SRC
cat >"$work/shell.cpp" <<'SRC'
#include <windows.h>
extern "C" __declspec(dllimport) int WINAPI ShellAboutA(HWND, const char*, const char*, HICON);
int main() { return ShellAboutA(nullptr, "a", "b", nullptr); }
SRC
flags=(-D_WIN32_WINNT=0x0501 -O1 -static -Wl,--major-subsystem-version,5,--minor-subsystem-version,1)
"$cxx" "${flags[@]}" "$work/floor.cpp" -o "$work/floor.exe"
"$cxx" "${flags[@]}" "$work/vista.cpp" -o "$work/vista.exe"
"$cxx" "${flags[@]}" "$work/shell.cpp" -o "$work/shell.exe" -lshell32
"$cxx" -D_WIN32_WINNT=0x0501 -O1 -static -Wl,--major-subsystem-version,6,--minor-subsystem-version,0 \
  "$work/floor.cpp" -o "$work/subsystem6.exe"

failures=0
# expect FILE STATUS PATTERN...: pe-check's exit status and what it names.
expect() {
  local file=$1 want=$2 out status=0
  shift 2
  out=$("$tools/pe-check.sh" "$work/$file" 2>&1) || status=$?
  if [ "$want" = pass ] && [ $status -ne 0 ]; then
    echo "pe-check-test: $file should pass: $out" >&2; failures=$((failures + 1)); return
  fi
  if [ "$want" = fail ] && [ $status -eq 0 ]; then
    echo "pe-check-test: $file should fail: $out" >&2; failures=$((failures + 1)); return
  fi
  for pattern in "$@"; do
    grep -q -- "$pattern" <<<"$out" || { echo "pe-check-test: $file: '$pattern' not named: $out" >&2; failures=$((failures + 1)); }
  done
}
expect floor.exe pass
expect vista.exe fail "GetTickCount64 from KERNEL32.dll" "InitializeSRWLock from KERNEL32.dll"
expect shell.exe fail "imports SHELL32.dll, which is not a system DLL"
expect subsystem6.exe fail "subsystem 6.0"
if [ $failures -gt 0 ]; then exit 1; fi
echo "pe-check-test: the check fails on Vista's functions, its subsystem and a DLL outside the set, and passes the floor"
