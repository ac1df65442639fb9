#!/usr/bin/env bash
# The band's main job as far as Linux can show it: the demo publisher fills the
# shared section, and the band's own poll and drawing code (without the
# DirectComposition window that Wine lacks) takes each new record and draws it.
# Run inside scripts/with-wine.sh (make run does).
#
#   scripts/run-demo.sh WINDOWS_BUILD_DIR OUTPUT_DIR [SECONDS]
set -euo pipefail
build=$1
out=$2
seconds=${3:-8}
exec_=$(dirname "$0")/wine-exec.sh

publisher="$build/tools/publisher/nimbrel-publisher.exe"
preview="$build/tools/nimbrel-preview.exe"

mkdir -p "$out"
"$exec_" "$publisher" --source demo --interval 500 >"$out/publisher.log" 2>&1 &
publisher_pid=$!
stop_publisher() {
  "$exec_" "$publisher" --stop >/dev/null 2>&1 || true
  wait "$publisher_pid" 2>/dev/null || true
}
trap stop_publisher EXIT

echo "Nimbrel demo: the band's poll and frames for ${seconds} s (publisher: demo traffic, a record every 500 ms)"
"$exec_" "$preview" --live "$seconds" "$out"
