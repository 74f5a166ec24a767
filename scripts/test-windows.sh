#!/usr/bin/env bash
# The Windows builds, tested under Wine: installs what is missing, builds the x64 and x86 presets and runs
# the engine's, platform's and virtual board's tests and the end-to-end run (zelkctl.exe with ZELK_Eng.dll
# against kaldex-sim.exe) for each architecture, and says how many tests ran. Where 32-bit programs cannot run
# (a kernel without 32-bit support), the x86 build makes the deliverables and checks the DLL's exports only.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-windows-deps.sh

labels='engine|platform|virtual_board'

# The last CTest run in build folder $1: its tests, and the GoogleTest cases from each test program's last
# summary (a program that starts copies of itself prints the copies' summaries before its own), as
# "tests ran passed skipped".
count_tests() {
    awk '
        function flush() { ran += r; passed += p; skipped += s; r = p = s = 0 }
        /^[0-9]+\/[0-9]+ Testing: / { flush(); tests++ }
        /^\[==========\] [0-9]+ tests? from .* ran\./ { r = $2; p = s = 0 }
        /^\[  PASSED  \] [0-9]+ tests?\./ { p = $4 }
        /^\[  SKIPPED \] [0-9]+ tests?, listed below:/ { s = $4 }
        END { flush(); print tests, ran, passed, skipped }
    ' "$1/Testing/Temporary/LastTest.log"
}

# Builds preset windows-$1 and runs its tests and the end-to-end run under Wine for architecture $2.
test_architecture() {
    local preset=windows-$1 start=$SECONDS tests ran passed skipped
    cmake --preset "$preset"
    cmake --build --preset "$preset"
    ctest --preset "$preset" -L "$labels"
    read -r tests ran passed skipped < <(count_tests "build/$preset")
    scripts/windows-end-to-end.sh "$2" "build/$preset"
    echo "test-windows ($1): $tests CTest tests passed under Wine (the test programs and the DLL's export check):" \
        "$ran GoogleTest cases ran, $passed passed, $skipped skipped; the end-to-end run passed; $((SECONDS - start)) s"
}

test_architecture x64 win64

if [ -x /usr/lib/wine/wine ] && /usr/lib/wine/wine --version >/dev/null 2>&1; then
    test_architecture x86 win32
else
    echo "test-windows: 32-bit Wine cannot run here: the x86 build is built and its exports checked, not run."
    cmake --preset windows-x86
    cmake --build --preset windows-x86 --target ZELK_Eng kaldex-sim zelkctl
    ctest --preset windows-x86 -R '^engine_exports$'
fi
