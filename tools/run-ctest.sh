#!/bin/sh
# Runs CTest in a build folder: on success only the count of test cases, on
# failure everything it printed. Extra arguments go to ctest.
dir=$1
shift
log=$(mktemp)
(cd "$dir" && ctest --output-on-failure -j2 "$@") >"$log" 2>&1
status=$?
if [ $status -eq 0 ]; then
  echo "$dir: $(grep -E 'tests passed' "$log")"
else
  cat "$log"
fi
rm -f "$log"
exit $status
