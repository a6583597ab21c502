#!/usr/bin/env bash
# Under Wine: a label printer with its language monitor installed on a 32-bit Windows on LPT1:
# through the parallel port dialog; on a 64-bit Windows the 32-bit installer cannot load the
# 64-bit monitor module (the spooler runs inside it under Wine), so it must say "Failed to add
# Monitor", close, and leave nothing behind.
set -uo pipefail
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
# shellcheck source=tests/e2e/lib.sh
source "$here/lib.sh"
# shellcheck source=tests/e2e/install_flow.sh
source "$here/install_flow.sh"
export LC_ALL=C

readonly MODEL="LB-200 Label" STEM=LB200 PRINTER="E2E Label 60"
readonly MONITOR="Advanced Language Monitor"
readonly READY_MS=60000 DIALOG_MS=20000 STEP_MS=90000 END_SECONDS=30
IDC_PRINTER_NAME=$(e2e_id IDC_PRINTER_NAME)
IDC_INSTALL=$(e2e_id IDC_INSTALL)
IDC_STATUS=$(e2e_id IDC_STATUS)
readonly IDCANCEL=2

for need in "$E2E_BUILD/DriverInstaller.exe" "$E2E_PROBE" "$FLOW_SPOOLQ"; do
    [[ -f "$need" ]] ||
        e2e_give_up "$need is missing (cmake --preset win32 && cmake --build --preset win32)"
done
# Lists the open message boxes; true when there are none.
no_boxes() {
    local boxes
    boxes=$(e2e_probe boxes </dev/null)
    [[ -z "$boxes" ]] && return 0
    sed 's/^/box: /' <<<"$boxes"
    return 1
}

# One run on a fresh prefix of the given word size and its own display, up to the parallel
# dialog's &Ok; stop_run ends both.
start_run() {
    local arch=$1
    e2e_start_display || e2e_give_up "no X display"
    e2e_prefix "$arch" || e2e_give_up "no $arch Wine prefix"
    run=$E2E_WORK/run
    e2e_stage_run_dir "$run"
    ((E2E_HAVE_PACKAGE && E2E_HAVE_DLL)) ||
        e2e_give_up "DriverData.Drv and 7-zip32.dll are needed (tools/package/build-package.sh)"
    flow_start "$run" "$E2E_WORK/app-$arch.log"
    if ! flow_ready "$READY_MS" >/dev/null; then
        e2e_screenshot label-not-ready-$arch
        fail "$arch: &Install not enabled within $((READY_MS / 1000)) s"
        return 1
    fi
    flow_spoolq monitors >"$E2E_WORK/before-$arch.txt"
    check "$arch: no \"$MONITOR\" before" test -z "$(e2e_field "$E2E_WORK/before-$arch.txt" monitor 2 "$MONITOR")"
    check "$arch: \"$MODEL\" picked in the driver list" flow_pick_driver "$MODEL"
    check "$arch: the printer name follows the driver" \
        test "$(e2e_probe text "$FLOW_MAIN" "$IDC_PRINTER_NAME")" = "$MODEL"
    e2e_probe settext "$FLOW_MAIN" "$IDC_PRINTER_NAME" "$PRINTER" || fail "$arch: could not type the printer name"
    if ! flow_parallel_dialog "$DIALOG_MS" >/dev/null; then
        e2e_screenshot label-no-parallel-dialog-$arch
        no_boxes
        fail "$arch: dialog \"$FLOW_PARALLEL\" did not appear"
        return 1
    fi
    pass "$arch: dialog \"$FLOW_PARALLEL\" appeared"
    check "$arch: row 0 of the parallel dialog selected" flow_choose_port 0
}

stop_run() {
    if kill -0 "$FLOW_APP" 2>/dev/null; then
        e2e_probe answer "" 0 100 >/dev/null 2>&1
        e2e_probe close "$FLOW_PARALLEL" >/dev/null 2>&1
        e2e_probe close "$FLOW_MAIN" >/dev/null 2>&1
        flow_wait_end 10 || kill "$FLOW_APP" 2>/dev/null
    fi
    _e2e_run_cleanups
}

