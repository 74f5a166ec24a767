#!/usr/bin/env bash
# Runs a Windows program under Wine for the cross builds' tests:
#   wine-run.sh win64|win32 PREFIX PROGRAM [ARGUMENT]...
# PREFIX is the Wine prefix of the build. The Wine server of the prefix is kept for a while after its last
# program ends, so each test program starts in a fraction of a second instead of starting Wine's services anew.
set -euo pipefail
arch=$1
prefix=$(realpath -m "$2")
shift 2

case "$arch" in
win64) loaders=(/usr/lib/wine/wine64 wine64) servers=(/usr/lib/wine/wineserver64 wineserver) ;;
win32) loaders=(/usr/lib/wine/wine wine) servers=(/usr/lib/wine/wineserver32 /usr/lib/wine/wineserver64 wineserver) ;;
*) echo "wine-run.sh: unknown architecture $arch" >&2; exit 2 ;;
esac
pick() {
    for candidate in "$@"; do
        if [ -x "$candidate" ] || command -v "$candidate" >/dev/null 2>&1; then echo "$candidate"; return 0; fi
    done
    return 1
}
loader=$(pick "${loaders[@]}") || { echo "wine-run.sh: Wine for $arch is not installed" >&2; exit 127; }
server=$(pick "${servers[@]}") || { echo "wine-run.sh: wineserver is not installed" >&2; exit 127; }

export WINEPREFIX=$prefix WINEARCH=$arch WINELOADER=$loader
export WINEDEBUG=${WINEDEBUG:--all}
# File names in UTF-8 on the Linux side whatever the caller's locale: in the C locale Wine cannot make a file
# whose name is not ASCII. A test that needs a locale of its own (the profile oracle's) sets LC_ALL itself.
export LC_ALL=${LC_ALL:-C.UTF-8}
# No crash debugger: a program that crashes ends at once with its exception code (a stack overflow exits
# 253), where Wine's debugger would wait or let the program's run end with status 0.
export WINEDLLOVERRIDES=${WINEDLLOVERRIDES:-mscoree,mshtml,winedbg.exe=}
# Wine's own programs must not open windows: no display for them.
unset DISPLAY WAYLAND_DISPLAY

mkdir -p "$(dirname "$prefix")"
# The prefix is made on first use, and the Wine server and Wine's services are started, before the program
# runs and away from its output: services started by the program would keep its output open after it ended,
# and ctest would wait for them. Under a lock, so parallel tests wait for one start; the lock's descriptor is
# closed for Wine's processes, which would otherwise hold the lock for as long as they run.
(
    flock 9
    if [ ! -e "$prefix/system.reg" ]; then
        "$loader" wineboot --init </dev/null >/dev/null 2>&1 9>&- || true
        "$server" --wait 9>&- || true
    fi
    "$server" --persistent=30 </dev/null >/dev/null 2>&1 9>&- || true # fails harmlessly when the server runs
    "$loader" cmd /c exit </dev/null >/dev/null 2>&1 9>&- || true
) 9>"$prefix.lock"
exec "$loader" "$@"
