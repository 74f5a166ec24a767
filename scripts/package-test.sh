#!/usr/bin/env bash
# Package test: makes the Debian package from the default build, checks it with lintian, installs it and tries
# the installed system as a new user would. On a virtual X display, with an empty home folder, the console is
# started as its desktop entry starts it, from another folder, against the installed kaldex-sim in a private
# board folder. It must create and seed the per-user work folder, save an edit made in the variable editor there,
# run the sample program ("制御開始": the monitor shows state 3) and, after "制御終了", write the log file there.
# Then the package's control service runs in a virtual machine that boots this machine's root with systemd
# (scripts/test-kernel.sh --service).
# The package is always removed again (dpkg --purge), pass or fail.
#
# Skipped, with a message, where the machine has no dpkg, where it can use neither root nor sudo, and where a
# zelk package is installed already (the test would replace and then remove it).
set -euo pipefail
cd "$(dirname "$0")/.."
build=$PWD/build/default
package=zelk

skip() {
    echo "package-test: skipped: $*"
    exit 0
}

if ! command -v dpkg >/dev/null 2>&1 || ! command -v apt-get >/dev/null 2>&1; then
    skip "this machine has no dpkg and apt-get"
fi
as_root=()
if [ "$(id -u)" -ne 0 ]; then
    command -v sudo >/dev/null 2>&1 || skip "installing a package needs root or sudo"
    as_root=(sudo)
fi
if dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q ' installed$'; then
    skip "the package $package is installed on this machine; remove it first (dpkg --purge $package)"
fi

scripts/install-deps.sh --package-test

tmp=$(mktemp -d)
installed=false
on_screen=false # the virtual display runs
pids=() # what this script started: Xvfb, kaldex-sim, the console

cleanup() {
    local status=$?
    for pid in "${pids[@]}"; do kill -TERM "$pid" 2>/dev/null || true; done
    for pid in "${pids[@]}"; do wait "$pid" 2>/dev/null || true; done
    if $installed; then
        if "${as_root[@]}" dpkg --purge "$package" >/dev/null; then
            echo "package-test: $package removed"
        else
            echo "package-test: dpkg --purge $package failed" >&2
        fi
    fi
    if [ "$status" -eq 0 ]; then rm -rf "$tmp"; else echo "package-test: logs kept in $tmp" >&2; fi
}
trap cleanup EXIT
trap 'exit 130' INT
trap 'exit 143' TERM

# The visible windows' titles: a message box is titled ZELK.
describe_screen() {
    local window
    for window in $(xdotool search --onlyvisible --name . 2>/dev/null); do
        echo "window: $(xdotool getwindowname "$window")"
    done
}

