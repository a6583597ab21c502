#!/usr/bin/env bash
# The Windows builds' files as Windows will load them: PE32 for i686 and PE32+ for x86_64, a GUI
# program, imports from system DLLs only, and the archiver's plain export names.
set -uo pipefail
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
# shellcheck source=tests/e2e/lib.sh
source "$here/lib.sh"

case "$(basename "$E2E_BUILD")" in
    win64) objdump=x86_64-w64-mingw32-objdump magic=020b machine='x86-64' ;;
    *) objdump=i686-w64-mingw32-objdump magic=010b machine='i386' ;;
esac
system_dlls='^(KERNEL32|USER32|GDI32|COMCTL32|ADVAPI32|WINSPOOL\.DRV|msvcrt|SHELL32|ole32)(\.dll)?$'

# imports_ok <file>: every imported DLL is one of the system's.
imports_ok() {
    local bad
    bad=$("$objdump" -p "$1" | awk '/DLL Name:/ { print $3 }' | grep -v -i -E "$system_dlls")
    [[ -z "$bad" ]] || echo "non-system imports: $bad"
    [[ -z "$bad" ]]
}

exe=$E2E_BUILD/DriverInstaller.exe
dll=$(find "$E2E_BUILD/tools/sevenzip" -name 7-zip32.dll -print -quit 2>/dev/null)
monitor=$(find "$E2E_BUILD/tools/monitor" -name 'qlvMON*.dll' -print -quit 2>/dev/null)

check "installer is PE magic $magic" grep -q "Magic.*$magic" <("$objdump" -p "$exe")
check "installer is for $machine" grep -q "file format pe.*$machine" <("$objdump" -f "$exe")
check "installer is a GUI program" grep -q "Subsystem.*Windows GUI" <("$objdump" -p "$exe")
check "installer imports only system DLLs" imports_ok "$exe"
for f in "$dll" "$monitor"; do
    if [[ -z "$f" ]]; then
        fail "a DLL of the build is missing (7-zip32.dll or the monitor)"
        continue
    fi
    check "$(basename "$f") imports only system DLLs" imports_ok "$f"
done
if [[ -n "$dll" ]]; then
    exports=$("$objdump" -p "$dll" | awk '/\[Ordinal\/Name Pointer\] Table/ { on = 1; next } on && NF == 0 { on = 0 } on { print $NF }')
    for name in SevenZip SevenZipSetOwnerWindowEx SevenZipKillOwnerWindowEx SevenZipGetRunning; do
        check "7-zip32.dll exports $name by its plain name" grep -qx "$name" <<<"$exports"
    done
fi
if [[ -n "$monitor" ]]; then
    check "$(basename "$monitor") exports InitializePrintMonitor2" \
        grep -q 'InitializePrintMonitor2$' <("$objdump" -p "$monitor")
fi
e2e_summary
