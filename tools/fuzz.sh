#!/bin/sh
# Runs the two libFuzzer targets side by side for the given number of seconds.
# Each starts from the kept corpus (tests/fuzz/corpus/<target>) and adds what it
# finds to a working corpus under the build folder; a crashing input is saved as
# <build>/crash-<target>-*: fix its cause, then keep it in the kept corpus, which
# `make test` replays.
set -u
build=$1
seconds=$2
top=$(cd "$(dirname "$0")/.." && pwd)
status=0
for target in commands pools; do
  mkdir -p "$build/corpus/$target"
  "$build/kv_fuzz_$target" -max_total_time="$seconds" -print_final_stats=1 -timeout=10 \
    -artifact_prefix="$build/crash-$target-" "$build/corpus/$target" "$top/tests/fuzz/corpus/$target" \
    >"$build/$target.log" 2>&1 &
done
wait
for target in commands pools; do
  done_line=$(grep -E '^#[0-9]+[[:space:]].*cov:' "$build/$target.log" | tail -n 1 | sed -E 's/^#[0-9]+[[:space:]]+[A-Z]+[[:space:]]+//')
  runs=$(grep -E 'stat::number_of_executed_units' "$build/$target.log" | awk '{print $2}')
  echo "fuzz $target: ${seconds} s, ${runs:-?} inputs run; ${done_line:-no final line, see $build/$target.log}"
  crashes=$(ls "$build"/crash-"$target"-* 2>/dev/null)
  if [ -n "$crashes" ]; then
    echo "  crashing inputs: $crashes"
    grep -E 'does not hold|ERROR: AddressSanitizer|runtime error' "$build/$target.log" | head -n 3 | sed 's/^/  /'
    status=1
  fi
done
exit $status
