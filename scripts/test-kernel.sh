#!/usr/bin/env bash
# The real-board path against a real kernel. Boots Debian's own kernel under qemu (software emulation) with
# this machine's root shared read-only and a writable results folder, and runs there, on boards made by
# kaldex-uhid through the kernel's UHID driver and on a USB board made with the USB gadget modules: the
# built udev rule applied by udev, zelkctl run as the package's service user opening the board through
# hidapi, a 30 s run (cycles counted at the board, an input reaching the output, the log file), a second run
# refused, the board unplugged under a run and plugged again, other devices left alone. See
# scripts/kernel-vm/guest-steps.sh for the steps.
#
# With --service it tests the installed Debian package instead (scripts/package-test.sh runs it while the
# package is installed): the guest boots this machine's root with systemd, which starts the package's
# zelk.service on a board of the installed kaldex-uhid; see scripts/kernel-vm/service-steps.sh.
#
#   scripts/test-kernel.sh [--service] [BUILD_DIR]      (default build/default, built already)
#
# Installs qemu-system-x86, linux-image-amd64 (its modules and kernel image only: this machine's own kernel
# stays as it is) and busybox-static. Skipped, with a message, where that cannot be done or qemu cannot run.
set -euo pipefail
cd "$(dirname "$0")/.."
repo=$PWD
service=false
if [ "${1:-}" = --service ]; then
    service=true
    shift
fi
build=$(realpath "${1:-build/default}")
vm=$build/kernel-vm
steps=guest-steps.sh
if $service; then
    vm=$build/kernel-vm-service
    steps="service-steps.sh"
fi
results=$vm/results
# Time limits: the guest's steps, and qemu as a whole (boot and power-off included).
steps_limit=220
qemu_limit=270

skip() {
    echo "test-kernel: skipped: $*"
    exit 0
}
fail() {
    echo "test-kernel: FAIL: $*" >&2
    exit 1
}

[ "$(uname -m)" = x86_64 ] || skip "the guest is an x86-64 Debian kernel; this machine is $(uname -m)"
command -v apt-get >/dev/null 2>&1 && command -v dpkg >/dev/null 2>&1 || skip "this machine has no apt-get"
if [ "$(id -u)" -ne 0 ] && ! command -v sudo >/dev/null 2>&1; then
    skip "installing qemu and the kernel needs root or sudo"
fi
# INITRD=No: the kernel package makes no initramfs of its own; the test brings its own.
INITRD=No scripts/install-missing.sh qemu-system-x86 linux-image-amd64 busybox-static udev systemd kmod cpio \
    xz-utils
echo "test-kernel: packages ready after $SECONDS s"

if $service; then
    for installed in /usr/bin/zelkctl /usr/bin/kaldex-uhid /lib/systemd/system/zelk.service; do
        [ -e "$installed" ] || fail "$installed is not installed: the package is not"
    done
else
    for built in cli/zelkctl engine/libZELK_Eng.so virtual_board/uhid/kaldex-uhid \
        virtual_board/uhid/tests/uhid_round_trip packaging/70-kaldex.rules; do
        [ -e "$build/$built" ] || fail "$build/$built is not built"
    done
fi
kernel_version=$(find /lib/modules -mindepth 1 -maxdepth 1 -name '*-amd64' -printf '%f\n' | sort -V | tail -n 1)
[ -n "$kernel_version" ] && [ -r "/boot/vmlinuz-$kernel_version" ] || skip "no Debian amd64 kernel installed"
qemu-system-x86_64 -version >/dev/null 2>&1 || skip "qemu-system-x86_64 does not run here"

rm -rf "$vm"
mkdir -p "$vm/initramfs/bin" "$vm/initramfs/modules" "$results"
echo "test-kernel: kernel $kernel_version"

# The kernel, uncompressed once (booting it saves seconds of decompression under emulation); the packed
# image where that fails.
kernel=/boot/vmlinuz-$kernel_version
offset=$(LC_ALL=C grep -abo $'\xfd7zXZ' "$kernel" | head -n 1 | cut -d: -f1 || true)
if [ -n "$offset" ]; then
    tail -c +$((offset + 1)) "$kernel" | xz -dcq >"$vm/vmlinux" 2>/dev/null || true
    [ "$(head -c 4 "$vm/vmlinux" | od -An -c | tr -d ' ')" = 177ELF ] && kernel=$vm/vmlinux
