#!/usr/bin/env bash
# Runs the resource compiler (the command line in the arguments) and fails
# when it warns, as the compilers do with -Werror: windres only warns about a
# resource defined twice, for one, and then keeps the later copy.
set -uo pipefail
messages=$(mktemp)
"$@" 2>"$messages"
status=$?
cat "$messages" >&2
if [ $status -eq 0 ] && grep -q . "$messages"; then
  echo "windres-strict.sh: the resource compiler warned; warnings are errors" >&2
  status=1
fi
rm -f "$messages"
exit $status
