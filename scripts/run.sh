#!/usr/bin/env bash
# Runs the system: installs what is missing, builds, lays out the run folder ./run and starts the console there.
# Without a real KALDEX board the virtual board kaldex-sim is started with its panel, and stopped when the
# console ends.
#
#   scripts/run.sh          on a desktop (needs $DISPLAY or $WAYLAND_DISPLAY)
#   scripts/run.sh --xvfb   on a virtual X display (xvfb-run), for demos and screenshots
set -euo pipefail
cd "$(dirname "$0")/.."
repo=$PWD
build=$repo/build/default
run_dir=$repo/run
sim_log=$run_dir/kaldex-sim.log
sim_pid=""     # the virtual board this script started
console_pid="" # the console while it runs

usage() {
    cat <<'EOF'
Usage: scripts/run.sh [--xvfb]
Installs the Debian packages that are missing, builds the default preset and runs the console ZELK in ./run
(its program directory and current directory, so the console and the engine use the same LogicCtl.ini).
The sample LogicCtl.ini and ZELK_SCR.ini are copied there only when missing: edits are kept.
Without a real KALDEX board the virtual board kaldex-sim is started with its panel and stopped when the
console ends.

  --xvfb   run on a virtual X display (xvfb-run) instead of the desktop; prints how to take a screenshot
  --help   show this help
EOF
}

# Ends what this script started: the console when the script is interrupted, and the virtual board.
cleanup() {
    if [ -n "$console_pid" ] && kill -0 "$console_pid" 2>/dev/null; then kill -TERM "$console_pid" || true; fi
    if [ -n "$sim_pid" ] && kill -0 "$sim_pid" 2>/dev/null; then
        kill -TERM "$sim_pid" || true
        wait "$sim_pid" 2>/dev/null || true
    fi
    sim_pid=""
}

# Starts the virtual board unless a real one is present, then the console; stops the board afterwards.
# Runs on the display already chosen.
launch() {
    local vendor_hex vendor8 board=""
    vendor_hex=$(sed -n 's/^KALDEX_VENDOR_ID:[A-Z]*=//p' "$build/CMakeCache.txt")
    if ! [[ "$vendor_hex" =~ ^(0[xX][0-9a-fA-F]{1,4}|[0-9]+)$ ]]; then
        echo "run.sh: no usable KALDEX_VENDOR_ID in $build/CMakeCache.txt: '$vendor_hex'" >&2
        exit 1
    fi
    vendor8=$(printf '%08X' "$((vendor_hex))")

    # X11 (XWayland too) where there is one: there the console can place itself from its screen settings,
    # which a Wayland window cannot; native Wayland otherwise.
    if [ -z "${QT_QPA_PLATFORM:-}" ]; then
        if [ -n "${DISPLAY:-}" ]; then export QT_QPA_PLATFORM="xcb;wayland"; else export QT_QPA_PLATFORM=wayland; fi
    fi

    for uevent in /sys/class/hidraw/*/device/uevent; do
        [ -e "$uevent" ] || continue
        if grep -qi "^HID_ID=0003:${vendor8}:" "$uevent"; then
            board=$(basename "$(dirname "$(dirname "$uevent")")")
            break
        fi
    done

    trap cleanup EXIT
    trap 'exit 130' INT
    trap 'exit 143' TERM

    if [ -n "$board" ]; then
        echo "KALDEX board found: /dev/$board (vendor $vendor_hex)."
        if [ ! -r "/dev/$board" ] || [ ! -w "/dev/$board" ]; then
            echo "  /dev/$board is not readable and writable for you: install the udev rule" \
                 "build/default/packaging/70-kaldex.rules to /etc/udev/rules.d/, then unplug and replug the board."
        fi
    else
        echo "No KALDEX board (vendor $vendor_hex) found: starting the virtual board with its panel."
        "$build/virtual_board/kaldex-sim" --panel >"$sim_log" 2>&1 &
        sim_pid=$!
        # Served once it prints its banner; a board that is already served elsewhere is used as it is.
        local waited=0
        until grep -q 'board on' "$sim_log"; do
            if ! kill -0 "$sim_pid" 2>/dev/null; then
                wait "$sim_pid" || true
                sim_pid=""
                if grep -q 'another board listens' "$sim_log"; then
                    echo "  A virtual board is already served; using it."
                    break
                fi
                echo "The virtual board did not start:" >&2
                cat "$sim_log" >&2
                exit 1
            fi
            if [ "$waited" -ge 100 ]; then
                echo "The virtual board did not start within 10 seconds; see $sim_log" >&2
                exit 1
            fi
            sleep 0.1
            waited=$((waited + 1))
        done
        if [ -n "$sim_pid" ]; then echo "  $(grep 'board on' "$sim_log" | head -n 1) (log: run/kaldex-sim.log)"; fi
    fi

    echo "Starting the console in $run_dir"
    (cd "$run_dir" && exec ./ZELK) &
    console_pid=$!
    local status=0
    wait "$console_pid" || status=$?
    console_pid=""
    cleanup
    echo "The console ended (status $status)."
    return "$status"
}

xvfb=false
launch_only=false
for arg in "$@"; do
    case "$arg" in
    --xvfb) xvfb=true ;;
    --launch) launch_only=true ;; # inside xvfb-run: everything is built and laid out
    -h | --help)
        usage
        exit 0
        ;;
    *)
        echo "run.sh: unknown option: $arg" >&2
        usage >&2
        exit 2
        ;;
    esac
done

if $launch_only; then
    echo "Virtual display $DISPLAY; a screenshot: DISPLAY=$DISPLAY XAUTHORITY=${XAUTHORITY:-} import -window root shot.png"
    launch
    exit
fi

if ! $xvfb && [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
    echo "run.sh: no display: neither DISPLAY nor WAYLAND_DISPLAY is set." >&2
    echo "Run it from a desktop session, or on a virtual X display with: scripts/run.sh --xvfb" >&2
    exit 1
fi

scripts/install-deps.sh
cmake --preset default
cmake --build --preset default --target ZELK ZELK_Eng kaldex-sim

# The run folder: the console and the engine side by side, the sample settings only where none exist yet.
mkdir -p "$run_dir"
for built in "$build/console/main/ZELK" "$build/engine/libZELK_Eng.so"; do
    # Copied beside each other, not linked: the console looks for the engine and its INI files in the
    # directory of its own resolved path. A rename replaces a copy that may still be running.
    cp -f "$built" "$run_dir/.$(basename "$built").new"
    mv -f "$run_dir/.$(basename "$built").new" "$run_dir/$(basename "$built")"
done
for ini in LogicCtl.ini ZELK_SCR.ini; do
    if [ ! -e "$run_dir/$ini" ]; then
        if [ -e "samples/$ini" ]; then
            cp "samples/$ini" "$run_dir/$ini"
            echo "Copied samples/$ini to run/$ini"
        else
            echo "run.sh: samples/$ini is missing; the console starts without it." >&2
        fi
    fi
done

if $xvfb; then
    exec xvfb-run -a -s "-screen 0 1280x1024x24" "$repo/scripts/run.sh" --launch
fi
launch
