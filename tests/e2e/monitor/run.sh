#!/bin/sh
# Runs monitor_check under Wine against the monitor DLL of one cross build (default: build/win32).
# Uses $WINEPREFIX when set, else a throwaway prefix (about 15 s to create).
set -eu
root=$(cd "$(dirname "$0")/../../.." && pwd)
build=${1:-$root/build/win32}
dll=$(ls "$build"/tools/monitor/qlvMON*.dll)
exe="$build/tests/e2e/monitor/monitor_check.exe"
[ -f "$exe" ] || { echo "$0: build $exe first" >&2; exit 1; }
export WINEDEBUG=${WINEDEBUG:--all}
if [ -z "${WINEPREFIX:-}" ]; then
    WINEPREFIX=$(mktemp -d)
    export WINEPREFIX
    trap 'wineserver -k 2>/dev/null || true; rm -rf "$WINEPREFIX"' EXIT INT TERM
    wineboot -i >/dev/null 2>&1
fi
wine "$exe" "$(winepath -w "$dll")"
