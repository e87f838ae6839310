#!/usr/bin/env bash
# Builds Tarnwick and runs the main job: writes a generated sample image and shows it.
set -euo pipefail
cd "$(dirname "$0")"
scripts/install-deps
scripts/build

tarnwick=build/src/cli/tarnwick
demo=build/demo
mkdir -p "$demo"
"$tarnwick" sample --model gt900 --points 3000 --seed 7 -o "$demo/trip"
echo
"$tarnwick" info "$demo/trip"
echo
"$tarnwick" tracks "$demo/trip"
