#!/usr/bin/env bash
# Installs the Debian 12 packages that building, testing and running ZELK need; with --fuzz also clang with
# libFuzzer for the fuzz targets (scripts/fuzz.sh), with --package-test the tools of scripts/package-test.sh.
# Idempotent: only missing packages are installed. Needs root (or sudo) when something is missing.
set -euo pipefail

packages=(
  build-essential cmake ninja-build pkg-config
  qt6-base-dev libgl-dev
  qt6-wayland   # the GUI on Wayland desktops without X11
  libhidapi-dev
  libgtest-dev libgmock-dev libbenchmark-dev
  libexpat1-dev  # tests parse the timing diagrams as XML
  libmodbus-dev  # zelkctl run serves Modbus TCP; its tests use the library's client
  libmosquitto-dev  # zelkctl run publishes to an MQTT broker
  libz3-dev  # zelkctl prove: the solver
  mosquitto mosquitto-clients openssl  # its tests: the broker, mosquitto_sub and _pub, a CA of their own
  fonts-ipafont-gothic
  xvfb xauth
  clang-format
)
for option in "$@"; do
  case "$option" in
  --fuzz) packages+=(clang-14 libclang-rt-14-dev) ;;
  --package-test) packages+=(lintian xdotool xclip) ;;
  *)
    echo "install-deps.sh: unknown option: $option" >&2
    exit 2
    ;;
  esac
done

exec "$(dirname "$0")/install-missing.sh" "${packages[@]}"
