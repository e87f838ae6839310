#!/usr/bin/env bash
# Whole-process read of a large GPX file: `tarnwick gpx-info FILE` beside `gpsbabel -i gpx -f
# FILE` (which reads the file and writes its way points), alternated run by run so that both
# meet the same load on a shared machine. Prints the median CPU time (user + system) and wall
# time of each and how many times faster tarnwick is:
#   bench/gpx_info_vs_gpsbabel.sh [-n RUNS] [-t TARNWICK] [FILE.gpx]
# Without FILE it makes one from a simulated full GT-900 memory (46 tracks, 60,089 points with
# heart rate, cadence and speed, 233 way points; 23.8 MB) in a temporary folder.
set -euo pipefail
runs=9
tarnwick=build/src/cli/tarnwick
while getopts n:t: opt; do
  case $opt in
  n) runs=$OPTARG ;;
  t) tarnwick=$OPTARG ;;
  *) exit 2 ;;
  esac
done
shift $((OPTIND - 1))
command -v gpsbabel >/dev/null || { echo "needs gpsbabel on the PATH" >&2; exit 2; }
[ -x /usr/bin/time ] || { echo "needs /usr/bin/time (Debian package time)" >&2; exit 2; }

work=$(mktemp -d "${TMPDIR:-/tmp}/tarnwick-gpx-info-XXXXXX")
trap 'rm -rf "$work"' EXIT
file=${1:-}
if [ -z "$file" ]; then
  file=$work/big.gpx
  "$tarnwick" sample -m gt900 -n 65535 -o "$work/big" >/dev/null
  "$tarnwick" export "$work/big" --all -o "$file" >/dev/null
fi
echo "$(du -k "$file" | cut -f1) KiB: $file; $runs runs each, alternated; load $(cut -d' ' -f1-3 /proc/loadavg)"

# One untimed run each, so that the file and both programs are in the page cache.
"$tarnwick" gpx-info "$file" >/dev/null
gpsbabel -i gpx -f "$file" >/dev/null
for ((i = 0; i < runs; ++i)); do
  /usr/bin/time -a -o "$work/tarnwick.times" -f "%U %S %e" "$tarnwick" gpx-info "$file" >/dev/null
  /usr/bin/time -a -o "$work/gpsbabel.times" -f "%U %S %e" gpsbabel -i gpx -f "$file" >/dev/null
done

# The median of column expression EXPR over a times file, in milliseconds.
median() {
  awk "{ print ($2) * 1000 }" "$1" | sort -n | awk '{ v[NR] = $1 } END {
    print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2 }'
}
tc=$(median "$work/tarnwick.times" '$1 + $2')
gc=$(median "$work/gpsbabel.times" '$1 + $2')
tw=$(median "$work/tarnwick.times" '$3')
gw=$(median "$work/gpsbabel.times" '$3')
awk -v tc="$tc" -v gc="$gc" -v tw="$tw" -v gw="$gw" 'BEGIN {
  printf "CPU (user+sys): tarnwick %.0f ms, gpsbabel %.0f ms, tarnwick is %.1f times faster\n",
    tc, gc, gc / tc
  printf "wall:           tarnwick %.0f ms, gpsbabel %.0f ms, tarnwick is %.1f times faster\n",
    tw, gw, gw / tw }'
