#!/bin/sh
# Times kalder in batch mode on synthetic ring-width files of (a) 100 series x 300 years
# and (b) 1500 series x 500 years, with the default options, and prints the wall time and
# the peak memory of each run. Usage: bench/kalder_run.sh [build folder]
set -e
root="$(cd "$(dirname "$0")/.." && pwd)"
build="$(cd "${1:-$root/build}" && pwd)"
cmake --build "$build" -j "$(nproc)" --target kalder bench_synthetic_rwl >/dev/null
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
cd "$work"
for size in "100 300" "1500 500"; do
  set -- $size
  name="synthetic_${1}x${2}.rwl"
  "$build/bench_synthetic_rwl" "$1" "$2" "$name"
  printf '%s\n' "$name" > files.txt
  # An interactive run that stops after writing the log file with the default options.
  printf '\nfiles.txt\nbenchmark\nn\n\nn\n' | "$build/kalder" >/dev/null || true
  /usr/bin/time -f "%e %M" -o time.txt "$build/kalder" >/dev/null <<ANSWERS

files.txt
benchmark
y

ANSWERS
  read seconds kilobytes < time.txt
  echo "$1 series x $2 years: ${seconds} s wall, $((kilobytes / 1024)) MiB peak"
done
