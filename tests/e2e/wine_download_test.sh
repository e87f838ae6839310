#!/usr/bin/env bash
# tarnwick.exe under Wine downloads from the Linux simulated logger: Wine's COM port is a link to
# the simulator's pseudo-terminal. The pair must equal the generator's image of the same spec.
# Usage: wine_download_test.sh LINUX_TARNWICK TARNWICK_EXE WINE_RUN WINEPREFIX
#   WINE_RUN is the build's wrapper that runs a Windows program in the Wine folder WINEPREFIX.
set -euo pipefail
linux=$1 exe=$2 wine_run=$3
export WINEPREFIX=$4
work=$(mktemp -d)
sim_pid=
cleanup() {
  if [[ -n $sim_pid ]]; then kill -INT "$sim_pid" 2>/dev/null || true; wait "$sim_pid" 2>/dev/null || true; fi
  rm -f "$WINEPREFIX/dosdevices/com9"
  rm -rf "$work"
}
trap cleanup EXIT
mkdir -p "$WINEPREFIX/dosdevices"
export TARNWICK_SIM_DIR=$work/sims
failures=0

# download MODEL CHUNK FAULTS
download() {
  local model=$1 chunk=$2 faults=$3 name="$1-chunk$2${3:+-faults}"
  "$linux" simulate --model "$model" --points 1500 --seed 21 --chunk-size "$chunk" \
    --rate 1048576 --faults "$faults" --no-register >"$work/sim.out" 2>"$work/sim.err" &
  sim_pid=$!
  local port=
  for _ in $(seq 100); do
    port=$(head -n1 "$work/sim.out" 2>/dev/null || true)
    [[ -n $port ]] && break
    sleep 0.1
  done
  [[ -n $port ]] || { echo "FAIL $name: the simulator printed no port"; cat "$work/sim.err"; exit 1; }
  ln -sfn "$port" "$WINEPREFIX/dosdevices/com9"
  rm -f "$work/got.dat" "$work/got.bin"
  local rc=0
  timeout 300 "$wine_run" "$WINEPREFIX" "$exe" download --port COM9 --chunk-size "$chunk" -o "$work/got" \
    >"$work/out" 2>"$work/err" || rc=$?
  kill -INT "$sim_pid"; wait "$sim_pid" || true; sim_pid=
  "$linux" sample --model "$model" --points 1500 --seed 21 -o "$work/ref" >/dev/null
  if [[ $rc -ne 0 ]]; then
    echo "FAIL $name: exit $rc"; cat "$work/err"; failures=$((failures + 1))
  elif ! cmp -s "$work/got.bin" "$work/ref.bin" || ! cmp -s "$work/got.dat" "$work/ref.dat"; then
    echo "FAIL $name: the pair differs from the simulated memory"; failures=$((failures + 1))
  elif ! grep -q "1500 records" "$work/out"; then
    echo "FAIL $name: no summary line"; cat "$work/out"; failures=$((failures + 1))
  else
    echo "ok   $name"
  fi
}

download gt900 16 ""
download gt120 8 ""
download gt120 16 "random=0.12,late@3,stray@7"
download gt120 8 "late:650@5,late:1250@9"
exit $((failures > 0))
