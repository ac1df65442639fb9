#!/usr/bin/env bash
# clang-tidy over the program's own code (src/ and tools/) as both builds
# compile it: the native build's pure code, and the Windows build's code
# through clang's mingw target with the cross compiler's C++ headers.
# Usage: scripts/lint.sh NATIVE_BUILD WINDOWS_BUILD [JOBS]
# Fails when any check in .clang-tidy finds something.
set -euo pipefail

native=$1
windows=$2
jobs=${3:-2}
tidy=clang-tidy-14
root=$(cd "$(dirname "$0")/.." && pwd)

# The translation units of src/ and tools/ one build compiles, one a line:
# the file, its build folder, and how to preprocess it as the build does.
units() {
  python3 - "$1/compile_commands.json" "$root" <<'PY'
import json, os, shlex, sys
root = sys.argv[2]
for entry in json.load(open(sys.argv[1])):
    path = os.path.normpath(os.path.join(entry["directory"], entry["file"]))
    rel = os.path.relpath(path, root)
    if not (rel.startswith(("src/", "tools/")) and path.endswith(".cpp")):
        continue
    args = entry["arguments"] if "arguments" in entry else shlex.split(entry["command"])
    pre, skip = [], False
    for arg in args:
        if skip:
            skip = False
        elif arg in ("-o", "-MT", "-MF"):
            skip = True
        elif arg == "-c":
            pre.append("-E")
        elif arg != "-MD":
            pre.append(arg)
    print(path, entry["directory"], shlex.join(pre), sep="\t")
PY
}

# clang finds no libstdc++ of its own for the mingw target here; it is given
# the one the cross compiler uses, as the compiler itself reports it.
mingw_args=(--extra-arg=--target=x86_64-w64-windows-gnu --extra-arg=-nostdinc++)
cxx=$(units "$windows" | sed -n 1p | cut -f3 | cut -d' ' -f1)
[ -n "$cxx" ] || { echo "lint: no compiler in $windows/compile_commands.json" >&2; exit 1; }
while read -r dir; do
  case $dir in
    */include/c++*) mingw_args+=("--extra-arg=-isystem$dir") ;;
  esac
done < <(echo | "$cxx" -v -E -x c++ - 2>&1 | sed -n '/^#include <...>/,/^End of search/p' | sed 's/^ //')

# A unit found clean is remembered by what clang-tidy read: its preprocessed
# text, the checks and the tool. It is looked at again only when one changed.
cache="$native/lint-clean"
mkdir -p "$cache"
config=$( (cat "$root/.clang-tidy"; "$tidy" --version) | sha256sum | cut -d' ' -f1)
export cache config

log=$(mktemp -d)
trap 'rm -rf "$log"' EXIT
export tidy log
# The program's own headers are checked with the units that include them;
# the system's and GoogleTest's are not.
header_filter="--header-filter=^$root/(src|tools)/"

# One unit: a failed run is a finding, shown at once.
lint_one() {
  local pass=$1 line=$2
  shift 2
  local file dir cmd key out
  IFS=$'\t' read -r file dir cmd <<<"$line"
  key=$( (echo "$pass $config $*"; cd "$dir" && eval "$cmd" 2>/dev/null) | sha256sum | cut -d' ' -f1)
  if [ -e "$cache/$key" ]; then
    return 0
  fi
  out="$log/$pass$(echo "$file" | tr / _).log"
  if "$tidy" --quiet "$@" "$file" >"$out" 2>&1; then
    touch "$cache/$key"
  else
    echo "$out" >>"$log/failed"
    grep -vE '^[0-9]+ warnings? (and [0-9]+ errors? )?generated\.$' "$out" >&2
  fi
}
export -f lint_one

units "$native" | xargs -d '\n' -P "$jobs" -I{} bash -c 'lint_one "$@"' _ native {} \
  -p "$native" "$header_filter"
units "$windows" | xargs -d '\n' -P "$jobs" -I{} bash -c 'lint_one "$@"' _ windows {} \
  -p "$windows" "$header_filter" "${mingw_args[@]}"

if [ -e "$log/failed" ]; then
  echo "lint: findings in $(sort -u "$log/failed" | wc -l) units (above)" >&2
  exit 1
fi
echo "lint: clean ($(units "$native" | wc -l) native and $(units "$windows" | wc -l) Windows units)"
