#!/usr/bin/env bash
# Under Wine: the main dialog matches its template, gets ready, and removes the unpacked files when closed.
set -uo pipefail
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
# shellcheck source=tests/e2e/lib.sh
source "$here/lib.sh"
export LC_ALL=C

template=(python3 "$here/dialog_template.py" --inc "$E2E_REPO/res/Dialogs.inc"
    --ids "$E2E_REPO/res/resource.h" --dialog IDD_INSTALL)
caption=$("${template[@]}" --caption)
IDC_DRIVER_COMBO=$(e2e_id IDC_DRIVER_COMBO)
IDC_PRINTER_NAME=$(e2e_id IDC_PRINTER_NAME)
IDC_STATUS=$(e2e_id IDC_STATUS)
IDC_INSTALL=$(e2e_id IDC_INSTALL)
IDC_SET_DEFAULT=$(e2e_id IDC_SET_DEFAULT)
IDC_PORT_TYPES=$(e2e_id IDC_PORT_TYPES)
readonly START_MS=30000 READY_MS=90000 END_SECONDS=30

for need in "$E2E_BUILD/DriverInstaller.exe" "$E2E_PROBE"; do
    if [[ ! -f "$need" ]]; then
        fail "$need is missing (cmake --preset win32 && cmake --build --preset win32)"
        e2e_summary
        exit 1
    fi
done

e2e_start_display || {
    fail "no X display"
    e2e_summary
    exit 1
}
e2e_prefix || {
    fail "no Wine prefix"
    e2e_summary
    exit 1
}

drive_c=$E2E_DRIVE_C
run=$E2E_WORK/run
e2e_stage_run_dir "$run"
unpacks=0
if ((E2E_HAVE_PACKAGE && E2E_HAVE_DLL)); then
    unpacks=1
    note "DriverData.Drv and 7-zip32.dll present: unpacking, driver list and status-line checks run"
else
    note "DriverData.Drv or 7-zip32.dll not built: the package checks are skipped;" \
        "the driver list is checked against the catalogue placed on drive C"
    # What the clean-up must remove, in place before the program starts. With a package the
    # run places them itself: folders there before it that are not its own it refuses to touch.
    mkdir -p "$drive_c/Barcode/x86" "$drive_c/Ticket/x64"
    echo stub >"$drive_c/Barcode/x86/a.dll"
    echo stub >"$drive_c/Ticket/x64/b.gpd"
    printf '[First]\r\nPrintName1=E2E Receipt One\r\nPrintName2=E2E Receipt Two\r\n[Second]\r\nPrintName1=E2E Label\r\n' \
        >"$drive_c/DriverName.cfg"
    cp "$drive_c/DriverName.cfg" "$E2E_WORK/placed.cfg"
fi

(cd "$run" && exec env WINEDEBUG=-all timeout -k 5 300 wine DriverInstaller.exe) \
    >"$E2E_WORK/app.log" 2>&1 &
app=$!
e2e_on_exit "kill $app 2>/dev/null"

if ! e2e_probe wait "$caption" "$START_MS"; then
    fail "dialog \"$caption\" did not appear within $((START_MS / 1000)) s"
    e2e_screenshot main-dialog-missing
    sed 's/^/app: /' "$E2E_WORK/app.log"
    e2e_summary
    exit 1
fi
pass "dialog \"$caption\" appeared"

dump=$E2E_WORK/dump.txt
e2e_probe dump "$caption" >"$dump"
sed 's/^/dump: /' "$dump"

# The button is created disabled and the worker enables it as its last step, which can be over
# before the first look; then the status line must already show the worker's system line.
skip_enabled=
if [[ $(awk -F'\t' -v id="$IDC_INSTALL" '$1 == id { print $4 }' "$dump") == 1 ]]; then
    skip_enabled=$IDC_INSTALL
    status=$(e2e_probe text "$caption" "$IDC_STATUS")
    check "&Install enabled on first look only after the system line was shown ($status)" \
        test "${status#Current Systems is }" != "$status"
else
    pass "&Install disabled when first seen"
fi

# Not a pipeline: the counts must stay in this shell.
e2e_count < <("${template[@]}" --dump "$dump" \
    --skip-text "$IDC_DRIVER_COMBO,$IDC_PRINTER_NAME,$IDC_STATUS" --skip-enabled "$skip_enabled")
