#!/usr/bin/env bash
# Under Wine: a receipt printer installed with the USB port type on a machine with two local
# ports USB001 and USB002 and no device on either. Both ports are tried, each with a spooler
# restart; the Retry/Cancel box appears, Retry searches again, Cancel ends on "&Finish" with the
# printer on the last port tried.
set -uo pipefail
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
# shellcheck source=tests/e2e/lib.sh
source "$here/lib.sh"
export LC_ALL=C

main=$(e2e_caption IDD_INSTALL)
IDC_PRINTER_NAME=$(e2e_id IDC_PRINTER_NAME)
IDC_PORT_TYPES=$(e2e_id IDC_PORT_TYPES)
IDC_STATUS=$(e2e_id IDC_STATUS)
IDC_INSTALL=$(e2e_id IDC_INSTALL)
readonly IDRETRY=4 IDCANCEL=2 ROW_USB=1
readonly READY_MS=60000 ROUND_MS=120000 STEP_MS=30000 END_SECONDS=30
readonly BOX_CAPTION="Fail to select port"
readonly BOX_TEXT='Failed to select usb port,please check the port is connected.\r\n\r\nClick Retry:Retry to select usb port\r\nClick Cancel:Ignore'
readonly PRINTER="E2E Receipt USB"
readonly PRINTER_KEY="HKLM\\System\\CurrentControlSet\\Control\\Print\\Printers\\$PRINTER"
E2E_SPOOLQ=${E2E_SPOOLQ:-$E2E_BUILD/tests/e2e/spoolq/spoolq.exe}
E2E_LOCALPORT=${E2E_LOCALPORT:-$E2E_BUILD/tests/e2e/localport/localport.exe}

# A 32-bit prefix: on a 64-bit one Wine's in-process spooler refuses the x64 driver's printer
# (see test_receipt_install.sh).
e2e_installer_setup win32 "$E2E_SPOOLQ" "$E2E_LOCALPORT"
run=$E2E_RUN

spoolq() { e2e_wine 60 "$E2E_SPOOLQ" "$@" </dev/null; }
# The printer's "Port" value in the spooler's own key, or nothing.
registry_port() {
    e2e_wine 60 reg query "$PRINTER_KEY" /v Port </dev/null 2>/dev/null |
        awk '$1 == "Port" { print $3 }' | tr -d '\r'
}
# Stop requests the installer has made since the given line of its trace.
stops_since() {
    tail -n +$(($1 + 1)) "$log" | grep -c 'trace:service:ControlService [0-9A-Fa-f]* 1 '
}

# The two USB ports, through the local port monitor's XcvData without its dialog.
if ! e2e_wine 60 "$E2E_LOCALPORT" add USB001 USB002 </dev/null; then
    e2e_give_up "could not add the local ports USB001 and USB002"
fi
spoolq ports >"$E2E_WORK/ports.txt"
check "the spooler lists USB001 and USB002" \
    test "$(grep -cP '^port\tUSB00[12]\t' "$E2E_WORK/ports.txt")" = 2

log=$E2E_WORK/app.log
# The service calls are traced: each stop request is one spooler restart, one port tried.
(cd "$run" && exec env WINEDEBUG=-all,trace+service timeout -k 5 600 wine DriverInstaller.exe) \
    >"$log" 2>&1 &
app=$!
e2e_on_exit "kill $app 2>/dev/null"

