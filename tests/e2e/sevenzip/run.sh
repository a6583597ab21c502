#!/usr/bin/env bash
# Extracts a good and a hostile archive with the cross-built 7-zip32.dll under Wine.
# Usage: run.sh <build dir holding 7-zip32.dll and sevenzip_check.exe>
# Uses $WINEPREFIX when set, else a throwaway prefix. Exits non-zero on a failed check.
set -euo pipefail

build=${1:?usage: run.sh <build dir>}
dll=$(find "$build" -name 7-zip32.dll -print -quit)
exe=$(find "$build" -name sevenzip_check.exe -print -quit)
[[ -n "$dll" && -n "$exe" ]] || {
    echo "7-zip32.dll or sevenzip_check.exe not found under $build" >&2
    exit 2
}

work=$(mktemp -d "${TMPDIR:-/tmp}/sevenzip-wine.XXXXXX")
cleanup() {
    if [[ -n "${own_prefix:-}" ]]; then
        WINEPREFIX=$own_prefix wineserver -k 2>/dev/null || true
    fi
    rm -rf "$work"
}
trap cleanup EXIT
if [[ -z "${WINEPREFIX:-}" ]]; then
    own_prefix=$work/prefix
    export WINEPREFIX=$own_prefix
    WINEDEBUG=-all wineboot -i >/dev/null 2>&1
fi
export WINEDEBUG=-all

cp "$dll" "$exe" "$work/"
mkdir -p "$work/src/Ticket/x86" "$work/outside"
printf 'receipt model\n' >"$work/src/Ticket/x86/model.gpd"
printf '[Driver]\r\n' >"$work/src/DriverName.cfg"
(cd "$work/src" && 7z a -t7z -bd -y "$work/DriverData.Drv" . >/dev/null)
python3 - "$work/evil.tar" <<'PY'
import io, sys, tarfile
with tarfile.open(sys.argv[1], "w") as tar:
    for name in ("ok.txt", "../outside/x", "..\\outside\\y", "C:\\evil.txt"):
        info = tarfile.TarInfo(name)
        info.size = 4
        tar.addfile(info, io.BytesIO(b"data"))
PY

winpath() { echo "Z:${1//\//\\}"; }
failed=0
run() { (cd "$work" && wine ./sevenzip_check.exe "$(winpath "$1")" "$(winpath "$2")") || true; }

good=$(run "$work/DriverData.Drv" "$work/out")
echo "$good"
if [[ "$good" == result=0\ * && "$good" != *callbacks=0* && "$good" == *after=0* ]] &&
    cmp -s "$work/src/Ticket/x86/model.gpd" "$work/out/Ticket/x86/model.gpd"; then
    echo "PASS: good archive extracted under Wine"
else
    echo "FAIL: good archive"
    failed=1
fi

evil=$(run "$work/evil.tar" "$work/out2")
echo "$evil"
if [[ "$evil" == result=4\ * && -z "$(ls -A "$work/outside")" && -f "$work/out2/ok.txt" ]]; then
    echo "PASS: hostile entries refused under Wine"
else
    echo "FAIL: hostile archive"
    failed=1
fi
exit $failed
