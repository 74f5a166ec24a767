#!/bin/sh
# Checks a unit file with systemd-analyze verify; skipped (status 77) where systemd-analyze is missing.
unit=$1
if ! command -v systemd-analyze >/dev/null 2>&1; then
    echo "systemd-analyze is not installed: $unit is not verified"
    exit 77
fi
# Every message counts: systemd-analyze reports unknown settings as warnings only.
output=$(systemd-analyze verify --man=no "$unit" 2>&1)
status=$?
[ -n "$output" ] && echo "$output"
[ "$status" -eq 0 ] && [ -z "$output" ]
