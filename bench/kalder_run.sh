#!/bin/sh
# Times kalder in batch mode on synthetic ring-width files of (a) 100 series x 300 years
# and (b) 1500 series x 500 years, and prints the wall time and the peak memory of each
# run. The options are the defaults, or with "bootstrap" the biweight mean with bootstrap
# limits and their 20-year spline (option 12 = 2 1 20).
# Usage: bench/kalder_run.sh [build folder] [bootstrap]
set -e
root="$(cd "$(dirname "$0")/.." && pwd)"
build="$(cd "${1:-$root/build}" && pwd)"
case "${2:-}" in
  "") mean_record="" ;;
  bootstrap) mean_record="2   1   20   0     " ;;
  *) echo "usage: $0 [build folder] [bootstrap]" >&2; exit 2 ;;
esac
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
  # The option 12 record (line 13) takes its first 18 columns from the mean record.
  [ -z "$mean_record" ] || sed -i "13s/^.\{18\}/$mean_record/" "${name}_log.txt"
  /usr/bin/time -f "%e %M" -o time.txt "$build/kalder" >/dev/null <<ANSWERS

files.txt
benchmark
y

ANSWERS
  read seconds kilobytes < time.txt
  echo "$1 series x $2 years: ${seconds} s wall, $((kilobytes / 1024)) MiB peak"
done
