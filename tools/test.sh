#!/usr/bin/env bash
# Sets up a fresh machine, builds tavero and runs the whole test suite.
set -euo pipefail
cd "$(dirname "$0")/.."
./tools/setup.sh
# the C++ unit tests of the library core (pipeline, number formatting, fonts, raster engine)
for dir in build/cp3*; do
  if [ -f "$dir/CTestTestfile.cmake" ]; then
    ctest --test-dir "$dir" --output-on-failure
  fi
done
# run from the tests folder so that the installed package is imported, not the source tree
python3 -m pytest -q -p no:cacheprovider tests "$@"
