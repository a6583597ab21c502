#!/usr/bin/env bash
# The maker's package check (tools/package/check-package.sh), on the host: the sample package
# passes; a package without one model's GPD and one language module is reported item by item;
# stray paths, a damaged catalogue and an entry leaving the folder are reported too.
set -uo pipefail
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
# shellcheck source=tests/e2e/lib.sh
source "$here/lib.sh"
export LC_ALL=C

tools=$E2E_REPO/tools/package
work=$(mktemp -d "${TMPDIR:-/tmp}/package-check.XXXXXX")
e2e_on_exit "rm -rf '$work'"

# stage NAME: a synthetic staging tree to change, in $work/NAME.
stage() {
    "$(package_here=$tools && . "$tools/lib.sh" && package_tool stage_tree)" write "$work/$1"
}
# pack NAME: the package of $work/NAME, packed as it is.
pack() {
    bash "$tools/build-package.sh" --stage "$work/$1" --out "$work/$1.Drv" --no-check >/dev/null
}
# run NAME: the check's output in $work/NAME.out, its status in $rc.
run() {
    bash "$tools/check-package.sh" "$work/$1.Drv" >"$work/$1.out" 2>&1
    rc=$?
    sed "s/^/$1: /" "$work/$1.out"
}

if ! bash "$tools/build-package.sh" --out "$work/sample.Drv" >/dev/null; then
    fail "the sample package could not be built"
    e2e_summary
    exit 1
fi
run sample
check "the sample package passes (status $rc)" test "$rc" = 0
check "the sample package reports nothing" test "$(grep -vc ': complete$' "$work/sample.out")" = 0

# One model's GPD (x86) and one language module (x64) left out.
stage short
gpd=$(cd "$work/short/Ticket/x86" && grep -l '^\*% Model: ' -- *.GPD | head -n 1)
mapfile -t models < <(sed -n 's/^\*% Model: \(.*\)\r$/\1/p' "$work/short/Ticket/x86/$gpd")
rm "$work/short/Ticket/x86/$gpd" "$work/short/Barcode/x64/QLVGER56.DLL"
pack short
run short
check "the short package fails (status $rc)" test "$rc" = 1
missing=$(grep '^missing ' "$work/short.out")
check "exactly two items are missing" test "$(grep -c . <<<"$missing")" = 2
check "the GPD is named with its model" grep -qxF \
    "missing Ticket/x86/$gpd (needed by $(IFS=,; sed 's/,/, /g' <<<"${models[*]}"))" <<<"$missing"
check "the language module is named with the label models" grep -qxF \
    "missing Barcode/x64/QLVGER56.DLL (needed by every label model)" <<<"$missing"

# Stray paths, a link, and a catalogue that breaks its limits.
stage stray
mkdir -p "$work/stray/Program Files/Vendor"
echo stray >"$work/stray/Program Files/Vendor/x.txt"
echo stray >"$work/stray/readme.txt"
ln -s ../Common "$work/stray/Barcode/x86/common-link"
long=$(printf 'N%.0s' $(seq 1 140))
sed -i "0,/^PrintName1=.*\r$/s//PrintName1=$long\r/" "$work/stray/DriverName.cfg"
(cd "$work/stray" && 7z a -t7z -snl -bd -bso0 -bsp0 "$work/stray.Drv" -- * >/dev/null)
run stray
check "the stray package fails (status $rc)" test "$rc" = 1
check "a folder outside the three paths is named" \
    grep -qF "outside the three paths (Ticket, Barcode, DriverName.cfg): Program Files" "$work/stray.out"
check "a file outside the three paths is named" grep -qF "): readme.txt" "$work/stray.out"
check "a link is named" grep -qxF "link: Barcode/x86/common-link" "$work/stray.out"
check "a display name over 127 characters is named" \
    grep -qF "PrintName1 exceeds 127 chars" "$work/stray.out"

# An entry that would leave the folder: the archiver refuses it, and the check says so.
stage escape
python3 - "$work/escape" "$work/escape.Drv" <<'PY'
import os, sys, tarfile
root, out = sys.argv[1], sys.argv[2]
with tarfile.open(out, "w") as t:
    for folder, _, files in os.walk(root):
        for f in files:
            path = os.path.join(folder, f)
            t.add(path, os.path.relpath(path, root))
    t.add(os.path.join(root, "DriverName.cfg"), "../escaped.cfg")
PY
run escape
check "the escaping package fails (status $rc)" test "$rc" = 1
check "the escaping entry is named" grep -qF "archive: Refused: ../escaped.cfg" "$work/escape.out"
check "nothing escaped" test ! -e "$work/escaped.cfg"

check "a missing package is a usage error" \
    bash -c "bash '$tools/check-package.sh' '$work/none.Drv' >/dev/null 2>&1; test \$? = 2"
e2e_summary
