#!/usr/bin/env bash
# Runs a Windows program in a throw-away copy of the booted Wine prefix, with
# its own wineserver, so that nothing it or its children store (the band's
# settings, the Run key) outlives it or reaches the prefix the other tests
# share. Copying costs well under the ~16 s of booting a prefix: the system
# DLLs, which nothing writes, are hard links.
#
# Run inside scripts/with-wine.sh, whose prefix is the template:
#   scripts/in-scratch-prefix.sh PROGRAM [ARGS...]
set -euo pipefail

if [ -z "${WINEPREFIX:-}" ] || [ -z "${DISPLAY:-}" ] || [ ! -f "$WINEPREFIX/.nimbrel-ready" ]; then
  echo "in-scratch-prefix: run inside scripts/with-wine.sh (make test)" >&2
  exit 127
fi
template=$WINEPREFIX
wine64=${NIMBREL_WINE:-wine64}
settings=$(realpath "$(dirname "$0")/wine-settings.reg")

scratch=$(mktemp -d "${TMPDIR:-/tmp}/nimbrel-prefix.XXXXXX")
cleanup() {
  WINEPREFIX=$scratch wineserver -k >/dev/null 2>&1 || true
  WINEPREFIX=$scratch wineserver -w >/dev/null 2>&1 || true
  rm -rf "$scratch"
}
trap cleanup EXIT

# Wine reads the system's files but never writes them: those directories are
# shared with the template; the registry, the profiles and the rest are copied.
# (Few processes: on a busy machine each one costs more than the copying.)
copy_top=() copy_c=() copy_windows=() link_c=() link_windows=()
for entry in "$template"/* "$template"/.[!.]*; do
  [ "${entry##*/}" = drive_c ] || copy_top+=("$entry")
done
for entry in "$template"/drive_c/*; do
  case ${entry##*/} in
    windows) ;;
    "Program Files" | "Program Files (x86)") link_c+=("$entry") ;;
    *) copy_c+=("$entry") ;;
  esac
done
for entry in "$template"/drive_c/windows/*; do
  if [ -d "$entry" ] && [ "${entry##*/}" != temp ]; then
    link_windows+=("$entry")
  else
    copy_windows+=("$entry")
  fi
done
mkdir -p "$scratch/drive_c/windows"
cp -a "${copy_top[@]}" "$scratch/"
cp -a "${copy_c[@]}" "$scratch/drive_c/"
cp -a "${copy_windows[@]}" "$scratch/drive_c/windows/"
ln -s "${link_c[@]}" "$scratch/drive_c/"
ln -s "${link_windows[@]}" "$scratch/drive_c/windows/"

# The template's wineserver may not have written its latest registry yet, and
# `make run` leaves the band's settings in it: start from known values.
fresh=$scratch/fresh.reg
{
  cat "$settings"
  printf '\n[-HKEY_CURRENT_USER\\Software\\Nimbrel]\n'
  printf '\n[HKEY_CURRENT_USER\\Software\\Microsoft\\Windows\\CurrentVersion\\Run]\n"Nimbrel.exe"=-\n'
} >"$fresh"

export WINEPREFIX=$scratch
# Started here with their output going nowhere, Wine's background processes
# do not hold ctest's pipe open (see with-wine.sh).
wineserver -p >/dev/null 2>&1 || true
"$wine64" regedit /S "Z:$fresh" >/dev/null 2>&1

export NIMBREL_SCRATCH_PREFIX=1
set +e
"$wine64" "$@"
rc=$?
set -e
exit $rc
