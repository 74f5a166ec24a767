#!/usr/bin/env bash
# Installs what the Windows cross builds and their tests under Wine need: the MinGW-w64 compilers (64-bit and
# 32-bit, POSIX thread model for std::thread), Wine for both (32-bit Wine needs Debian's i386 architecture)
# and GoogleTest's sources, which the cross builds compile themselves.
# Idempotent: only missing packages are installed. Needs root (or sudo) when something is missing.
set -euo pipefail

sudo_cmd=()
if [ "$(id -u)" -ne 0 ]; then sudo_cmd=(sudo); fi

packages=(
  cmake ninja-build
  g++-mingw-w64-x86-64-posix g++-mingw-w64-i686-posix
  googletest
  wine wine64 wine32:i386
)

added_i386=false
if ! dpkg --print-foreign-architectures | grep -qx i386; then
  "${sudo_cmd[@]}" dpkg --add-architecture i386
  added_i386=true
fi

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$p")
  fi
done

if [ ${#missing[@]} -eq 0 ]; then
  exit 0
fi

echo "Installing: ${missing[*]}"
"${sudo_cmd[@]}" apt-get update
DEBIAN_FRONTEND=noninteractive "${sudo_cmd[@]}" apt-get install -y --no-install-recommends "${missing[@]}"
