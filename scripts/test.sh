#!/usr/bin/env bash
# Installs what is missing, builds the default preset and runs the whole test suite, then the package test
# (the Debian package built, installed, tried and removed; skipped where the machine cannot install packages).
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
cmake --preset default
cmake --build --preset default
ctest --preset default
scripts/package-test.sh
