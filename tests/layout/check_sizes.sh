#!/usr/bin/env bash
# The program's own sources stay small: no file over 400 lines, no function over 60 lines
# (clang-tidy's count, over the compile commands of the build folder given).
set -euo pipefail
build=$1
cd "$(dirname "$0")/../.."
folders=(text files keyring book interchange mail sync model qtsupport maildialog app cli)
status=0
while read -r lines file; do
  [ "$file" = total ] && continue
  if [ "$lines" -gt 400 ]; then echo "$file: $lines lines (at most 400)"; status=1; fi
done < <(git ls-files "${folders[@]/%//*.cpp}" "${folders[@]/%//*.h}" | xargs wc -l)

sources=$(git ls-files "${folders[@]/%//*.cpp}")
config='{Checks: "-*,readability-function-size", CheckOptions: [{key: readability-function-size.LineThreshold, value: 60}]}'
report=$(echo "$sources" | xargs -P"$(nproc)" -n8 clang-tidy-14 -p "$build" --quiet --config="$config" 2>/dev/null |
  grep -A1 'readability-function-size' || true)
if [ -n "$report" ]; then echo "$report"; status=1; fi
exit $status