fi

# The initramfs: busybox, the modules that reach the host's root (virtio and 9p) and lay writable folders
# over it (overlay) in load order, the init.
cp /bin/busybox "$vm/initramfs/bin/"
for applet in sh mount insmod sed cat chmod mkdir switch_root; do ln -s busybox "$vm/initramfs/bin/$applet"; done
mkdir -p "$vm/initramfs"/{proc,sys,dev,newroot}
for module in virtio_pci 9pnet_virtio 9p overlay; do
    modprobe --show-depends -S "$kernel_version" "$module" | sed -n 's/^insmod \([^ ]*\).*/\1/p'
done | awk '!seen[$0]++' | while read -r file; do
    cp "$file" "$vm/initramfs/modules/"
    basename "$file" >>"$vm/initramfs/modules/order"
done
cp scripts/kernel-vm/initramfs-init "$vm/initramfs/init"
(cd "$vm/initramfs" && find . | cpio -o -H newc --quiet | gzip -1) >"$vm/initramfs.cpio.gz"

# The guest's scripts and folders, by their paths on this machine (no spaces): the guest sees the same tree.
command_line="console=ttyS0 quiet panic=-1 rdinit=/init zelk.main=$repo/scripts/kernel-vm/guest-main.sh"
command_line+=" zelk.steps=$repo/scripts/kernel-vm/$steps zelk.source=$repo zelk.build=$build"
if $service; then command_line+=" zelk.init=systemd"; fi
command_line+=" zelk.results=$results zelk.limit=$steps_limit"
# KVM refuses a standard guest on the machines this runs on: software emulation only. One processor: the
# guest's work is small, and with two each answer crosses between the emulator's processor threads, which a
# loaded machine delays (seen: round trips of 7.7 ms instead of 0.2 ms, and failed reads in the run).
started=$SECONDS
qemu_status=0
timeout "$qemu_limit" qemu-system-x86_64 -accel tcg -cpu max -smp 1 -m 1G \
    -nodefaults -nographic -no-reboot -monitor none -serial stdio \
    -kernel "$kernel" -initrd "$vm/initramfs.cpio.gz" \
    -append "$command_line" \
    -virtfs local,path=/,mount_tag=hostroot,security_model=none,readonly=on,multidevs=remap \
    -virtfs "local,path=$results,mount_tag=results,security_model=none" \
    </dev/null >"$vm/console.log" 2>&1 || qemu_status=$?
took=$((SECONDS - started))

# The guest's own lines (the firmware's output may precede the first on its line).
grep -ao 'kernel-test: .*' "$vm/console.log" | sed 's/\r$//' || true
if ! grep -q 'kernel-test: guest up' "$vm/console.log"; then
    if [ "$qemu_status" -ne 0 ] && [ "$qemu_status" -ne 124 ]; then
        skip "qemu cannot run here (status $qemu_status): $(tail -n 3 "$vm/console.log" | tr '\r\n' '  ')"
    fi
    tail -n 40 "$vm/console.log" >&2
    fail "the guest did not reach its steps (qemu status $qemu_status after $took s)"
fi
outcome=$(cat "$results/outcome" 2>/dev/null || echo "FAIL: no outcome")
[ "$qemu_status" -ne 124 ] || outcome="FAIL: qemu did not end within $qemu_limit s"
echo "test-kernel: qemu ran $took s"
if [ -s "$results/figures" ]; then sed 's/^/test-kernel: figure: /' "$results/figures"; fi
if [ "$outcome" != PASS ]; then
    echo "--- guest console ($vm/console.log), last lines:" >&2
    tail -n 60 "$vm/console.log" | sed 's/\r$//' >&2
    fail "${outcome#FAIL: }"
fi
echo "test-kernel: PASS ($SECONDS s in all)"
