#!/usr/bin/env bash
# Under Wine (32-bit prefix): the unattended command line. The usage and exit 87 for a bad line,
# exit 1618 beside an open installer, and /quiet installations of a receipt printer on LPT1:, a
# label printer with its monitor, and a serial printer found on the second of two ports, with
# no window of ours ever shown and each step in the log.
set -uo pipefail
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
# shellcheck source=tests/e2e/lib.sh
source "$here/lib.sh"
# shellcheck source=tests/e2e/serial_lib.sh
source "$here/serial_lib.sh"
export LC_ALL=C

main=$(e2e_caption IDD_INSTALL)
IDC_INSTALL=$(e2e_id IDC_INSTALL)
readonly READY_MS=60000 QUIET_SECONDS=240
readonly RECEIPT="TR-210 Series" LABEL="LB-200 Label" SERIAL_NAME="E2E Quiet Serial"
E2E_SPOOLQ=${E2E_SPOOLQ:-$E2E_BUILD/tests/e2e/spoolq/spoolq.exe}

e2e_installer_setup win32 "$E2E_SPOOLQ"
run=$E2E_RUN
drive_c=$E2E_DRIVE_C
spoolq() { e2e_wine 60 "$E2E_SPOOLQ" "$@" </dev/null; }

# Wine hands a Windows exit code to Linux cut to its low byte: 1618 arrives as 82.
code() { echo $(($1 & 255)); }
# The log without the lines that repeat the command line and the options.
steps() { grep -v -e 'Command line: ' -e 'Unattended installation: ' <<<"$log"; }

# quiet <name> <arguments...>: runs the installer with these arguments (as cmd would pass them)
# and waits for its end, watching that no window of ours and no box appears meanwhile. Sets rc,
# out (its standard output) and log (the log file's text, C:\<name>.log unless the arguments
# name another); `windows` counts the sightings.
quiet() {
    local name=$1 pid i
    shift
    windows=0
    (cd "$run" && exec env WINEDEBUG=-all LD_PRELOAD="${SERIAL_PRELOAD:-}" \
        timeout -k 5 "$QUIET_SECONDS" wine DriverInstaller.exe "$@") \
        >"$E2E_WORK/$name.out" 2>"$E2E_WORK/$name.err" </dev/null &
    pid=$!
    for ((i = 0; i < QUIET_SECONDS * 2; i++)); do
        kill -0 "$pid" 2>/dev/null || break
        if e2e_probe dump "$main" </dev/null >/dev/null 2>&1 || [[ -n "$(e2e_probe boxes </dev/null)" ]]; then
            windows=$((windows + 1))
            e2e_screenshot "quiet-$name-window"
        fi
        sleep 0.5
    done
    wait "$pid"
    rc=$?
    out=$(tr -d '\r' <"$E2E_WORK/$name.out")
    log=
    [[ -f "$drive_c/$name.log" ]] && log=$(tr -d '\r' <"$drive_c/$name.log")
    [[ -z "$log" ]] || printf '%s log: %s\n' "$name" "${log//$'\n'/$'\n'"$name log: "}"
}

# --- What the command line settles itself -------------------------------------------------
quiet usage '/?' /log 'C:\usage.log'
check "/? exits 87 ($rc)" test "$rc" = 87
check "/? prints the usage" grep -q 'DriverInstaller.exe /quiet /model' <<<"$out"

quiet badoption /quiet /model "$RECEIPT" /port LPT1: /colour red /log 'C:\badoption.log'
check "an unknown option exits 87 ($rc)" test "$rc" = 87
check "an unknown option is named in the log" grep -q 'Unknown option: /colour' <<<"$log"
check "an unknown option is named with the usage" grep -q 'Unknown option: /colour' <<<"$out"
check "the log ends with the result 87" grep -q 'Result: 87$' <<<"$(tail -n 1 <<<"$log")"

quiet badbaud /quiet /model "$RECEIPT" /port serial /baud 14400 /log 'C:\badbaud.log'
check "a baud rate the search does not offer exits 87 ($rc)" test "$rc" = 87

# --- One installer at a time --------------------------------------------------------------
(cd "$run" && exec env WINEDEBUG=-all timeout -k 5 300 wine DriverInstaller.exe) \
    >"$E2E_WORK/window.log" 2>&1 &
