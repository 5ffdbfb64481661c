#!/usr/bin/env bash
# Sets up the machine, builds everything with the sanitizers and runs every test,
# including short seeded runs of the fuzz harnesses.
#   scripts/test.sh            everything, as CI runs it
#   scripts/test.sh --quick    the sanitizer build and the unit and window tests only
# Further arguments go to ctest (for example -R MailSettings).
set -euo pipefail
cd "$(dirname "$0")/.."

quick=""
if [ "${1:-}" = "--quick" ]; then
  quick=1
  shift
fi

fuzz_dir=""
if [ -z "$quick" ]; then
  scripts/setup.sh

  # Every tracked C++ file is kept as .clang-format says.
  git ls-files -z '*.cpp' '*.h' | xargs -0 clang-format-14 --dry-run --Werror

  # The fuzz harnesses need clang; their short runs are registered with the other tests.
  if command -v clang++-14 >/dev/null && ls tests/fuzz/fuzz_*.cpp >/dev/null 2>&1; then
    cmake -S tests/fuzz -B build/fuzz -G Ninja -DCMAKE_CXX_COMPILER=clang++-14 >/dev/null
    cmake --build build/fuzz
    fuzz_dir="$PWD/build/fuzz"
  fi

  # The Debian package is a release build of its own; its checks are registered with the tests.
  scripts/package.sh
fi

launcher=()
if command -v ccache >/dev/null; then
  launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
fi
package_dir=""
[ -n "$quick" ] || package_dir="$PWD/build/package"
cmake -S . -B build/test -G Ninja -DCMAKE_BUILD_TYPE=Debug "${launcher[@]}" \
  -DVELDRANO_SANITIZE=ON -DVELDRANO_WERROR=ON -DVELDRANO_FUZZ_DIR="$fuzz_dir" \
  -DVELDRANO_PACKAGE_DIR="$package_dir" >/dev/null
cmake --build build/test
if [ -n "$quick" ]; then
  ctest --test-dir build/test --output-on-failure -j2 -L '^(unit|window)$' "$@"
else
  ctest --test-dir build/test --output-on-failure -j2 "$@"
fi
