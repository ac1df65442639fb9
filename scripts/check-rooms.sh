#!/usr/bin/env bash
# Fails when a room of src/ (or a group of the publisher) includes one it may
# not use; docs/architecture.md gives the rules. Includes are rooted at src/,
# so an include's first folder names the room it reaches into, and for the
# publisher its second folder the group.
set -euo pipefail
cd "$(dirname "$0")/.."

declare -A allowed=(
  [common]="common"
  [feed]="feed common"
  [render]="render feed common"
  [framework]="framework common"
  [band]="band framework render feed common res"
  [app]="app band framework common"
  [publisher/main]="common publisher/main publisher/options publisher/record publisher/sources publisher/upnp publisher/system publisher/output"
  [publisher/options]="common publisher/options publisher/output"
  [publisher/record]="common publisher/record publisher/options publisher/system"
  [publisher/sources]="common publisher/sources publisher/record publisher/upnp publisher/output"
  [publisher/upnp]="common publisher/upnp"
  [publisher/system]="common publisher/system publisher/main publisher/options publisher/output publisher/upnp"
  [publisher/output]="common publisher/output publisher/system"
)

rc=0
for room in "${!allowed[@]}"; do
  while IFS=: read -r file line text; do
    target=$(sed -E 's/^[[:space:]]*#[[:space:]]*include[[:space:]]+"([^/"]+)\/.*/\1/' <<<"$text")
    if [ "$target" = publisher ]; then
      target=$(sed -E 's/^[[:space:]]*#[[:space:]]*include[[:space:]]+"(publisher\/[^/"]+)\/.*/\1/' <<<"$text")
    fi
    if [[ " ${allowed[$room]} " != *" $target "* ]]; then
      echo "$file:$line: src/$room/ may not include $target/ ($text)" >&2
      rc=1
    fi
  done < <(grep -rnE '^[[:space:]]*#[[:space:]]*include[[:space:]]+"[^/"]+/' "src/$room" || true)
done
# Every folder of src/ (and of the publisher) has its rule.
for dir in src/*/ src/publisher/*/; do
  room=${dir#src/}
  room=${room%/}
  if [ "$room" != publisher ] && [ -z "${allowed[$room]+set}" ]; then
    echo "scripts/check-rooms.sh: src/$room/ has no rule; add one (and its row in docs/architecture.md)" >&2
    rc=1
  fi
done
exit $rc
