#!/usr/bin/env bash
# Sets up a fresh machine, builds tavero and runs the benchmarks against matplotlib; the table
# goes to bench/RESULTS.md. Extra arguments go to bench/run.py (--quick, --cases W1_png,...).
set -euo pipefail
cd "$(dirname "$0")/.."
./tools/setup.sh
python3 -m pip install -q matplotlib
python3 bench/run.py "$@"
