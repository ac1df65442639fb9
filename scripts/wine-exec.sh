#!/usr/bin/env bash
# The cross-compiling emulator ctest puts in front of every Windows test
# executable. It only works inside scripts/with-wine.sh, which provides the
# display and the booted prefix.
if [ -z "${WINEPREFIX:-}" ] || [ -z "${DISPLAY:-}" ]; then
  echo "wine-exec: run the Windows tests through scripts/with-wine.sh (make test)" >&2
  exit 127
fi
exec "${NIMBREL_WINE:-wine64}" "$@"
