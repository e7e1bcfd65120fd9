#!/bin/sh
# Runs CTest in a build folder: a line as it starts (with the count of test cases)
# and one as it ends (with the time taken); on failure everything it printed.
# Extra arguments go to ctest.
dir=$1
shift
count=$(cd "$dir" && ctest -N "$@" | sed -n 's/^Total Tests: //p')
echo "$dir: $count test cases..."
started=$(date +%s)
log=$(mktemp)
# A Wine process now and then hangs on its way out after its test has passed: a
# case that times out runs once more, and a real hang times out twice.
(cd "$dir" && ctest --output-on-failure -j2 --repeat after-timeout:2 "$@") >"$log" 2>&1
status=$?
if [ $status -eq 0 ]; then
  echo "$dir: $(grep -E 'tests passed' "$log" | sed 's/^100% tests passed, //'), in $(( $(date +%s) - started )) s"
else
  cat "$log"
fi
rm -f "$log"
exit $status
