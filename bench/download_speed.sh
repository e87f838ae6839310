#!/usr/bin/env bash
# Times a full-memory download (65,535 records, 512 point blocks) from the simulated logger
# over a pseudo-terminal, at 128 KiB/s and at 1 MiB/s, against what the link itself needs:
# the simulator's delivery time (its bytes at its rate plus its turnaround per reply) plus
# the 4.8 s that the drain before a download takes with a silent logger (16 reads of 200 ms
# and 16 pauses of 100 ms). The simulator sends no text of its own here, so that the drain
# takes exactly that long.
#
# Usage: bench/download_speed.sh [--build DIR] [--chunk-size 8|16] [--with-timed-drain]
#   --with-timed-drain  also times the download with [Setting] FastDrain=0, which waits for
#                       the read time-out before every command (adds about 100 s per rate)
set -euo pipefail
cd "$(dirname "$0")/.."

build=build
chunk=16
timed=0
while [ $# -gt 0 ]; do
  case "$1" in
    --build) build=$2; shift 2 ;;
    --chunk-size) chunk=$2; shift 2 ;;
    --with-timed-drain) timed=1; shift ;;
    *) echo "usage: $0 [--build DIR] [--chunk-size 8|16] [--with-timed-drain]" >&2; exit 2 ;;
  esac
done

tarnwick=$build/src/cli/tarnwick
if [ ! -x "$tarnwick" ]; then
  echo "download_speed: build first ($tarnwick is missing)" >&2
  exit 1
fi

work=$(mktemp -d)
sim_pid=
cleanup() {
  if [ -n "$sim_pid" ]; then
    kill -TERM "$sim_pid" 2>/dev/null || true
    wait "$sim_pid" 2>/dev/null || true
  fi
  rm -rf "$work"
}
trap cleanup EXIT

# A copy of the program, so that its settings file (beside it) belongs to this run alone.
cp "$tarnwick" "$work/tarnwick"

preread=4.8

run() { # RATE FASTDRAIN -> prints "measured baseline ratio"
  local rate=$1 fast=$2
  printf '[Setting]\nFastDrain=%s\n' "$fast" >"$work/tarnwick.ini"
  rm -f "$work/sim.out" "$work/image.dat" "$work/image.bin"
  "$work/tarnwick" simulate --model gt900 --points 65535 --seed 1 --chunk-size "$chunk" \
    --rate "$rate" --nmea-interval 0 --no-register >"$work/sim.out" 2>"$work/sim.err" &
  sim_pid=$!
  for _ in $(seq 600); do
    [ -s "$work/sim.out" ] && break
    sleep 0.1
  done
  local port
  port=$(head -n 1 "$work/sim.out")
  local t0 t1
  t0=$(date +%s.%N)
  if ! "$work/tarnwick" download --port "$port" --chunk-size "$chunk" -o "$work/image" \
    >/dev/null 2>"$work/download.err"; then
    tail -n 5 "$work/download.err" >&2
    kill -TERM "$sim_pid"
    wait "$sim_pid" || true
    return 1
  fi
  t1=$(date +%s.%N)
  kill -INT "$sim_pid"
  wait "$sim_pid"
  sim_pid=
  local delivery
  delivery=$(sed -n 's/.*delivery time \([0-9.]*\) s.*/\1/p' "$work/sim.err")
  awk -v t0="$t0" -v t1="$t1" -v d="$delivery" -v p="$preread" \
    'BEGIN { m = t1 - t0; b = d + p; printf "%.2f %.2f %.3f\n", m, b, m / b }'
}

echo "Full-memory download, 512 blocks, chunk size $chunk, over a pseudo-terminal"
printf '%-12s %-10s %12s %12s %8s\n' "rate" "drain" "download s" "baseline s" "ratio"
for rate in 131072 1048576; do
  label=$([ "$rate" = 131072 ] && echo "128 KiB/s" || echo "1 MiB/s")
  out=$(run "$rate" 1) || { echo "download_speed: the run at $label failed" >&2; exit 1; }
  read -r m b r <<<"$out"
  printf '%-12s %-10s %12s %12s %8s\n' "$label" "fast" "$m" "$b" "$r"
  if [ "$timed" = 1 ]; then
    out=$(run "$rate" 0) || { echo "download_speed: the run at $label failed" >&2; exit 1; }
    read -r m b r <<<"$out"
    printf '%-12s %-10s %12s %12s %8s\n' "$label" "timed" "$m" "$b" "$r"
  fi
done
echo "baseline: the simulator's delivery time (bytes at its rate + 2 ms per reply) + $preread s"