app=$!
e2e_on_exit "kill $app 2>/dev/null"
if e2e_probe waitready "$main" "$IDC_INSTALL" "$READY_MS" >/dev/null; then
    (cd "$run" && WINEDEBUG=-all timeout -k 5 120 wine DriverInstaller.exe /quiet /model \
        "$RECEIPT" /port LPT1: /log 'C:\second.log') </dev/null >/dev/null 2>&1
    rc=$?
    check "/quiet beside an open installer exits 1618 ($rc)" test "$rc" = "$(code 1618)"
    check "the log says another installation is running" \
        grep -q 'Another installation is running' "$drive_c/second.log"
    check "close box accepted" e2e_probe close "$main"
    e2e_expect_end "$app" 30 "the close box"
else
    fail "the window installer did not get ready"
fi

# --- Unattended installations (32-bit prefix) ---------------------------------------------
quiet receipt /quiet /model "$RECEIPT" /port LPT1: /log 'C:\receipt.log'
check "receipt on LPT1: exits 0 ($rc)" test "$rc" = 0
check "receipt: no window of ours and no box appeared ($windows)" test "$windows" = 0
spoolq printers device >"$E2E_WORK/receipt.txt"
sed 's/^/receipt: /' "$E2E_WORK/receipt.txt"
check "receipt: printer \"$RECEIPT\" is on LPT1:" \
    test "$(e2e_field "$E2E_WORK/receipt.txt" printer 3 "$RECEIPT")" = "LPT1:"
check "receipt: it is the default printer" \
    test "$(e2e_field "$E2E_WORK/receipt.txt" device 2)" = "$RECEIPT,winspool,LPT1:"
check "receipt: the log names the driver step" grep -q 'Status: Driver .* is added' <<<"$(steps)"
check "receipt: the log names the printer step" \
    grep -q "Status: Added the printer $RECEIPT" <<<"$(steps)"
check "receipt: the log names the default printer step" \
    grep -q "Status: Set the printer $RECEIPT to default printer" <<<"$(steps)"
check "receipt: the log says the installation is completed" \
    grep -q 'The installation is completed.' <<<"$log"
check "receipt: the log ends with the result 0" grep -q 'Result: 0$' <<<"$(tail -n 1 <<<"$log")"
for gone in Barcode Ticket DriverName.cfg; do
    check "receipt: c:\\$gone removed at the end" test ! -e "$drive_c/$gone"
done

quiet label /quiet /model "$LABEL" /port LPT1: /default no /log 'C:\label.log'
check "label on LPT1: exits 0 ($rc)" test "$rc" = 0
check "label: no window of ours and no box appeared ($windows)" test "$windows" = 0
spoolq printers monitors device >"$E2E_WORK/label.txt"
sed 's/^/label: /' "$E2E_WORK/label.txt"
check "label: printer \"$LABEL\" is on LPT1:" \
    test "$(e2e_field "$E2E_WORK/label.txt" printer 3 "$LABEL")" = "LPT1:"
check "label: its language monitor is installed" \
    test -n "$(e2e_field "$E2E_WORK/label.txt" monitor 2 "Advanced Language Monitor")"
check "label: /default no left the receipt printer the default" \
    test "$(e2e_field "$E2E_WORK/label.txt" device 2)" = "$RECEIPT,winspool,LPT1:"
check "label: the log names the monitor step" grep -q 'Status: .*Monitor is added' <<<"$(steps)"
check "label: the log names the printer step" grep -q "Status: Added the printer $LABEL" <<<"$(steps)"

quiet badmodel /quiet /model "XX-999 Nothing" /port LPT1: /log 'C:\badmodel.log'
check "an unknown model exits 87 ($rc)" test "$rc" = 87
check "the log gives the reason: no such model" \
    grep -q 'The driver list holds no model XX-999 Nothing' <<<"$(steps)"

# --- The serial search, unattended: the fake printer answers on the second of two ports ---
if serial_build_tools && serial_make_ports 2 5 && serial_start_printer COM5 --silent &&
    serial_start_printer COM6 --probe 100401 --reply 12 --delay 20 --baud 19200; then
    quiet serial /quiet /model "$RECEIPT" /name "$SERIAL_NAME" /port serial /baud 19200 \
        /log 'C:\serial.log'
    check "serial exits 0 ($rc)" test "$rc" = 0
    check "serial: no window of ours and no box appeared ($windows)" test "$windows" = 0
    spoolq printers >"$E2E_WORK/serial.txt"
    check "serial: printer \"$SERIAL_NAME\" is on COM6:" \
        test "$(e2e_field "$E2E_WORK/serial.txt" printer 3 "$SERIAL_NAME")" = "COM6:"
    check "serial: the log names COM6:" grep -q 'COM6' <<<"$(steps)"
else
    fail "no pty-backed COM5 and COM6 with the fake printer"
fi

e2e_summary
