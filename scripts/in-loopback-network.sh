#!/usr/bin/env bash
# Runs a command in a network namespace of its own whose one network is
# loopback (brought up): whatever it starts can search for a router, even by
# multicast, and reach nothing beyond this namespace. Unix sockets (the X
# server's, the wineserver's) are files and still work.
#
#   scripts/in-loopback-network.sh COMMAND [ARGS...]
set -euo pipefail
if (($# < 1)); then
  echo "usage: $0 COMMAND [ARGS...]" >&2
  exit 2
fi
exec unshare --user --map-root-user --net -- sh -c 'ip link set lo up && exec "$@"' sh "$@"
