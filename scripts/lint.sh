#!/usr/bin/env bash
# Runs clang-tidy with the repository's .clang-tidy over the program's own sources, from the
# build's compile_commands.json. Usage: scripts/lint.sh [build-dir]; fails on any finding.
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-build/default}
case "$build" in /*) ;; *) build="$root/$build" ;; esac
if [ ! -f "$build/compile_commands.json" ]; then
  echo "lint: no $build/compile_commands.json; configure first (cmake --preset default)" >&2
  exit 2
fi
# Qt's generated sources (moc) must exist for the sources that include them.
cmake --build "$build" --target kadrill >/dev/null

jobs=$(nproc 2>/dev/null || echo 2)
run-clang-tidy -quiet -p "$build" -j "$jobs" "^$root/src/.*\.cpp\$" 2>/dev/null |
  sed 's/\x1b\[[0-9;]*m//g' | grep -E '(warning|error):' | sort -u >"$build/lint.txt" || true
if [ -s "$build/lint.txt" ]; then
  cat "$build/lint.txt"
  echo "lint: $(wc -l <"$build/lint.txt") finding(s)" >&2
  exit 1
fi
echo "lint: clean"
