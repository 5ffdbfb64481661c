#!/usr/bin/env bash
# Builds the program's Debian package into build/package (release build, installed under /usr).
set -euo pipefail
cd "$(dirname "$0")/.."
cmake -S . -B build/package -G Ninja -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX=/usr \
  -DVELDRANO_BUILD_TESTS=OFF -DVELDRANO_BUILD_BENCH=OFF >/dev/null
cmake --build build/package
rm -f build/package/*.deb
(cd build/package && cpack -G DEB >/dev/null)
ls build/package/*.deb