# Waits for the box after a round; checks its caption, text and buttons; one line of checks.
expect_box() {
    local round=$1 line
    if ! e2e_probe wait "$BOX_CAPTION" "$ROUND_MS" >/dev/null; then
        fail "round $round: no \"$BOX_CAPTION\" box within $((ROUND_MS / 1000)) s"
        e2e_screenshot usb-no-box
        e2e_probe boxes | sed 's/^/box: /'
        return 1
    fi
    line=$(e2e_probe boxes | awk -F'\t' -v c="$BOX_CAPTION" '$1 == c')
    check "round $round: the box reads the text in full" \
        test "$(cut -f2 <<<"$line")" = "$BOX_TEXT"
    check "round $round: the box offers Retry and Cancel ($(cut -f3 <<<"$line"))" \
        test "$(cut -f3 <<<"$line")" = "$IDRETRY,$IDCANCEL"
    check "round $round: no other box on the way ($(e2e_probe boxes | wc -l) open)" \
        test "$(e2e_probe boxes | wc -l)" = 1
    local status
    status=$(e2e_probe text "$main" "$IDC_STATUS")
    check "round $round: the last port checked was USB002 ($status)" \
        test "$status" = "Checking  USB002 ...."
}

if ! e2e_probe waitready "$main" "$IDC_INSTALL" "$READY_MS" >"$E2E_WORK/ready.txt"; then
    sed 's/^/start-up: /' "$E2E_WORK/ready.txt"
    e2e_screenshot usb-not-ready
    e2e_give_up "&Install not enabled within $((READY_MS / 1000)) s"
fi
pass "installer ready"
e2e_probe settext "$main" "$IDC_PRINTER_NAME" "$PRINTER" || e2e_give_up "could not type the name"
e2e_probe select "$main" "$IDC_PORT_TYPES" "$ROW_USB" || e2e_give_up "could not select the USB row"

traced=$(wc -l <"$log")
t0=$(date +%s%N)
check "&Install accepted" e2e_probe click "$main" "$IDC_INSTALL"
if expect_box 1; then
    ms=$((($(date +%s%N) - t0) / 1000000))
    echo "timing: Install click to the first box ${ms} ms"
    check "round 1: the spooler was restarted once for each port ($(stops_since "$traced"))" \
        test "$(stops_since "$traced")" = 2
    check "round 1: the printer is on USB002 in the spooler's key" test "$(registry_port)" = USB002
    e2e_screenshot usb-retry-box

    traced=$(wc -l <"$log")
    t0=$(date +%s%N)
    e2e_probe answer "Failed to select usb port" "$IDRETRY" 5000 >/dev/null
    e2e_probe waitgone "$BOX_CAPTION" 5000 >/dev/null
    if expect_box 2; then
        ms=$((($(date +%s%N) - t0) / 1000000))
        echo "timing: one round of two ports ${ms} ms (${ms}/2 per port)"
        check "round 2 (Retry): both ports tried again ($(stops_since "$traced"))" \
            test "$(stops_since "$traced")" = 2
        check "Cancel accepted" e2e_probe answer "Failed to select usb port" "$IDCANCEL" 5000
    fi
fi

if e2e_probe waittext "$main" "$IDC_INSTALL" "&Finish" "$STEP_MS" >/dev/null; then
    pass "&Finish shown after Cancel"
else
    fail "&Finish not shown within $((STEP_MS / 1000)) s of Cancel"
    e2e_probe boxes | sed 's/^/box: /'
fi
check "the button reads exactly &Finish" test "$(e2e_probe text "$main" "$IDC_INSTALL")" = "&Finish"
status=$(e2e_probe text "$main" "$IDC_STATUS")
check "status reads \"The installation is completed.\" ($status)" \
    test "$status" = "The installation is completed."
check "no message box open" test -z "$(e2e_probe boxes)"
e2e_screenshot usb-finished

spoolq printers >"$E2E_WORK/after.txt"
sed 's/^/after: /' "$E2E_WORK/after.txt"
check "the printer's Port value is USB002, the last port tried" test "$(registry_port)" = USB002
note "the spooler lists the printer on $(e2e_field "$E2E_WORK/after.txt" printer 3 "$PRINTER")"

check "&Finish accepted" e2e_probe click "$main" "$IDC_INSTALL"
e2e_expect_end "$app" "$END_SECONDS" "&Finish"

e2e_summary