fail() {
    echo "package-test: FAIL: $*" >&2
    if $on_screen; then describe_screen >&2; fi
    for log in "$tmp"/*.log; do
        [ -s "$log" ] && { echo "--- $(basename "$log")" >&2; cat "$log" >&2; }
    done
    exit 1
}

# Waits up to $1 tenths of a second for the command that follows to succeed.
wait_for() {
    local tenths=$1
    shift
    for ((i = 0; i < tenths; i++)); do
        if "$@"; then return 0; fi
        sleep 0.1
    done
    "$@"
}

echo "package-test: making the package"
cmake --build --preset default
rm -f "$build/${package}"_*.deb
cpack --preset default >"$tmp/cpack.log" 2>&1 || fail "cpack failed"
debs=("$build/${package}"_*.deb)
[ -f "${debs[0]}" ] || fail "cpack made no package"
deb=${debs[0]}

echo "package-test: lintian $(basename "$deb")"
lintian_status=0
lintian --fail-on error "$deb" >"$tmp/lintian.log" 2>&1 || lintian_status=$?
grep -v 'running with root privileges' "$tmp/lintian.log" || true
[ "$lintian_status" -eq 0 ] || fail "lintian reports errors"

echo "package-test: installing"
installed=true
if ! "${as_root[@]}" dpkg -i "$deb" >"$tmp/dpkg.log" 2>&1; then
    DEBIAN_FRONTEND=noninteractive "${as_root[@]}" apt-get install -f -y >>"$tmp/dpkg.log" 2>&1 ||
        fail "the package's dependencies could not be installed"
fi
dpkg-query -W -f='${Status}' "$package" | grep -q ' installed$' || fail "the package is not installed"

# The control service, where the package has one: its system user made, the programs it starts installed.
files=$(dpkg-query -L "$package")
if grep -q '^/usr/lib/sysusers.d/zelk.conf$' <<<"$files" && command -v systemd-sysusers >/dev/null 2>&1; then
    getent passwd zelk >/dev/null || fail "the service's system user zelk was not made"
fi
while read -r unit; do
    while read -r program; do
        [ -x "$program" ] || fail "$unit starts $program, which is not installed"
    done < <(sed -n 's/^ExecStart\(Pre\)\?=[-@:+!]*\([^ ]*\).*/\2/p' "$unit")
done < <(grep '^/usr/lib/systemd/system/.*\.service$' <<<"$files" || true)

# A new user's session: an empty home folder, its own runtime folder, no settings from this shell.
home=$tmp/home
runtime=$tmp/runtime
boards=$tmp/boards
elsewhere=$tmp/elsewhere
mkdir -p "$home" "$elsewhere"
mkdir -m 0700 "$runtime" "$boards"
work=$home/.local/share/zelk

Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp 3>"$tmp/display" >"$tmp/xvfb.log" 2>&1 &
pids+=($!)
wait_for 100 test -s "$tmp/display" || fail "Xvfb did not start"
DISPLAY=":$(head -n 1 "$tmp/display")"
export DISPLAY
on_screen=true

KALDEX_BOARD_DIR=$boards /usr/bin/kaldex-sim --stay </dev/null >"$tmp/kaldex-sim.log" 2>&1 &
pids+=($!)
wait_for 100 grep -q 'board on' "$tmp/kaldex-sim.log" || fail "kaldex-sim did not start"

# The desktop entry's command, its field codes dropped, run by a shell from another folder.
exec_line=$(sed -n 's/^Exec=//p' /usr/share/applications/zelk.desktop | head -n 1)
exec_line=${exec_line//%[fFuUick]/}
[ -n "$exec_line" ] || fail "the desktop entry has no Exec line"
echo "package-test: starting '$exec_line' as the desktop entry does"
(cd "$elsewhere" && exec env -i HOME="$home" XDG_RUNTIME_DIR="$runtime" KALDEX_BOARD_DIR="$boards" \
    DISPLAY="$DISPLAY" LANG=C.UTF-8 PATH=/usr/local/bin:/usr/bin:/bin sh -c "exec $exec_line") \
    >"$tmp/console.log" 2>&1 &
console=$!
pids+=("$console")

window=$(timeout 30 xdotool search --sync --onlyvisible --name 'ZELK' | head -n 1) ||
    fail "the console's window did not appear"

# Controls are placed in twips, 15 to a pixel, from the window's or dialog's top left corner.
click() {
    kill -0 "$console" 2>/dev/null || fail "the console ended"
    xdotool mousemove --window "$1" $(($2 / 15)) $(($3 / 15)) click 1
    sleep 0.2
}

echo "package-test: the per-user work folder $work"
for ini in LogicCtl.ini ZELK_SCR.ini; do
    cmp -s "/usr/share/zelk/$ini" "$work/$ini" || fail "$work/$ini is not the installed sample"
done

echo "package-test: an edit saved through the variable editor"
note=saved-by-package-test
click "$window" 727 187 # 変数設定
dialog=$(timeout 10 xdotool search --sync --onlyvisible --name 'VariableEditor' | head -n 1) ||
    fail "the variable editor did not open"
click "$dialog" 6960 3307 # the comment of variable 07
xdotool key ctrl+a
xdotool type --delay 20 "$note"
click "$dialog" 6097 3847 # ＯＫ
wait_for 50 grep -aq "^VAR_COMMENT_07=$note" "$work/LogicCtl.ini" || fail "the edit was not saved in $work"

# The monitor's state cell (the value column of the first row below the header, with the sample's column
# widths) copied with 値コピー.
monitor_shows_state_3() {
    click "$window" 6045 855
    click "$window" 8587 3547
    [ "$(xclip -selection clipboard -o 2>/dev/null)" = 3 ]
}

echo "package-test: 制御開始"
click "$window" 1027 3427
wait_for 30 monitor_shows_state_3 || fail "the monitor does not show state 3"

echo "package-test: 制御終了"
click "$window" 3067 3427
log_name=$(sed -n 's/^CSV_FNAME=//p' "$work/LogicCtl.ini" | tr -d '\r')
wait_for 100 test -s "$work/$log_name" || fail "no log file $log_name in $work"
[ ! -e "$elsewhere/$log_name" ] || fail "the log file was written in the folder the console was started from"
kill -0 "$console" 2>/dev/null || fail "the console ended"

echo "package-test: the control service, in a virtual machine booted by systemd"
scripts/test-kernel.sh --service "$build" || fail "the control service failed in the virtual machine"

echo "package-test: PASS"
