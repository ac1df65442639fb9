#!/usr/bin/env bash
# Runs a command inside one Xvfb server and one booted Wine prefix, then takes
# both down again. Everything the Windows build runs goes through here, so the
# whole test run shares a single prefix boot (~15 s) and a single X server.
#
#   scripts/with-wine.sh PREFIX_DIR COMMAND [ARGS...]
set -euo pipefail

if (($# < 2)); then
  echo "usage: $0 PREFIX_DIR COMMAND [ARGS...]" >&2
  exit 2
fi

prefix=$(realpath -m "$1")
shift
settings=$(realpath "$(dirname "$0")/wine-settings.reg")

wine64=$(command -v wine64 || echo /usr/lib/wine/wine64)
export WINEPREFIX="$prefix"
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d"
export WINEARCH=win64
export NIMBREL_WINE="$wine64"

# Xvfb picks a free display itself and tells us which through a pipe.
displayfile=$(mktemp)
Xvfb -displayfd 3 -screen 0 1920x1080x24 -nolisten tcp 3>"$displayfile" >/dev/null 2>&1 &
xvfb_pid=$!
for _ in $(seq 100); do
  [ -s "$displayfile" ] && break
  sleep 0.05
done
if [ ! -s "$displayfile" ]; then
  echo "with-wine: Xvfb did not start" >&2
  kill "$xvfb_pid" 2>/dev/null || true
  exit 1
fi
export DISPLAY=":$(head -n1 "$displayfile")"
rm -f "$displayfile"

cleanup() {
  wineserver -k >/dev/null 2>&1 || true
  wineserver -w >/dev/null 2>&1 || true
  kill "$xvfb_pid" 2>/dev/null || true
  wait "$xvfb_pid" 2>/dev/null || true
}
trap cleanup EXIT

reg() { "$wine64" reg "$@" >/dev/null 2>&1; }

boot_prefix() {
  rm -rf "$prefix" && mkdir -p "$prefix" &&
  wineboot -i && wineserver -w &&
  "$wine64" winecfg -v win10 &&
  "$wine64" regedit /S "Z:$settings" &&
  wineserver -w
}

if [ ! -f "$prefix/.nimbrel-ready" ]; then
  bootlog=$(mktemp)
  for attempt in 1 2 3; do
    echo "with-wine: booting a Wine prefix in $prefix"
    if boot_prefix >"$bootlog" 2>&1; then
      touch "$prefix/.nimbrel-ready"
      break
    fi
    echo "with-wine: boot attempt $attempt failed; its last output:" >&2
    tail -n 20 "$bootlog" >&2
    wineserver -k >/dev/null 2>&1 || true
    wineserver -w >/dev/null 2>&1 || true
  done
  rm -f "$bootlog"
  if [ ! -f "$prefix/.nimbrel-ready" ]; then
    exit 1
  fi
fi

# Start the wineserver and Wine's services now, with their output going
# nowhere: started by the first test instead, they would inherit ctest's pipe
# and ctest would wait for them to close it.
wineserver -p >/dev/null 2>&1 || true
reg query 'HKCU\Software\Wine\X11 Driver' || true

set +e
"$@"
rc=$?
set -e
exit $rc
