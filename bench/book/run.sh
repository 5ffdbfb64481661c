#!/usr/bin/env bash
# Builds the program with optimisation and runs the book, vCard and mail benchmarks beside
# their baselines (abook among them, which it
# installs first when this machine lacks it).
set -euo pipefail
cd "$(dirname "$0")/../.."
if ! command -v abook >/dev/null; then
  echo "abook is missing: installing Debian's abook to compare with"
  SUDO=""
  [ "$(id -u)" -eq 0 ] || SUDO="sudo"
  $SUDO apt-get install -y -qq abook >/dev/null
fi
scripts/build.sh
build/release/bench/book/bench_book build/release/bin/torvikalen "$@"
build/release/bench/interchange/bench_vcard_convert build/release/bin/torvikalen
build/release/bench/smtp/bench_smtp
