#!/usr/bin/env bash
# Under Wine (a 32-bit Windows): two receipt printers sharing their driver and a label printer
# installed through the window, then removed with /remove: the first receipt printer leaves the
# shared driver; the label printer takes its driver, the language monitor and its module; the
# last receipt printer takes the driver; a name no printer has gives 1605.
set -uo pipefail
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
# shellcheck source=tests/e2e/lib.sh
source "$here/lib.sh"
# shellcheck source=tests/e2e/install_flow.sh
source "$here/install_flow.sh"
export LC_ALL=C

readonly RECEIPT_MODEL="TR-210 Series" LABEL_MODEL="LB-200 Label"
readonly RECEIPT_1="E2E Remove Receipt" RECEIPT_2="E2E Remove Receipt 2" LABEL="E2E Remove Label"
readonly MONITOR="Advanced Language Monitor"
readonly READY_MS=60000 DIALOG_MS=20000 STEP_MS=90000 END_SECONDS=30 REMOVE_SECONDS=60
IDC_PRINTER_NAME=$(e2e_id IDC_PRINTER_NAME)
IDC_INSTALL=$(e2e_id IDC_INSTALL)

e2e_installer_setup win32 "$FLOW_SPOOLQ"
run=$E2E_RUN
# The monitor module the label installation copies: on a 64-bit Windows the 64-bit one, into
# SysWOW64 as the i686 product puts it there.
module=$E2E_DRIVE_C/windows/system32/qlvMONNT.dll
((E2E_WINE64_ONLY)) && module=$E2E_DRIVE_C/windows/syswow64/qlvMON64.dll

# install_printer <model> <printer>: one installation through the window on LPT1:, ended by &Finish.
install_printer() {
    local model=$1 printer=$2 log
    log=$E2E_WORK/install-$(tr -c 'A-Za-z0-9' _ <<<"$printer").log
    flow_start "$run" "$log"
    if ! flow_ready "$READY_MS" >/dev/null; then
        e2e_screenshot remove-install-not-ready
        fail "$printer: &Install not enabled within $((READY_MS / 1000)) s"
        return 1
    fi
    flow_pick_driver "$model" &&
        e2e_probe settext "$FLOW_MAIN" "$IDC_PRINTER_NAME" "$printer" &&
        flow_parallel_dialog "$DIALOG_MS" >/dev/null &&
        flow_choose_port 0 &&
        flow_ok_until "$STEP_MS" "&Finish" >/dev/null
    local rc=$?
    check "$printer: installed (&Finish shown)" test "$rc" = 0
    ((rc == 0)) || e2e_screenshot remove-install-not-finished
    e2e_probe click "$FLOW_MAIN" "$IDC_INSTALL" >/dev/null
    flow_wait_end "$END_SECONDS" || kill "$FLOW_APP" 2>/dev/null
    return "$rc"
}

# remove <printer> <expected code> [/quiet]: DriverInstaller.exe /remove; Wine hands the parent
# the exit code's low byte.
remove() {
    local printer=$1 want=$2 rc
    shift 2
    (cd "$run" && exec env WINEDEBUG=-all timeout -k 5 "$REMOVE_SECONDS" \
        wine DriverInstaller.exe /remove "$printer" "$@") >"$E2E_WORK/remove.log" 2>&1 </dev/null
    rc=$?
    check "/remove \"$printer\" $* exits $want (status $rc)" test "$rc" = $((want & 255))
}

state() { flow_spoolq monitors drivers="$E2E_DRIVER_ENV" printers >"$1"; }
has_printer() { test -n "$(e2e_field "$1" printer 2 "$2")"; }
has_driver() { test -n "$(e2e_field "$1" driver 2 "$2")"; }
has_monitor() { test -n "$(e2e_field "$1" monitor 2 "$MONITOR")"; }

install_printer "$RECEIPT_MODEL" "$RECEIPT_1" &&
    install_printer "$RECEIPT_MODEL" "$RECEIPT_2" &&
    install_printer "$LABEL_MODEL" "$LABEL" || e2e_give_up "the installations did not finish"

s=$E2E_WORK/installed.txt
state "$s"
sed 's/^/installed: /' "$s"
check "installed: three printers" test "$(grep -c '^printer' "$s")" = 3
check "installed: the monitor and its module" eval 'has_monitor "$s" && test -f "$module"'

s=$E2E_WORK/receipt1.txt
remove "$RECEIPT_1" 0 /quiet
state "$s"
check "first receipt printer removed" eval '! has_printer "$s" "$RECEIPT_1"'
check "the second receipt printer stays" has_printer "$s" "$RECEIPT_2"
check "the receipt driver stays: the second printer uses it" has_driver "$s" "$RECEIPT_MODEL"

s=$E2E_WORK/label.txt
remove "$LABEL" 0 /quiet
state "$s"
sed 's/^/after the label: /' "$s"
check "label printer removed" eval '! has_printer "$s" "$LABEL"'
check "label driver removed" eval '! has_driver "$s" "$LABEL_MODEL"'
check "\"$MONITOR\" removed" eval '! has_monitor "$s"'
check "${module##*/} removed from the system" test ! -e "$module"
check "the receipt printer and driver stay" eval 'has_printer "$s" "$RECEIPT_2" && has_driver "$s" "$RECEIPT_MODEL"'

s=$E2E_WORK/receipt2.txt
remove "$RECEIPT_2" 0 /quiet
state "$s"
sed 's/^/after both receipts: /' "$s"
check "second receipt printer removed" eval '! has_printer "$s" "$RECEIPT_2"'
check "receipt driver removed" eval '! has_driver "$s" "$RECEIPT_MODEL"'
check "no printer left" test "$(grep -c '^printer' "$s")" = 0

remove "$RECEIPT_2" 1605 /quiet

e2e_summary
