#!/usr/bin/env bash
# Installs what is missing, builds the default preset and runs the whole test suite, then the kernel test (the
# real-board path in a virtual machine with Debian's kernel; skipped where qemu cannot run) and the package
# test (the Debian package built, installed, tried and removed; skipped where the machine cannot install
# packages).
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
cmake --preset default
cmake --build --preset default
ctest --preset default
scripts/test-kernel.sh build/default
scripts/package-test.sh
