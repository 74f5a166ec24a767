#!/usr/bin/env bash
# End-to-end run of a Windows build under Wine: zelkctl.exe runs the shipped sample program through
# ZELK_Eng.dll against kaldex-sim.exe over its named pipe. Pressing input pin 0 on the virtual board must
# invert output pin 0 (the sample's first rule), and the run must write the sample's log file. The help of
# `zelkctl.exe run` must say that this build has no Modbus TCP and no MQTT.
#
#   scripts/windows-end-to-end.sh win64|win32 BUILD_DIR
set -euo pipefail
cd "$(dirname "$0")/.."
repo=$PWD
arch=$1
build=$(realpath "$2")
bin=$build/bin
wine=("$repo/cmake/wine-run.sh" "$arch" "$build/wine-prefix")

tmp=$(mktemp -d)
sim_pid=""
cleanup() {
    exec 7>&- 2>/dev/null || true # the end of its input ends kaldex-sim
    if [ -n "$sim_pid" ]; then
        for _ in $(seq 50); do kill -0 "$sim_pid" 2>/dev/null || break; sleep 0.1; done
        kill "$sim_pid" 2>/dev/null || true
    fi
    rm -rf "$tmp"
}
trap cleanup EXIT

# Wine's drive Z: is the Unix root.
windows_path() { echo "Z:${1//\//\\}"; }
# Waits up to $2 seconds for the text $3 in the file $1.
wait_for() {
    for _ in $(seq $(($2 * 10))); do
        if grep -q "$3" "$1" 2>/dev/null; then return 0; fi
        sleep 0.1
    done
    echo "windows-end-to-end: '$3' did not appear in $(basename "$1") within $2 s:" >&2
    cat "$1" >&2 || true
    return 1
}

"${wine[@]}" "$bin/zelkctl.exe" run --help >"$tmp/help.out" 2>&1 || true
if ! tr -d '\r' <"$tmp/help.out" | tr '\n' ' ' | grep -q "no Modbus TCP server and no MQTT client"; then
    echo "windows-end-to-end: zelkctl.exe run --help does not say that --modbus and --mqtt are missing:" >&2
    cat "$tmp/help.out" >&2
    exit 1
fi

mkdir "$tmp/work"
cp samples/LogicCtl.ini "$tmp/work/"
export KALDEX_BOARD_DIR
KALDEX_BOARD_DIR=$(windows_path "$tmp/boards")

mkfifo "$tmp/sim.in"
"${wine[@]}" "$bin/kaldex-sim.exe" <"$tmp/sim.in" >"$tmp/sim.out" 2>"$tmp/sim.err" &
sim_pid=$!
exec 7>"$tmp/sim.in"
wait_for "$tmp/sim.err" 60 "board on"
echo "$(cat "$tmp/sim.err")"

"${wine[@]}" "$bin/zelkctl.exe" run --dir "$(windows_path "$tmp/work")" --for 6 >"$tmp/ctl.out" 2>&1 &
ctl_pid=$!
wait_for "$tmp/sim.out" 60 "port1 0x0F" # the run's start sets port 1
echo "press 0" >&7
wait_for "$tmp/sim.out" 10 "port1 0x0E"
echo "release 0" >&7
status=0
wait "$ctl_pid" || status=$?
cat "$tmp/ctl.out"
if [ "$status" -ne 0 ]; then
    echo "windows-end-to-end: zelkctl.exe ended with status $status" >&2
    exit 1
fi
if [ ! -s "$tmp/work/ZELK_LOG.csv" ]; then
    echo "windows-end-to-end: the run wrote no log file" >&2
    ls -la "$tmp/work" >&2
    exit 1
fi
echo "windows-end-to-end ($arch): output toggled by the sample's rule; log file written with" \
    "$(wc -l <"$tmp/work/ZELK_LOG.csv") rows"
