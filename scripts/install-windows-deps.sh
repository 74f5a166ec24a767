#!/usr/bin/env bash
# Installs what the Windows cross builds and their tests under Wine need: the MinGW-w64 compilers (64-bit and
# 32-bit, POSIX thread model for std::thread), Wine for both architectures (32-bit Wine through Debian's i386
# architecture) and GoogleTest's sources, which the cross builds compile themselves. 32-bit Wine is left out
# where the kernel does not run 32-bit x86 programs (built or booted without them, ia32_emulation=off): it
# cannot start there, and the 32-bit build is then built but not run.
# Idempotent: only missing packages are installed. Needs root (or sudo) when something is missing.
set -euo pipefail

sudo_cmd=()
if [ "$(id -u)" -ne 0 ]; then sudo_cmd=(sudo); fi

# A 93-byte static i386 program that exits with status 0: it runs only where the kernel runs 32-bit programs.
kernel_runs_i386() {
    local probe status=0
    probe=$(mktemp)
    printf '\x7fELF\x01\x01\x01\x00\x00\x00\x00\x00\x00\x00\x00\x00\x02\x00\x03\x00\x01\x00\x00\x00\x54\x80\x04\x08'\
'\x34\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00\x34\x00\x20\x00\x01\x00\x00\x00\x00\x00\x00\x00'\
'\x01\x00\x00\x00\x00\x00\x00\x00\x00\x80\x04\x08\x00\x80\x04\x08\x5d\x00\x00\x00\x5d\x00\x00\x00'\
'\x05\x00\x00\x00\x00\x10\x00\x00\x31\xdb\xb8\x01\x00\x00\x00\xcd\x80' >"$probe"
    chmod +x "$probe"
    "$probe" 2>/dev/null || status=$?
    rm -f "$probe"
    return "$status"
}

packages=(
  cmake ninja-build
  g++-mingw-w64-x86-64-posix g++-mingw-w64-i686-posix
  googletest
  wine wine64
)
if kernel_runs_i386; then
  if ! dpkg --print-foreign-architectures | grep -qx i386; then
    "${sudo_cmd[@]}" dpkg --add-architecture i386
  fi
  packages+=(wine32:i386)
else
  echo "install-windows-deps: this kernel does not run 32-bit x86 programs: 32-bit Wine is left out," \
       "the 32-bit Windows build is built but not run."
fi

exec "$(dirname "$0")/install-missing.sh" "${packages[@]}"
