#!/usr/bin/env bash
# tarnwick.exe under Wine downloads from the Linux simulated logger: Wine's COM port is a link to
# the simulator's pseudo-terminal. The pair must equal the generator's image of the same spec,
# the status file with the download moment added, and tarnwick.exe must show the downloaded
# image as the Linux build does.
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
  local rc=0 before after
  # The stamp has whole seconds, so it may lie up to a second before the start.
  before=$(date -u -d '-1 second' +%Y-%m-%dT%H:%M:%SZ)
  timeout 300 "$wine_run" "$WINEPREFIX" "$exe" download --port COM9 --chunk-size "$chunk" -o "$work/got" \
    >"$work/out" 2>"$work/err" || rc=$?
  after=$(date -u +%Y-%m-%dT%H:%M:%SZ)
  kill -INT "$sim_pid"; wait "$sim_pid" || true; sim_pid=
  "$linux" sample --model "$model" --points 1500 --seed 21 -o "$work/ref" >/dev/null
  if [[ $rc -ne 0 ]]; then
    echo "FAIL $name: exit $rc"; cat "$work/err"; failures=$((failures + 1))
  elif ! cmp -s "$work/got.bin" "$work/ref.bin"; then
    echo "FAIL $name: the block file differs from the simulated memory"; failures=$((failures + 1))
  elif ! same_status_with_stamp "$work/got.dat" "$work/ref.dat" "$before" "$after"; then
    echo "FAIL $name: $why"; failures=$((failures + 1))
  elif ! grep -q "1500 records" "$work/out"; then
    echo "FAIL $name: no summary line"; cat "$work/out"; failures=$((failures + 1))
  elif ! same_view got info || ! same_view got info --json ||
    ! same_view got tracks --tz Europe/Helsinki; then
    echo "FAIL $name: $why"; failures=$((failures + 1))
  else
    echo "ok   $name"
  fi
}

# same_status_with_stamp GOT WANT BEFORE AFTER: GOT is WANT byte for byte with the section of
# the download moment after it, a UTC time from BEFORE to AFTER; else says why in $why.
same_status_with_stamp() {
  local head=$work/want-head stamp
  { cat "$2"; printf '\r\n[Download]\r\nTimeUTC='; } >"$head"
  stamp=$(tail -c +$(($(stat -c %s "$head") + 1)) "$1" | head -c 20)
  if ! { cat "$head"; printf '%s\r\n' "$stamp"; } | cmp -s - "$1"; then
    why="the status file is not the simulated memory's with the download section after it"
    return 1
  fi
  if [[ ! $stamp =~ ^[0-9]{4}-[0-9]{2}-[0-9]{2}T[0-9]{2}:[0-9]{2}:[0-9]{2}Z$ ||
    $stamp < $3 || $stamp > $4 ]]; then
    why="download time $stamp is not a UTC time from $3 to $4"
    return 1
  fi
}

# same_view BASE COMMAND [OPTIONS...]: tarnwick.exe shows BASE, a name in $work, as the Linux
# build does; else says why in $why. (A Windows program takes an argument that starts with a
# slash for an option: the name is given relative to the folder.)
same_view() {
  local base=$1 cmd=$2
  shift 2
  if ! (cd "$work" && "$wine_run" "$WINEPREFIX" "$exe" "$cmd" "$base" "$@") >"$work/view.exe" \
    2>"$work/view.err" || ! (cd "$work" && "$linux" "$cmd" "$base" "$@") >"$work/view.linux" ||
    ! cmp -s "$work/view.exe" "$work/view.linux" || [[ -s $work/view.err ]]; then
    why="tarnwick.exe $cmd $* shows the download otherwise than Linux: $(diff "$work/view.linux" "$work/view.exe" | head -n 5; cat "$work/view.err")"
    return 1
  fi
}

download gt900 16 ""
download gt120 8 ""
download gt120 16 "random=0.12,late@3,stray@7"
download gt120 8 "late:650@5,late:1250@9"
exit $((failures > 0))
