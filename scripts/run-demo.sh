#!/usr/bin/env bash
# `make run`: the real, unchanged Nimbrel.exe docked in a development taskbar
# on the X screen, fed by the demo publisher. The composition stand-in beside
# a copy of the exe (devrun/dcomp.dll, chosen by the DLL override) stands in
# for the DirectComposition that Wine lacks; on Windows none is used.
# Prints what the band shows for a while, saves pictures of the taskbar, closes
# the band through its own menu and stops everything.
# Run inside scripts/with-wine.sh (make run does).
#
#   scripts/run-demo.sh WINDOWS_BUILD_DIR OUTPUT_DIR [SECONDS]
set -euo pipefail
build=$1
out=$(realpath -m "$2")
seconds=${3:-10}
exec_=$(dirname "$0")/wine-exec.sh

taskbar="$build/tools/nimbrel-devtaskbar.exe"
watch="$build/tools/nimbrel-devwatch.exe"
publisher="$build/src/publisher/nimbrel-publisher.exe"
band="$build/devrun/Nimbrel.exe"

mkdir -p "$out"
rm -f "$out"/taskbar-*.png

"$exec_" "$taskbar" >"$out/devtaskbar.log" 2>&1 &
taskbar_pid=$!
publisher_pid=
band_pid=
stop_all() {
  [ -n "$publisher_pid" ] && { "$exec_" "$publisher" --stop >/dev/null 2>&1 || true; }
  "$exec_" "$taskbar" --quit >/dev/null 2>&1 || true
  wait $publisher_pid $band_pid $taskbar_pid 2>/dev/null || true
}
trap stop_all EXIT
"$exec_" "$taskbar" --wait 20

"$exec_" "$publisher" --source demo --interval 500 >"$out/publisher.log" 2>&1 &
publisher_pid=$!
WINEDLLOVERRIDES="${WINEDLLOVERRIDES:+$WINEDLLOVERRIDES;}dcomp=n,b" "$exec_" "$band" \
  >"$out/nimbrel.log" 2>&1 &
band_pid=$!

echo "Nimbrel under Wine: the real Nimbrel.exe in a development taskbar, demo traffic every 500 ms"
"$exec_" "$watch" --seconds "$seconds" --shots "Z:$out"
