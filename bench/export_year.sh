#!/usr/bin/env bash
# The export benchmark: a one-year interval log of 15-minute intervals for 8 lanes (about
# 280,000 lines, from scripts/make-year-log) exported with qvx to 3-card and to CSV. Prints
# the wall time and peak memory of each export and the file sizes; the targets are under 0.5 s
# and under 100 MB each.
#   bench/export_year.sh [QVX]      QVX: the qvx program (default: the release build's, else debug)
set -euo pipefail
cd "$(dirname "$0")/.."
qvx="${1:-}"
if [ -z "$qvx" ]; then
  for candidate in build/release/src/cli/qvx build/debug/src/cli/qvx; do
    if [ -x "$candidate" ]; then qvx="$candidate"; break; fi
  done
fi
[ -x "$qvx" ] || { echo "export_year: build qvx first (cmake --build build/release --target qvx)"; exit 1; }

work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
scripts/make-year-log "$work/year.log"
echo "log: $(wc -l <"$work/year.log") lines, $(stat -c %s "$work/year.log") bytes ($qvx)"

measure() {
  local name="$1"; shift
  # %e wall seconds, %U + %S processor seconds, %M peak resident set in KB. On a busy machine the
  # processor time is the figure to compare; the wall time includes waiting for a core and the disk.
  /usr/bin/time -f "%e %U %S %M" -o "$work/time" "$qvx" "$@" >/dev/null
  read -r seconds user sys kb <"$work/time"
  echo "$name: ${seconds} s wall, $(awk "BEGIN{print $user + $sys}") s processor, peak memory $((kb / 1024)) MB"
}

measure "3card" export 3card "$work/year.log" --from 2011-01-01 --to 2011-12-31 --station 42 --state Ohio \
  --class 01 --lane "LANE 1=1:N" --lane "LANE 2=2:N" --lane "LANE 3=3:N" --lane "LANE 4=4:N" \
  --lane "LANE 5=1:S" --lane "LANE 6=2:S" --lane "LANE 7=3:S" --lane "LANE 8=4:S" --overwrite
measure "csv" export csv "$work/year.log" --out "$work/year.csv"
echo "3card file: $(stat -c %s "$work/000042.TM3") bytes, $(wc -l <"$work/000042.TM3") records"
echo "csv file: $(stat -c %s "$work/year.csv") bytes, $(wc -l <"$work/year.csv") rows"