e2e_screenshot main-dialog

check "&Install enabled once the preparation is over" \
    e2e_probe waitenabled "$caption" "$IDC_INSTALL" "$READY_MS"

# The names the driver list must show: every PrintName<n> of every section, in file order.
catalogue_names() {
    python3 - "$1" <<'EOF'
import configparser, sys
ini = configparser.ConfigParser(interpolation=None, strict=False)
ini.optionxform = str.lower
ini.read(sys.argv[1], encoding="latin-1")
for section in ini.sections():
    for n in range(1, 51):
        value = ini.get(section, f"printname{n}", fallback="").strip()
        if not value:
            break
        print(value)
EOF
}

combo=$E2E_WORK/combo.txt
e2e_probe combo "$caption" "$IDC_DRIVER_COMBO" >"$combo"
sed 's/^/combo: /' "$combo"
if ((unpacks)); then
    if (cd "$E2E_WORK" && timeout 60 7z e -y -o"$E2E_WORK/pkg" "$run/DriverData.Drv" DriverName.cfg \
        >/dev/null 2>&1); then
        catalogue_names "$E2E_WORK/pkg/DriverName.cfg" >"$E2E_WORK/expected.txt"
    else
        note "DriverName.cfg not readable from the package with 7z: only a filled list is checked"
        : >"$E2E_WORK/expected.txt"
    fi
else
    catalogue_names "$E2E_WORK/placed.cfg" >"$E2E_WORK/expected.txt"
fi
cut -f3 "$combo" >"$E2E_WORK/shown.txt"
check "driver list is filled" test -s "$E2E_WORK/shown.txt"
if [[ -s "$E2E_WORK/expected.txt" ]]; then
    check "driver list shows the catalogue's names in file order" \
        cmp -s "$E2E_WORK/expected.txt" "$E2E_WORK/shown.txt"
fi
first=$(awk -F'\t' '$1 == 0 { print $2 "\t" $3 }' "$combo")
check "first driver is selected" test "${first%%$'\t'*}" = 1
name=$(e2e_probe text "$caption" "$IDC_PRINTER_NAME")
check "printer name is the selected driver's name ($name)" test "$name" = "${first#*$'\t'}"

check "\"Set Default Printer\" is ticked" test "$(e2e_probe checked "$caption" "$IDC_SET_DEFAULT")" = 1

ports=$E2E_WORK/ports.txt
e2e_probe listview "$caption" "$IDC_PORT_TYPES" >"$ports"
sed 's/^/port types: /' "$ports"
cat >"$E2E_WORK/ports.want" <<'EOF'
Serial port	The program will select a available serial port during instalation
USB port	The program will select a available USB port automatically
Parallel port	The program will prompt you to select a parallel port before install
TCP/IP port	The program will prompt you to create a TCP/IP port or configure
EOF
check "port-type list shows the four port types with their descriptions" \
    cmp -s "$E2E_WORK/ports.want" <(cut -f3- "$ports")
check "exactly one port type is selected" test "$(cut -f2 "$ports" | grep -c 1)" = 1

if ((unpacks)); then
    e2e_probe text "$caption" "$IDC_STATUS" >"$E2E_WORK/status.txt"
    printf 'Current Systems is Microsoft Windows 7  64\xce\xbb\n' >"$E2E_WORK/status.want"
    if cmp -s "$E2E_WORK/status.want" "$E2E_WORK/status.txt"; then
        pass "status line reads the system and word size, bytes exact"
    else
        fail "status line bytes differ: $(od -An -c "$E2E_WORK/status.txt" | tr -s ' \n' ' ')"
    fi
else
    note "status line bytes not checked (no package)"
fi
e2e_screenshot main-dialog-ready

check "close box accepted" e2e_probe close "$caption"
e2e_expect_end "$app" "$END_SECONDS" "the close box" main-dialog-not-closed
left=$(e2e_prefix_processes DriverInstaller.exe)
check "no DriverInstaller.exe process left${left:+ (pids $left)}" test -z "$left"

for gone in Barcode Ticket DriverName.cfg; do
    check "c:\\$gone removed on close" test ! -e "$drive_c/$gone"
done

e2e_summary
