#!/usr/bin/env bash
# Installs the Debian packages the build and tests need, and nothing that is already there.
# clang, lld and llvm also build the Microsoft-ABI stand-in hook (clang, lld-link, llvm-dlltool).
# clang-tidy, clang-format and cppcheck are make lint's.
# Safe to run again and again.
set -euo pipefail

packages=(
  cmake ninja-build g++ make
  g++-mingw-w64-x86-64-posix binutils-mingw-w64-x86-64
  wine wine64
  libgtest-dev libgmock-dev libbenchmark-dev libcli11-dev
  librsvg2-bin zip unzip
  clang libclang-rt-14-dev lld llvm
  clang-tidy clang-format cppcheck
)

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -eq 0 ]; then
  exit 0
fi

echo "installing: ${missing[*]}"
sudo=""
[ "$(id -u)" -eq 0 ] || sudo="sudo"
export DEBIAN_FRONTEND=noninteractive
$sudo apt-get update -qq
$sudo apt-get install -y -qq "${missing[@]}"
