#!/usr/bin/env bash
# Sets up a fresh machine, builds tavero and renders the example gallery into gallery/.
set -euo pipefail
cd "$(dirname "$0")/.."
./tools/setup.sh
python3 examples/render_gallery.py gallery
echo "gallery written to $(pwd)/gallery/index.html"
