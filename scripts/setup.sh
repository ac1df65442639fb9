#!/usr/bin/env bash
# Installs, from Debian's packages only, everything the builds and the test
# harness need. Safe to run again: it only asks apt for what is missing.
set -euo pipefail

packages=(
  cmake ninja-build make g++                 # native build
  g++-mingw-w64-x86-64-posix mingw-w64-tools # the Windows x64 cross build
  googletest libbenchmark-dev                # test and benchmark frameworks
  wine wine64 xvfb xauth                     # running the Windows build
  nsis                                       # the installer (make dist)
  iproute2                                   # a loopback-only network for the installer tests
  fonts-liberation                           # stands in for "Segoe UI" under Wine
  clang-format-14                            # the code's one formatting (make format)
  clang-tidy-14                              # static analysis (make lint)
  clang-14 libclang-rt-14-dev llvm-14        # fuzzing: clang, libFuzzer, the symbolizer (make fuzz)
  gcovr                                      # line and branch coverage (make coverage)
)

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done

if ((${#missing[@]} == 0)); then
  exit 0
fi

echo "setup: installing ${missing[*]}"
sudo=""
if [ "$(id -u)" != 0 ]; then sudo="sudo"; fi
export DEBIAN_FRONTEND=noninteractive
$sudo apt-get update -q
$sudo apt-get install -y -q --no-install-recommends "${missing[@]}"
