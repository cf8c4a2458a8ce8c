#!/usr/bin/env bash
# Copies the shipped programs and libraries of one build into a dist folder.
set -euo pipefail
src=$1 dst=$2
mkdir -p "$dst"
shopt -s nullglob
for f in "$src"/*.exe "$src"/*.dll "$src"/*.DLL; do
  case "$(basename "$f")" in *_test.exe|*test*.exe) continue ;; esac
  cp -p "$f" "$dst/"
done
