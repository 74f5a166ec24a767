#!/usr/bin/env bash
# Builds the fuzz targets (preset "fuzz": clang, libFuzzer, AddressSanitizer + UBSan) and runs each for
# SECONDS (default 300) from its seed corpus in fuzz/corpus/, as many at once as there are processors. The
# corpus a run grows is kept in build/fuzz/corpus/ for the next run. Fails when a target crashes, leaks,
# hangs or breaks a property; the input that did it is saved in build/fuzz/crashes/ (rerun it:
# build/fuzz/fuzz/TARGET FILE).
#
#   scripts/fuzz.sh [SECONDS] [TARGET...]     targets: profile_fuzz program_fuzz report_descriptor_fuzz codepage_fuzz
#                                             modbus_fuzz prove_differential_fuzz
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-300}
if ! [[ "$seconds" =~ ^[0-9]+$ ]]; then
    echo "Usage: scripts/fuzz.sh [SECONDS] [TARGET...]" >&2
    exit 2
fi
if [ $# -gt 0 ]; then shift; fi
targets=("$@")
if [ ${#targets[@]} -eq 0 ]; then targets=(profile_fuzz program_fuzz report_descriptor_fuzz codepage_fuzz modbus_fuzz prove_differential_fuzz); fi

scripts/install-deps.sh --fuzz
cmake --preset fuzz
cmake --build --preset fuzz

# The profile layer syncs every write to disk: on a RAM disk that costs nothing, so the targets run faster.
if [ -d /dev/shm ] && [ -w /dev/shm ]; then export TMPDIR=/dev/shm; fi
export UBSAN_OPTIONS=print_stacktrace=1

out=build/fuzz
mkdir -p "$out/crashes" "$out/logs"

# Runs one target for SECONDS; its output goes to its log.
fuzz_one() {
    local target=$1
    local seeds=(fuzz/corpus/"$target") options=()
    case "$target" in
    program_fuzz)
        seeds+=(samples)
        options+=(-dict=fuzz/program_fuzz.dict)
        ;;
    codepage_fuzz) seeds+=(samples) ;;
    esac
    mkdir -p "$out/corpus/$target"
    "$out/fuzz/$target" -max_total_time="$seconds" -timeout=10 -print_final_stats=1 \
        -artifact_prefix="$out/crashes/$target-" "${options[@]}" "$out/corpus/$target" "${seeds[@]}" \
        >"$out/logs/$target.log" 2>&1
}

# The targets are single-threaded: as many run at once as there are processors.
jobs=$(nproc)
declare -A running=() # process ID -> target
failed=()
finish_one() {
    local pid
    wait -n -p pid "${!running[@]}" && status=0 || status=$?
    local target=${running[$pid]} log=$out/logs/${running[$pid]}.log
    unset "running[$pid]"
    if [ "$status" -eq 0 ]; then
        echo "== $target: ${seconds} s"
        grep -E '^#[0-9]+[[:space:]]+DONE|^stat::(number_of_executed_units|average_exec_per_sec|new_units_added)' "$log"
    else
        tail -n 60 "$log"
        echo "== $target FAILED (log: $log)"
        failed+=("$target")
    fi
}
for target in "${targets[@]}"; do
    while [ ${#running[@]} -ge "$jobs" ]; do finish_one; done
    fuzz_one "$target" &
    running[$!]=$target
done
while [ ${#running[@]} -gt 0 ]; do finish_one; done
if [ ${#failed[@]} -gt 0 ]; then
    echo "Fuzz targets that failed: ${failed[*]}" >&2
    exit 1
fi
