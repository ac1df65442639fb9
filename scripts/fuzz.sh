#!/usr/bin/env bash
# Runs every fuzz target of a fuzz build for a while, one after the other, and
# prints per target the runs, the coverage edges and the crashes found.
#
#   scripts/fuzz.sh FUZZ_BUILD_DIR [SECONDS_PER_TARGET [TARGET...]]
#
# Each target starts from its committed corpus (tests/fuzz/corpus/TARGET) plus
# what earlier runs found (FUZZ_BUILD_DIR/corpus/TARGET, where new inputs go),
# with its dictionary if there is one. A crash stops that target and leaves
# its reproducer in FUZZ_BUILD_DIR/crashes/TARGET/; the log of every run is in
# FUZZ_BUILD_DIR/logs/TARGET.log. Exits 1 when anything crashed.
set -uo pipefail

if (($# < 1)); then
  echo "usage: $0 FUZZ_BUILD_DIR [SECONDS_PER_TARGET [TARGET...]]" >&2
  exit 2
fi
build=$(realpath "$1")
seconds=${2:-60}
shift $(($# < 2 ? $# : 2))
source_dir=$(realpath "$(dirname "$0")/..")/tests/fuzz
export ASAN_SYMBOLIZER_PATH=${ASAN_SYMBOLIZER_PATH:-$(command -v llvm-symbolizer-14 || true)}

if (($# > 0)); then
  targets=("${@/#/$build/tests/fuzz/}")
else
  mapfile -t targets < <(find "$build/tests/fuzz" -maxdepth 1 -type f -executable -name 'fuzz_*' | sort)
fi
if ((${#targets[@]} == 0)); then
  echo "fuzz: no targets in $build/tests/fuzz (build them with make build-fuzz)" >&2
  exit 2
fi

failed=0
printf '%-24s %14s %8s %8s\n' target runs edges crashes
for target in "${targets[@]}"; do
  name=$(basename "$target")
  work="$build/corpus/$name"
  crashes="$build/crashes/$name"
  log="$build/logs/$name.log"
  mkdir -p "$work" "$crashes" "$(dirname "$log")"
  # An input takes milliseconds; the generous per-input limit still catches a
  # hang without reporting one when a busy machine leaves the target waiting.
  args=(-max_total_time="$seconds" -timeout="${FUZZ_TIMEOUT:-60}" -print_final_stats=1
        -artifact_prefix="$crashes/")
  [ -f "$source_dir/$name.dict" ] && args+=(-dict="$source_dir/$name.dict")

  before=$(find "$crashes" -type f | wc -l)
  "$target" "${args[@]}" "$work" "$source_dir/corpus/$name" >"$log" 2>&1
  rc=$?
  runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log" | tail -1)
  edges=$(grep -oE 'cov: [0-9]+' "$log" | tail -1 | cut -d' ' -f2)
  found=$(($(find "$crashes" -type f | wc -l) - before))
  printf '%-24s %14s %8s %8s\n' "$name" "${runs:-?}" "${edges:-?}" "$found"
  if ((rc != 0 || found > 0)); then
    failed=1
    grep -m1 -E 'ERROR:|runtime error|property does not hold' "$log" | sed 's/^/    /'
    ls -t "$crashes" | head -1 | sed "s|^|    reproducer: $crashes/|"
  fi
done
exit $failed
