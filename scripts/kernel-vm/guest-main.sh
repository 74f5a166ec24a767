#!/bin/sh
# PID 1 of the test guest after the switch to the host's root (read-only), or systemd's unit there: gives the
# guest a writable /etc where it has none (an overlay, so that the package's system user can be made as on an
# installed system), runs the steps
# (zelk.steps=) under a time limit and powers the guest off. The outcome goes to the results folder.
export PATH=/usr/sbin:/usr/bin:/sbin:/bin LANG=C.UTF-8 HOME=/run/home TMPDIR=/run/tmp
mkdir -p "$HOME" "$TMPDIR"
param() { sed -n "s/.*zelk\.$1=\([^ ]*\).*/\1/p" /proc/cmdline; }
results=$(param results)
echo "kernel-test: guest up at $(cut -d' ' -f1 /proc/uptime) s (kernel $(uname -r))"

if [ ! -w /etc ]; then
    mkdir -p /run/etc/upper /run/etc/work
    modprobe overlay && mount -t overlay -o lowerdir=/etc,upperdir=/run/etc/upper,workdir=/run/etc/work etc /etc ||
        echo "kernel-test: no writable /etc"
fi
echo "FAIL: the steps did not finish" >"$results/outcome"
timeout -k 5 "$(param limit)" sh "$(param steps)" "$(param source)" "$(param build)" "$results"
status=$?
[ "$status" -eq 124 ] && echo "FAIL: the steps took longer than $(param limit) s" >"$results/outcome"
echo "kernel-test: steps ended with status $status at $(cut -d' ' -f1 /proc/uptime) s"
sync
umount "$results"
/bin/busybox poweroff -f
