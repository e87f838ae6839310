#!/usr/bin/env bash
# Builds Tarnwick and runs the demo. With a display: the viewer on a simulated logger, which
# its start-up scan finds like a logger on USB ("Download Data" reads it). Without one: a
# simulated logger on a pseudo-terminal, a download from it with the command-line tool, the
# status and tracks of what came down, and a GPX export.
set -euo pipefail
cd "$(dirname "$0")"
scripts/install-deps
scripts/build

if [ -n "${DISPLAY:-}" ] || [ -n "${WAYLAND_DISPLAY:-}" ]; then
  exec build/src/viewer/tarnwick-viewer --simulate "$@"
fi

tarnwick=build/src/cli/tarnwick
demo=build/demo
mkdir -p "$demo"
rm -f "$demo/sim.port"

# --no-register and --port keep a real logger on this machine out of the demo.
"$tarnwick" simulate --model gt900 --points 3000 --seed 7 --no-register \
  >"$demo/sim.port" 2>"$demo/sim.log" &
sim=$!
trap 'kill -INT "$sim" 2>/dev/null || true; wait "$sim" 2>/dev/null || true' EXIT
for _ in $(seq 300); do
  [ -s "$demo/sim.port" ] && break
  kill -0 "$sim" 2>/dev/null || { cat "$demo/sim.log" >&2; exit 1; }
  sleep 0.1
done
port=$(head -n 1 "$demo/sim.port")
echo "Simulated GT-900 on $port"

"$tarnwick" download --port "$port" -o "$demo/trip"
echo
"$tarnwick" info "$demo/trip"
echo
"$tarnwick" tracks "$demo/trip"
echo
"$tarnwick" export "$demo/trip" --track 1 -o "$demo/trip-track1.gpx"
echo "GPX file: $(realpath "$demo/trip-track1.gpx")"
