#!/usr/bin/env bash
# The technician's release zip (tools/make-release.sh): named from the version record, holding
# the installer, the i686 7-zip32.dll, DriverData.Drv and README.txt; unpacked, it starts under
# Wine to the ready state with the package's driver list, and leaves nothing on drive C.
set -uo pipefail
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
# shellcheck source=tests/e2e/lib.sh
source "$here/lib.sh"
export LC_ALL=C
IDC_INSTALL=$(e2e_id IDC_INSTALL)
IDC_DRIVER_COMBO=$(e2e_id IDC_DRIVER_COMBO)
caption=$(e2e_caption IDD_INSTALL)

log=$(mktemp "${TMPDIR:-/tmp}/release.XXXXXX")
e2e_on_exit "rm -f '$log'"
if ! bash "$E2E_REPO/tools/make-release.sh" >"$log" 2>&1; then
    sed 's/^/make-release: /' "$log"
    fail "make-release.sh failed"
    e2e_summary
    exit 1
fi
tail -n 3 "$log" | sed 's/^/make-release: /'
product=$(sed -n 's/^ *VALUE "ProductName", "\(.*\)"$/\1/p' "$E2E_REPO/res/app.rc")
version=$(sed -n 's/^ *VALUE "ProductVersion", "\(.*\)"$/\1/p' "$E2E_REPO/res/app.rc")
stem=${product// /}-$version
zip=$E2E_REPO/build/release/$stem.zip
check "release zip named from the version record ($stem.zip)" test -f "$zip"

e2e_start_display || { fail "no X display"; e2e_summary; exit 1; }
e2e_prefix || { fail "no Wine prefix"; e2e_summary; exit 1; }
run=$E2E_WORK/unzipped
mkdir -p "$run"
check "the zip unpacks" unzip -q "$zip" -d "$run"
check "it holds the installer, the DLL, the package and the text, side by side" \
    test "$(cd "$run" && find . -type f | sort | tr '\n' ' ')" = \
    "./$stem/7-zip32.dll ./$stem/DriverData.Drv ./$stem/DriverInstaller.exe ./$stem/README.txt "
dir=$run/$stem
# PE machine field: 0x14c is i386.
machine() {
    python3 -c 'import struct,sys; d=open(sys.argv[1],"rb").read(); o=struct.unpack_from("<I",d,0x3c)[0]; print(hex(struct.unpack_from("<H",d,o+4)[0]))' "$1"
}
check "7-zip32.dll is i686 ($(machine "$dir/7-zip32.dll"))" test "$(machine "$dir/7-zip32.dll")" = 0x14c
check "the installer is i686" test "$(machine "$dir/DriverInstaller.exe")" = 0x14c
check "the text names administrator rights and the spooler" \
    bash -c "grep -q 'administrator' '$dir/README.txt' && grep -q 'Spooler' '$dir/README.txt'"

(cd "$dir" && exec env WINEDEBUG=-all timeout -k 5 300 wine DriverInstaller.exe) \
    >"$E2E_WORK/app.log" 2>&1 &
app=$!
e2e_on_exit "kill $app 2>/dev/null"
check "the installer reaches the ready state" e2e_probe waitenabled "$caption" "$IDC_INSTALL" 90000
names=$(e2e_probe combo "$caption" "$IDC_DRIVER_COMBO" | wc -l)
check "the driver list comes from the zip's package ($names names)" test "$names" -gt 30
check "the package is placed on drive C" test -d "$E2E_DRIVE_C/Ticket/x86"
e2e_screenshot release-ready
check "close box accepted" e2e_probe close "$caption"
for ((i = 0; i < 300; i++)); do
    kill -0 "$app" 2>/dev/null || break
    sleep 0.1
done
check "the installer ended" bash -c "! kill -0 $app 2>/dev/null"
for gone in Barcode Ticket DriverName.cfg DriverSetup.unpack; do
    check "c:\\$gone removed on close" test ! -e "$E2E_DRIVE_C/$gone"
done
e2e_summary
