#!/bin/sh
# The steps of the service test, run as a unit of the guest's systemd: the installed package's zelk.service on
# a board made by the installed kaldex-uhid, as an administrator meets it. The guest boots this machine's root,
# where the package is installed, with /etc and /var writable over it in the guest's memory; the broker is the
# installed mosquitto. Each step prints
# "kernel-test: STEP: ok (SECONDS s)" or ends the script with "kernel-test: FAIL: ...".
#   service-steps.sh SOURCE_DIR BUILD_DIR RESULTS_DIR
set -u
source_dir=$1
results=$3
tmp=/run/service-test
work=/var/lib/zelk
mkdir -p "$tmp"

. "$source_dir/scripts/kernel-vm/step-helpers.sh"

save_journal() { journalctl -u zelk --no-pager -o short-monotonic >"$tmp/journal.out" 2>&1; }
# shellcheck disable=SC2034 # fail in step-helpers.sh calls it
before_fail=save_journal
unit() { systemctl show -p "$1" --value zelk; }

begin "set-up"
systemctl cat zelk.service >/dev/null || fail "systemd does not know zelk.service"
getent group zelk >/dev/null || fail "no group zelk: the package's system user was not made"
modprobe uhid || fail "no uhid module"
passed "$(systemctl --version | head -n 1)"

begin "board"
mkfifo "$tmp/board.in"
kaldex-uhid <"$tmp/board.in" >"$tmp/board.out" 2>"$tmp/board.err" &
exec 3>"$tmp/board.in"
wait_for "$tmp/board.err" "board on" 5 || fail "kaldex-uhid made no board"
udevadm settle -t 10
node=$(node_of "$tmp/board.err")
access=$(stat -c '%G %a' "$node")
[ "$access" = "zelk 660" ] || fail "$node is '$access', not group zelk mode 660: the installed rule did not apply"
passed "$node zelk 660"

# Modbus TCP on its own port 502, as a plant's clients expect it, and MQTT to a broker on this machine, from
# the environment file.
begin "service start"
mosquitto -p 1883 >"$tmp/broker.out" 2>&1 &
echo 'ZELK_OPTIONS="--modbus 502 --mqtt mqtt://localhost --name line1"' >/etc/default/zelk
systemctl start zelk || fail "systemctl start zelk failed"
wait_for "$tmp/board.out" "port1 0x0F" 15 || fail "the service's run did not start on the board"
[ -s "$work/LogicCtl.ini" ] || fail "the first start did not copy the sample program into $work"
passed

begin "sandbox"
pid=$(unit MainPID)
[ "$(stat -c %U "/proc/$pid")" = zelk ] || fail "the run is not the user zelk's"
grep -q '^NoNewPrivs:[[:space:]]*1$' "/proc/$pid/status" || fail "the run may gain privileges"
caps=$(sed -n 's/^CapEff:[[:space:]]*//p' "/proc/$pid/status")
[ "$caps" = 0000000000000400 ] || fail "the run holds the capabilities $caps, not the binding of low ports alone"
# The control cycle's thread at FIFO real-time priority, which the unit's LimitRTPRIO allows.
ps -L -o cls= -p "$pid" | grep -q FF || fail "no thread of the run has real-time priority: $(ps -L -o cls=,rtprio= -p "$pid" | tr '\n' ' ')"
passed "user zelk, capabilities $caps, a FIFO thread"

begin "input to output"
echo "press 0" >&3
wait_for "$tmp/board.out" "port1 0x0E" 5 || fail "pressing input 0 did not switch output 0 within 5 s"
echo "release 0" >&3
passed

# Input register 0 holds the run state, 3 while running: function 04, one register, unit 1.
begin "Modbus TCP on port 502"
request='\000\001\000\000\000\006\001\004\000\000\000\001'
reply=$(bash -c "exec 5<>/dev/tcp/127.0.0.1/502 && printf '$request' >&5 && timeout 5 head -c 11 <&5" |
    od -An -tx1 | tr -d ' \n')
[ "$reply" = 0001000000050104020003 ] || fail "the run state read over Modbus TCP is '$reply'"
passed "run state 3"

begin "MQTT to a broker on this machine"
state=$(timeout 10 mosquitto_sub -h localhost -t zelk/line1/state -C 1 2>&1)
case $state in
*'"state":3'*) ;;
*) fail "the retained run state at the broker is '$state'" ;;
esac
passed "$state"

# Unplugged: the run ends with status 4 and the service starts it again 10 s later, on the board plugged in
# again meanwhile.
begin "board lost and found again"
starts=$(grep -c "port1 0x0F" "$tmp/board.out")
echo "unplug" >&3
deadline=$(later 5)
until [ "$(unit ExecMainStatus)" = 4 ]; do
    reached "$deadline" && fail "the run did not end with status 4 within 5 s of the unplug"
    sleep 0.1
done
echo "plug" >&3
wait_for "$tmp/board.out" "port1 0x0F" 30 $((starts + 1)) || fail "the service did not start the run again"
[ "$(unit NRestarts)" = 1 ] || fail "the service was restarted $(unit NRestarts) times, not once"
journalctl -u zelk --no-pager | grep -q "ended by itself" || fail "the journal does not say why the run ended"
passed "restarted once"

begin "stop writes the log file"
systemctl stop zelk || fail "systemctl stop zelk failed"
[ -s "$work/ZELK_LOG.csv" ] || fail "no log file in $work after the stop"
owner=$(stat -c '%U %a' "$work/ZELK_LOG.csv")
[ "$owner" = "zelk 640" ] || fail "the log file is '$owner', not the user zelk's with mode 640"
passed "$(wc -l <"$work/ZELK_LOG.csv") rows, $owner"

# A bad command line does not mend itself: the service stops instead of starting again every 10 s.
begin "bad options not retried"
echo 'ZELK_OPTIONS="--no-such-option"' >/etc/default/zelk
systemctl start zelk
deadline=$(later 5)
until [ "$(unit ActiveState)" = failed ]; do
    reached "$deadline" && fail "the service is $(unit ActiveState) ($(unit SubState)), not failed"
    sleep 0.1
done
[ "$(unit ExecMainStatus)" = 64 ] || fail "the run ended with status $(unit ExecMainStatus), not 64"
passed

exec 3>&-
cp "$tmp/board.err" "$results/service-board.err"
echo "PASS" >"$results/outcome"
say "all steps passed at $(now) s"
