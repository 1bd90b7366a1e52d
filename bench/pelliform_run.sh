#!/bin/sh
# Times pelliform's default run (the demo's answers: tucson ring widths, ratios, every
# default) on synthetic ring-width files of 1500 series x 500 years and of the program's
# limit, 4500 series x 500 years, and prints the wall time, the processor time and the peak
# memory of each run. Usage: bench/pelliform_run.sh [build folder] [series counts...]
set -e
root="$(cd "$(dirname "$0")/.." && pwd)"
build="$(cd "${1:-$root/build}" && pwd)"
[ $# -gt 0 ] && shift
counts="${*:-1500 4500}"
cmake --build "$build" -j "$(nproc)" --target pelliform bench_synthetic_rwl >/dev/null
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
cd "$work"
for series in $counts; do
  name="synthetic_${series}x500.rwl"
  "$build/bench_synthetic_rwl" "$series" 500 "$name"
  sed "1s/.*/$name/" "$root/examples/pelliform_answers.txt" > answers.txt
  /usr/bin/time -f "%e %U %S %M" -o time.txt "$build/pelliform" < answers.txt >/dev/null || true
  read seconds user system kilobytes < time.txt
  echo "$series series x 500 years: ${seconds} s wall (${user} s user, ${system} s system), $((kilobytes / 1024)) MiB peak"
done
