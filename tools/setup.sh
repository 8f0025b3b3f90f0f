#!/usr/bin/env bash
# Installs what building, testing and rendering need on a fresh Debian machine, then builds
# and installs tavero into the current Python. Safe to run again.
set -euo pipefail
cd "$(dirname "$0")/.."

PKGS="g++ cmake ninja-build ccache zlib1g-dev libdeflate-dev libx11-dev
      ghostscript qpdf poppler-utils librsvg2-bin libxml2-utils pngcheck libtiff-tools
      giflib-tools xvfb libwmf-bin xdotool x11-apps x11-utils"
missing=""
for p in $PKGS; do
  dpkg -s "$p" >/dev/null 2>&1 || missing="$missing $p"
done
if [ -n "$missing" ]; then
  SUDO=""
  [ "$(id -u)" -ne 0 ] && SUDO="sudo"
  $SUDO apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq $missing >/dev/null
fi

python3 -m pip install -q --upgrade pip >/dev/null 2>&1 || true
python3 -m pip install -q "scikit-build-core>=0.9" pytest numpy pillow
# the C++ unit tests are built in the same build tree (build/<wheel tag>) and run by tools/test.sh
python3 -m pip install -q --no-build-isolation -Ccmake.define.TAVERO_CPP_TESTS=ON .
