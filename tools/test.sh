#!/usr/bin/env bash
# Sets up a fresh machine, builds tavero and runs the whole test suite.
set -euo pipefail
cd "$(dirname "$0")/.."
./tools/setup.sh
# the C++ unit tests of the library core (pipeline, number formatting, fonts, raster engine)
cmake -S . -B build/ctest -G Ninja -DTAVERO_CPP_TESTS=ON >/dev/null
cmake --build build/ctest >/dev/null
ctest --test-dir build/ctest --output-on-failure
# run from the tests folder so that the installed package is imported, not the source tree
python3 -m pytest -q -p no:cacheprovider tests "$@"
