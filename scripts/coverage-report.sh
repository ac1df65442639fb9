#!/usr/bin/env bash
# Prints line and branch coverage of src/ and tools/ from both coverage builds
# (make coverage), each read with the gcov of its own compiler, merged with
# gcovr. Branches that only exception handling or unreachable code would take
# are left out: nothing in the program throws.
#
#   scripts/coverage-report.sh COVERAGE_DIR
set -euo pipefail

dir=$(realpath "$1")
root=$(realpath "$(dirname "$0")/..")
cd "$root"

common=(--root "$root" --exclude-throw-branches --exclude-unreachable-branches
        --filter "$root/src/" --filter "$root/tools/")
gcovr "${common[@]}" --object-directory "$dir/native" --gcov-executable gcov \
      --json "$dir/native.json" "$dir/native"
gcovr "${common[@]}" --object-directory "$dir/windows" --gcov-executable x86_64-w64-mingw32-gcov \
      --json "$dir/windows.json" "$dir/windows"

merged=(--root "$root" --add-tracefile "$dir/native.json" --add-tracefile "$dir/windows.json")
gcovr "${merged[@]}" --filter "$root/src/" --filter "$root/tools/"
for part in src tools; do
  echo "== $part/"
  gcovr "${merged[@]}" --filter "$root/$part/" --print-summary --output /dev/null
done
