#!/usr/bin/env bash
# The composition stand-in and the development taskbar stay out of what is
# shipped: Nimbrel.exe holds none of their code, the copy that `make run` and
# the end-to-end tests start beside the stand-in is the very same file, and
# the download (make dist's zip) carries none of them.
#
#   standin-not-shipped.sh NIMBREL_EXE DEVRUN_EXE STANDIN_DLL DIST_ZIP CMAKE
set -euo pipefail
exe=$1
devrun_exe=$2
standin=$3
zip=$4
cmake=$5

# A text as the programs keep it (UTF-16LE), as a grep -P pattern.
wide() {
  local text=$1 pattern= i
  for ((i = 0; i < ${#text}; i++)); do pattern+="${text:i:1}\\x00"; done
  printf '%s' "$pattern"
}

status=0
frame_marker=$(wide NimbrelStandInFrame-)  # the stand-in's frame sections
taskbar_marker=$(wide NimbrelDevTaskbar)   # the development taskbar's messages
if ! LC_ALL=C grep -qaP "$frame_marker" "$standin"; then
  echo "FAIL: the stand-in itself lacks its marker, so this check could not see it" >&2
  status=1
fi
for marker in "$frame_marker" "$taskbar_marker"; do
  if LC_ALL=C grep -qaP "$marker" "$exe"; then
    echo "FAIL: $exe contains the stand-in's or the development shell's code" >&2
    status=1
  fi
done
if ! cmp -s "$exe" "$devrun_exe"; then
  echo "FAIL: $devrun_exe is not the shipped $exe" >&2
  status=1
fi
entries=$("$cmake" -E tar tf "$zip")
if [ -z "$entries" ]; then
  echo "FAIL: $zip lists no files" >&2
  status=1
fi
if grep -iE '(^|/)(dcomp\.dll|nimbrel-dev[a-z]*\.exe)$' <<<"$entries"; then
  echo "FAIL: $zip carries the stand-in or a development tool (above)" >&2
  status=1
fi
[ $status = 0 ] && echo "the stand-in is neither in Nimbrel.exe nor in the download;" \
  "devrun/Nimbrel.exe is the shipped file"
exit $status
