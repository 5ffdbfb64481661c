#!/usr/bin/env bash
# Builds the program with optimisation and runs the sync benchmark beside vdirsyncer, on a
# Radicale server the benchmark starts itself (scripts/setup.sh installs both).
set -euo pipefail
cd "$(dirname "$0")/../.."
scripts/setup.sh
scripts/build.sh
/usr/bin/python3 bench/sync/bench_sync.py build/release/bin/torvikalen "$@"
# The peak memory of a sync at 100,000 cards, against generated answers.
/usr/bin/python3 bench/sync/many_cards.py 100000 build/release/bench/sync/bench_sync_memory
