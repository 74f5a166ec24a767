# shellcheck shell=sh disable=SC2154 # results and tmp are set by the sourcing script
# Shell functions of the guest's step scripts, sourced by them: a step's beginning, its success or its failure
# ("kernel-test: STEP: ok (SECONDS s)", "kernel-test: FAIL: ..."), figures for the results folder, and waits
# measured by the guest's clock. The sourcing script sets results (the results folder) and tmp (its own
# scratch folder, whose *.out and *.err files a failure shows) and may name in before_fail a function that
# gathers more of them.

now() { cut -d' ' -f1 /proc/uptime; }
since() { awk -v a="$1" -v b="$(now)" 'BEGIN { printf "%.2f", b - a }'; }
say() { echo "kernel-test: $*"; }
figure() { echo "$*" >>"$results/figures"; }
fail() {
    [ -n "${before_fail:-}" ] && "$before_fail"
    say "FAIL: $step: $*"
    echo "FAIL: $step: $*" >"$results/outcome"
    for log in "$tmp"/*.out "$tmp"/*.err; do
        [ -s "$log" ] && { echo "--- $log"; tail -n 20 "$log"; }
    done
    exit 1
}
begin() {
    step=$1
    step_start=$(now)
}
passed() { say "$step: ok ($(since "$step_start") s)${1:+: $1}"; }

# Whether the guest's clock has reached the time $1 (seconds since boot).
reached() { awk -v t="$(now)" -v d="$1" 'BEGIN { exit !(t >= d) }'; }
later() { awk -v t="$(now)" -v s="$1" 'BEGIN { print t + s }'; }

# Waits up to $3 seconds for the text $2 to appear $4 times (default once) in the file $1.
wait_for() {
    deadline=$(later "$3")
    while [ "$(grep -c -- "$2" "$1" 2>/dev/null)" -lt "${4:-1}" ]; do
        reached "$deadline" && return 1
        sleep 0.1
    done
}

# The node of the board whose kaldex-uhid writes its messages to $1, from its latest "board on" line.
node_of() { sed -n 's/^kaldex-uhid: board on \(\/dev\/hidraw[0-9]*\) .*/\1/p' "$1" | tail -n 1; }
