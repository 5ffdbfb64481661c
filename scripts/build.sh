#!/usr/bin/env bash
# Configures and builds the program (release build) into build/release.
set -euo pipefail
cd "$(dirname "$0")/.."
cmake -S . -B build/release -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DVELDRANO_BUILD_TESTS=OFF -DVELDRANO_BUILD_BENCH=ON >/dev/null
cmake --build build/release
