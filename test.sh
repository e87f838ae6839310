#!/usr/bin/env bash
# Builds Tarnwick and runs every test.
set -euo pipefail
cd "$(dirname "$0")"
scripts/install-deps
scripts/build
ctest --test-dir build --output-on-failure -j2 "$@"
