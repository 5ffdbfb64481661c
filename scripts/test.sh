#!/usr/bin/env bash
# Sets up the machine, builds everything with the sanitizers and runs every test,
# including short runs of the fuzz harnesses.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh

# Every tracked C++ file is kept as .clang-format says.
git ls-files -z '*.cpp' '*.h' | xargs -0 clang-format-14 --dry-run --Werror

# The fuzz harnesses need clang; their short runs are registered with the other tests.
fuzz_dir=""
if command -v clang++-14 >/dev/null && ls tests/fuzz/fuzz_*.cpp >/dev/null 2>&1; then
  cmake -S tests/fuzz -B build/fuzz -G Ninja -DCMAKE_CXX_COMPILER=clang++-14 >/dev/null
  cmake --build build/fuzz
  fuzz_dir="$PWD/build/fuzz"
fi

# The Debian package is a release build of its own; its checks are registered with the tests.
scripts/package.sh

cmake -S . -B build/test -G Ninja -DCMAKE_BUILD_TYPE=Debug \
  -DVELDRANO_SANITIZE=ON -DVELDRANO_WERROR=ON -DVELDRANO_FUZZ_DIR="$fuzz_dir" \
  -DVELDRANO_PACKAGE_DIR="$PWD/build/package" >/dev/null
cmake --build build/test
ctest --test-dir build/test --output-on-failure -j2 "$@"
