#!/bin/sh
# Times how long kalder takes to reach its third question (the run title) with a list of
# many data files: the names are checked, held for the run and mended before the title is
# asked. Each data file is a copy of tests/data/min.rwl. The answers end at the title, so
# the run ends there (status 3) and the figure includes the run's end.
# Usage: bench/kalder_list.sh [build folder] [file counts...]   (default: 100 400 1500)
set -e
root="$(cd "$(dirname "$0")/.." && pwd)"
build="$(cd "${1:-$root/build}" && pwd)"
[ $# -gt 0 ] && shift
counts="${*:-100 400 1500}"
cmake --build "$build" -j "$(nproc)" --target kalder >/dev/null
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
for count in $counts; do
  dir="$work/list_$count"
  mkdir "$dir"
  cd "$dir"
  k=1
  while [ "$k" -le "$count" ]; do
    cp "$root/tests/data/min.rwl" "site$k.rwl"
    echo "site$k.rwl" >> files.txt
    k=$((k + 1))
  done
  printf '\nfiles.txt\n' | /usr/bin/time -f "%e %M" -o time.txt "$build/kalder" > console.txt || true
  grep -q "enter your overall run title" console.txt || { echo "$count files: no title question"; exit 1; }
  read seconds kilobytes <<EOF
$(tail -n 1 time.txt)
EOF
  echo "$count data files to the title question: ${seconds} s wall, $((kilobytes / 1024)) MiB peak"
done