# ---------------------------------------------------------------------------------------------
# A 32-bit Windows: the 32-bit monitor module loads and the label driver names it.
if start_run win32; then
    if ms=$(flow_ok_until "$STEP_MS" "&Finish"); then
        pass "win32: &Finish shown ${ms} ms after &Ok"
    else
        fail "win32: &Finish not shown within $((STEP_MS / 1000)) s of &Ok"
        no_boxes
        e2e_screenshot label-not-finished
    fi
    check "win32: status reads \"The installation is completed.\"" \
        test "$(e2e_probe text "$FLOW_MAIN" "$IDC_STATUS")" = "The installation is completed."
    check "win32: Cancel is disabled" test "$(e2e_probe enabled "$FLOW_MAIN" "$IDCANCEL")" = 0
    check "win32: no message box open" no_boxes
    e2e_screenshot label-finished

    a=$E2E_WORK/after-win32.txt
    flow_spoolq monitors drivers printers device >"$a"
    sed 's/^/after: /' "$a"
    check "win32: monitor \"$MONITOR\" for \"Windows NT x86\"" \
        test "$(e2e_field "$a" monitor 3 "$MONITOR")" = "Windows NT x86"
    check "win32: the monitor's module is the copy in the system directory" \
        grep -qixF 'C:\windows\system32\qlvMONNT.dll' <(e2e_field "$a" monitor 4 "$MONITOR" | sed 's/\\\\/\\/g')
    check "win32: qlvMONNT.dll is in system32" test -f "$E2E_DRIVE_C/windows/system32/qlvMONNT.dll"
    check "win32: driver \"$MODEL\" names the monitor" test "$(e2e_field "$a" driver 10 "$MODEL")" = "$MONITOR"
    check "win32: driver module QLVDRV50.DLL" \
        test "$(e2e_field "$a" driver 5 "$MODEL" | sed 's/.*\\//')" = QLVDRV50.DLL
    check "win32: data file $STEM.DAT" test "$(e2e_field "$a" driver 6 "$MODEL" | sed 's/.*\\//')" = $STEM.DAT
    check "win32: configuration module QLVUI50.DLL" \
        test "$(e2e_field "$a" driver 7 "$MODEL" | sed 's/.*\\//')" = QLVUI50.DLL
    check "win32: help file THERMAL.chm" test "$(e2e_field "$a" driver 8 "$MODEL" | sed 's/.*\\//')" = THERMAL.chm
    e2e_field "$a" driver 9 "$MODEL" | tr ',' '\n' | sed 's/.*\\//' >"$E2E_WORK/deps.txt"
    check "win32: 28 dependent files ($(wc -l <"$E2E_WORK/deps.txt"))" test "$(wc -l <"$E2E_WORK/deps.txt")" = 28
    check "win32: the last dependent file is $STEM.BA0" test "$(tail -n 1 "$E2E_WORK/deps.txt")" = $STEM.BA0
    check "win32: the driver and configuration modules are not dependent files" \
        test -z "$(grep -ixE 'QLVDRV50.DLL|QLVUI50.DLL|qlvMONNT.dll|THERMAL.chm|'$STEM'.DAT' "$E2E_WORK/deps.txt")"
    check "win32: printer \"$PRINTER\" on LPT1: with driver \"$MODEL\"" \
        test "$(e2e_field "$a" printer 3 "$PRINTER")|$(e2e_field "$a" printer 4 "$PRINTER")" = "LPT1:|$MODEL"
    check "win32: the installer's copies in the driver directory are deleted" \
        test -z "$(find "$E2E_DRIVE_C/windows/system32/spool/drivers/w32x86" -maxdepth 1 -type f -iname 'QLV*')"
    check "win32: &Finish accepted" e2e_probe click "$FLOW_MAIN" "$IDC_INSTALL"
    check "win32: the program ends by itself after &Finish" flow_wait_end "$END_SECONDS"
    check "win32: c:\\Barcode removed" test ! -e "$E2E_DRIVE_C/Barcode"
fi
stop_run

# ---------------------------------------------------------------------------------------------
# A 64-bit Windows: the monitor cannot be added; the program closes with nothing left.
if start_run win64; then
    e2e_probe click "$FLOW_PARALLEL" "$(e2e_id IDC_PORTS_OK)" >/dev/null
    if box=$(e2e_probe answer "Failed to add Monitor" 0 "$STEP_MS"); then
        pass "win64: the box says \"Failed to add Monitor\""
        check "win64: its caption and only button ($box)" \
            test "$(cut -f1,3 <<<"$box")" = "Thermal Driver Setup	1"
    else
        fail "win64: no \"Failed to add Monitor\" box"
        no_boxes
        e2e_screenshot label-win64-no-box
    fi
    check "win64: the program ends by itself" flow_wait_end "$END_SECONDS"
    a=$E2E_WORK/after-win64.txt
    flow_spoolq monitors drivers="Windows x64" drivers printers >"$a"
    sed 's/^/after: /' "$a"
    check "win64: no monitor \"$MONITOR\"" test -z "$(e2e_field "$a" monitor 2 "$MONITOR")"
    check "win64: no driver" test -z "$(e2e_field "$a" driver 2)"
    check "win64: no printer" test -z "$(e2e_field "$a" printer 2)"
    check "win64: no qlvMON64.dll left in SysWOW64" test ! -e "$E2E_DRIVE_C/windows/syswow64/qlvMON64.dll"
    check "win64: no label module left in the driver directory" \
        test -z "$(find "$E2E_DRIVE_C/windows/system32/spool/drivers" -maxdepth 2 -iname 'QLV*')"
    check "win64: c:\\Barcode removed" test ! -e "$E2E_DRIVE_C/Barcode"
fi
stop_run

e2e_summary
