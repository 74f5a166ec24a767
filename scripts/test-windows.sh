#!/usr/bin/env bash
# The Windows builds, tested under Wine: installs what is missing, builds the x64 and x86 presets and runs
# the engine's, platform's and virtual board's tests and the end-to-end run (zelkctl.exe with ZELK_Eng.dll
# against kaldex-sim.exe) for each architecture that Wine can run here. Where 32-bit programs cannot run
# (a kernel without 32-bit support), the x86 build makes the deliverables and checks the DLL's exports only.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-windows-deps.sh

labels='engine|platform|virtual_board'

cmake --preset windows-x64
cmake --build --preset windows-x64
ctest --preset windows-x64 -L "$labels"
scripts/windows-end-to-end.sh win64 build/windows-x64

cmake --preset windows-x86
if [ -x /usr/lib/wine/wine ] && /usr/lib/wine/wine --version >/dev/null 2>&1; then
    cmake --build --preset windows-x86
    ctest --preset windows-x86 -L "$labels"
    scripts/windows-end-to-end.sh win32 build/windows-x86
else
    echo "test-windows: 32-bit Wine cannot run here: the x86 build is built and its exports checked, not run."
    cmake --build --preset windows-x86 --target ZELK_Eng kaldex-sim zelkctl
    ctest --preset windows-x86 -R '^engine_exports$'
fi
