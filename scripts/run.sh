#!/usr/bin/env bash
# Installs what is missing and builds the system.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
cmake --preset default
cmake --build --preset default
echo
echo "Built:"
echo "  engine: build/default/engine/libZELK_Eng.so"
echo "The console that runs the system comes next; for now this command builds the engine and its tests."
