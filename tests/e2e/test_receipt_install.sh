#!/usr/bin/env bash
# Under Wine: a receipt printer installed on LPT2: through the parallel port dialog, a TCP/IP
# attempt that ends cancelled, and a start-up that gets ready with the Spooler service disabled.
set -uo pipefail
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
# shellcheck source=tests/e2e/lib.sh
source "$here/lib.sh"
export LC_ALL=C

main=$(e2e_caption IDD_INSTALL)
parallel=$(e2e_caption IDD_PARALLEL_PORTS)
tcpip=$(e2e_caption IDD_TCPIP_PORTS)
IDC_PRINTER_NAME=$(e2e_id IDC_PRINTER_NAME)
IDC_SET_DEFAULT=$(e2e_id IDC_SET_DEFAULT)
IDC_PORT_TYPES=$(e2e_id IDC_PORT_TYPES)
IDC_STATUS=$(e2e_id IDC_STATUS)
IDC_INSTALL=$(e2e_id IDC_INSTALL)
IDC_PORT_LIST=$(e2e_id IDC_PORT_LIST)
IDC_PORTS_HINT=$(e2e_id IDC_PORTS_HINT)
IDC_PORTS_OK=$(e2e_id IDC_PORTS_OK)
IDC_PORTS_CANCEL=$(e2e_id IDC_PORTS_CANCEL)
readonly IDCANCEL=2 ROW_PARALLEL=2 ROW_TCPIP=3
readonly READY_MS=60000 DIALOG_MS=20000 STEP_MS=60000 END_SECONDS=30
# The start-up with the Spooler disabled: a bounded wait of about 30 s is allowed, plus margin.
readonly DISABLED_READY_LIMIT_MS=40000
E2E_SPOOLQ=${E2E_SPOOLQ:-$E2E_BUILD/tests/e2e/spoolq/spoolq.exe}

# The receipt model installed: the first catalogue entry, model 0 of the built-in tables, whose
# data file and rendering module are fixed there.
readonly MODEL="TR-210 Series" MODEL_GPD=TR210.GPD MODEL_MODULE=TRRNDR.DLL
readonly PRINTER="E2E Receipt 58"
# A 32-bit Windows installs the "Windows NT x86" driver from C:\Ticket\x86; a 64-bit one the
# "Windows x64" driver from C:\Ticket\x64. Wine's spooler runs inside the 32-bit installer and
# then refuses the printer (AddPrinterA fails with 87, the driver is not of its own environment),
# so only the 32-bit prefix can finish; E2E_RECEIPT_ARCH=win64 shows that.
arch=${E2E_RECEIPT_ARCH:-win32}
if [[ $arch == win32 ]]; then
    environment="Windows NT x86" driver_dir=w32x86 shot_suffix=
else
    environment="Windows x64" driver_dir=x64 shot_suffix=-$arch
fi


e2e_installer_setup "$arch" "$E2E_SPOOLQ"
note "Wine prefix: $arch, driver environment \"$environment\""
drive_c=$E2E_DRIVE_C
run=$E2E_RUN

spoolq() { e2e_wine 60 "$E2E_SPOOLQ" "$@" </dev/null; }
# field <file> <kind> <n> [<key field 2>]: field n of the lines of one kind (and name).

app=
# start_installer <log> [<WINEDEBUG>]
start_installer() {
    local log=$1 debug=${2:--all}
    (cd "$run" && exec env WINEDEBUG="$debug" timeout -k 5 300 wine DriverInstaller.exe) >"$log" 2>&1 &
    app=$!
    e2e_on_exit "kill $app 2>/dev/null"
}

# Waits for the program to end by itself after a closing click; one check.
expect_end() {
    e2e_expect_end "$app" "$END_SECONDS" "$1" "receipt-not-closed$shot_suffix"
}

# Lists the open message boxes; true when there are none.
no_boxes() {
    local boxes
    boxes=$(e2e_probe boxes </dev/null)
    [[ -z "$boxes" ]] && return 0
    sed 's/^/box: /' <<<"$boxes"
    return 1
}

# The first run's start-up: ready, Spooler started, the printer name typed.
first_start() {
    # The spooler calls are traced: the log shows which port the TCP/IP attempt tried to add.
    start_installer "$E2E_WORK/app1.log" -all,trace+winspool
    e2e_probe waitready "$main" "$IDC_INSTALL" "$READY_MS" >"$E2E_WORK/ready1.txt"
    local ready=$?
    sed 's/^/start-up: /' "$E2E_WORK/ready1.txt"
    if ((ready != 0)); then
        e2e_screenshot receipt-not-ready$shot_suffix
        grep -v ':trace:' "$E2E_WORK/app1.log" | sed 's/^/app: /'
        fail "&Install not enabled within $((READY_MS / 1000)) s"
        return 1
    fi
    pass "installer ready"
    spoolq service ports >"$E2E_WORK/before.txt"
    sed 's/^/before: /' "$E2E_WORK/before.txt"
    check "the worker started the Spooler service (state 4)" \
        test "$(e2e_field "$E2E_WORK/before.txt" service 3)" = 4
    check "\"Set Default Printer\" is ticked" \
        test "$(e2e_probe checked "$main" "$IDC_SET_DEFAULT")" = 1
    e2e_probe settext "$main" "$IDC_PRINTER_NAME" "$PRINTER" || {
        fail "could not type the printer name"
        return 1
    }
}

# b. TCP/IP: Wine has no TCP/IP port monitor, so the port cannot be added and the attempt ends.
case_tcpip() {
    e2e_probe select "$main" "$IDC_PORT_TYPES" "$ROW_TCPIP" || {
        fail "could not select the TCP/IP row"
        return 1
    }
    local traced rc
    traced=$(wc -l <"$E2E_WORK/app1.log")
    e2e_probe clicksync "$main" "$IDC_INSTALL" "$STEP_MS"
    rc=$?
    check "TCP/IP: the installer asked the spooler for a \"Standard TCP/IP Port\" port" \
        grep -q 'trace:winspool:AddPortA (.*"Standard TCP/IP Port")' \
        <(tail -n +$((traced + 1)) "$E2E_WORK/app1.log")
    check "TCP/IP: the Install command returns by itself (status $rc; 3: still in a box or dialog)" \
        test "$rc" = 0
    check "TCP/IP: no message box is left open" no_boxes
    if ((rc != 0)); then
        e2e_screenshot receipt-tcpip-stuck$shot_suffix
        # Out of the way, so that the parallel case can still run.
        e2e_probe answer "" 0 2000 >/dev/null
        e2e_probe waitgone "$tcpip" 100 || e2e_probe close "$tcpip"
    fi
    check "TCP/IP: &Install enabled again" e2e_probe waitenabled "$main" "$IDC_INSTALL" 5000
    check "TCP/IP: the button still reads &Install" \
        test "$(e2e_probe text "$main" "$IDC_INSTALL")" = "&Install"
    spoolq printers drivers="$environment" ports >"$E2E_WORK/tcpip.txt"
    sed 's/^/after TCP\/IP: /' "$E2E_WORK/tcpip.txt"
    check "TCP/IP: no printer added" test -z "$(e2e_field "$E2E_WORK/tcpip.txt" printer 2)"
    check "TCP/IP: no driver added" test -z "$(e2e_field "$E2E_WORK/tcpip.txt" driver 2)"
    check "TCP/IP: the ports are unchanged" \
        cmp -s <(grep '^port' "$E2E_WORK/before.txt") <(grep '^port' "$E2E_WORK/tcpip.txt")
}

# a. Parallel: more than one LPT port, so dialog 137 asks; the second row is taken.
case_parallel() {
    grep -P '^port\tLPT' "$E2E_WORK/before.txt" | cut -f2,4 >"$E2E_WORK/lpt.want"
    (($(wc -l <"$E2E_WORK/lpt.want") > 1)) || {
        fail "the prefix has fewer than two LPT ports"
        return 1
    }
    e2e_probe select "$main" "$IDC_PORT_TYPES" "$ROW_PARALLEL" || {
        fail "could not select the parallel row"
        return 1
    }
    local ms
    if ! ms=$(e2e_probe clickuntil "$main" "$IDC_INSTALL" "$DIALOG_MS" "$parallel"); then
        e2e_screenshot receipt-no-parallel-dialog$shot_suffix
        no_boxes
        fail "dialog \"$parallel\" did not appear within $((DIALOG_MS / 1000)) s of the Install click"
        return 1
    fi
    pass "dialog \"$parallel\" appeared ${ms} ms after the Install click"
    e2e_probe listview "$parallel" "$IDC_PORT_LIST" >"$E2E_WORK/lpt.shown"
    sed 's/^/parallel ports: /' "$E2E_WORK/lpt.shown"
    check "parallel dialog lists the spooler's LPT ports with their descriptions, in order" \
        cmp -s "$E2E_WORK/lpt.want" <(cut -f3,4 "$E2E_WORK/lpt.shown")
    check "parallel dialog selects row 0 and only it at first" \
        awk -F'\t' '($1 == 0) != ($2 == 1) { bad = 1 } END { exit bad }' "$E2E_WORK/lpt.shown"
    check "parallel dialog texts" test "$(e2e_probe text "$parallel" "$IDC_PORTS_HINT")|$(
        e2e_probe text "$parallel" "$IDC_PORTS_OK")|$(e2e_probe text "$parallel" "$IDC_PORTS_CANCEL")" \
        = "Please select a port from the following ports|&Ok|&Cancel"
    local port
    port=$(awk -F'\t' '$1 == 1 { print $3 }' "$E2E_WORK/lpt.shown")
    check "the second row is LPT2: ($port)" test "$port" = "LPT2:"

    # &Cancel first: the attempt ends with nothing installed, and the same form can go again.
    check "parallel dialog: &Cancel accepted" e2e_probe click "$parallel" "$IDC_PORTS_CANCEL"
    check "parallel dialog: closed by &Cancel" e2e_probe waitgone "$parallel" 5000
    check "parallel dialog cancelled: &Install enabled again" \
        e2e_probe waitenabled "$main" "$IDC_INSTALL" 5000
    check "parallel dialog cancelled: the button still reads &Install" \
        test "$(e2e_probe text "$main" "$IDC_INSTALL")" = "&Install"
    spoolq printers >"$E2E_WORK/cancelled.txt"
    check "parallel dialog cancelled: no printer added" \
        test -z "$(e2e_field "$E2E_WORK/cancelled.txt" printer 2)"
    if ! ms=$(e2e_probe clickuntil "$main" "$IDC_INSTALL" "$DIALOG_MS" "$parallel"); then
        e2e_screenshot receipt-no-parallel-dialog$shot_suffix
        no_boxes
        fail "dialog \"$parallel\" did not appear again after the cancelled attempt"
        return 1
    fi
    pass "dialog \"$parallel\" appeared again ${ms} ms after the second Install click"
    e2e_probe select "$parallel" "$IDC_PORT_LIST" 1 || {
        fail "could not select row 1 of \"$parallel\""
        return 1
    }
    e2e_screenshot receipt-parallel-dialog$shot_suffix
    if ms=$(e2e_probe clickuntil "$parallel" "$IDC_PORTS_OK" "$STEP_MS" "$main" "$IDC_INSTALL" "&Finish"); then
        pass "&Finish shown ${ms} ms after &Ok"
        echo "timing: parallel &Ok to &Finish ${ms} ms"
    else
        fail "&Finish not shown within $((STEP_MS / 1000)) s of &Ok"
        no_boxes
    fi
    check "parallel dialog closed" e2e_probe waitgone "$parallel" 1000
    check "the button reads exactly &Finish" test "$(e2e_probe text "$main" "$IDC_INSTALL")" = "&Finish"
    check "&Finish is enabled" test "$(e2e_probe enabled "$main" "$IDC_INSTALL")" = 1
    check "Cancel is disabled" test "$(e2e_probe enabled "$main" "$IDCANCEL")" = 0
    local status
    status=$(e2e_probe text "$main" "$IDC_STATUS")
    check "status reads \"The installation is completed.\" ($status)" \
        test "$status" = "The installation is completed."
    check "no message box open" no_boxes
    e2e_screenshot receipt-finished$shot_suffix

    local a=$E2E_WORK/after.txt
    spoolq drivers="$environment" printers device >"$a"
    sed 's/^/after: /' "$a"
    check "driver \"$MODEL\" is installed for \"$environment\"" \
        test "$(e2e_field "$a" driver 3 "$MODEL")" = "$environment"
    check "driver's data file is $MODEL_GPD" \
        test "$(e2e_field "$a" driver 6 "$MODEL" | sed 's/.*\\\\//')" = "$MODEL_GPD"
    check "driver's rendering module $MODEL_MODULE is a dependent file" \
        grep -qiF "\\\\$MODEL_MODULE" <(e2e_field "$a" driver 9 "$MODEL" | tr ',' '\n')
    check "driver's default datatype is RAW" test "$(e2e_field "$a" driver 11 "$MODEL")" = RAW
    check "printer \"$PRINTER\" is on LPT2:" test "$(e2e_field "$a" printer 3 "$PRINTER")" = "LPT2:"
    check "printer \"$PRINTER\" uses driver \"$MODEL\"" \
        test "$(e2e_field "$a" printer 4 "$PRINTER")" = "$MODEL"
    check "printer's print processor and datatype are WinPrint and RAW" \
        test "$(e2e_field "$a" printer 5 "$PRINTER")/$(e2e_field "$a" printer 6 "$PRINTER")" = "WinPrint/RAW"
    check "exactly one printer" test "$(grep -c '^printer' "$a")" = 1
    check "default printer value is \"$PRINTER,winspool,LPT2:\"" \
        test "$(e2e_field "$a" device 2)" = "$PRINTER,winspool,LPT2:"
    local spool=$drive_c/windows/system32/spool/drivers/$driver_dir
    check "the spooler holds its copy of $MODEL_GPD" \
        test -n "$(find "$spool/3" -maxdepth 1 -iname "$MODEL_GPD")"
    check "the installer's copies in the driver directory are deleted" \
        test -z "$(find "$spool" -maxdepth 1 -type f \( -iname "$MODEL_GPD" -o -iname "$MODEL_MODULE" \
            -o -iname uniDRV.DLL -o -iname uniDRVui.DLL \))"

    check "&Finish accepted" e2e_probe click "$main" "$IDC_INSTALL"
    expect_end "&Finish"
    local gone
    for gone in Barcode Ticket DriverName.cfg; do
        check "c:\\$gone removed after &Finish" test ! -e "$drive_c/$gone"
    done
}

if first_start; then
    case_tcpip
    case_parallel
fi
# Whatever ended the cases early, the next run needs the first one gone.
if kill -0 "$app" 2>/dev/null; then
    e2e_probe answer "" 0 100 >/dev/null 2>&1
    e2e_probe close "$parallel" >/dev/null 2>&1
    e2e_probe close "$main" >/dev/null 2>&1
    timeout 10 tail --pid="$app" -f /dev/null || kill "$app" 2>/dev/null
fi

# ---------------------------------------------------------------------------------------------
# c. The Spooler service disabled: the start attempt fails for good (1058), and the bounded wait
# must still let the preparation finish.
_e2e_server_in "$WINEPREFIX" -k 2>/dev/null
_e2e_server_in "$WINEPREFIX" -w
e2e_wine 60 reg add 'HKLM\System\CurrentControlSet\Services\Spooler' /v Start /t REG_DWORD /d 4 /f \
    </dev/null >/dev/null 2>&1 || e2e_give_up "could not disable the Spooler service"
_e2e_server_in "$WINEPREFIX" -k 2>/dev/null
_e2e_server_in "$WINEPREFIX" -w
_e2e_server_in "$WINEPREFIX" -p </dev/null >/dev/null 2>&1
spoolq service >"$E2E_WORK/disabled.txt"
check "Spooler is stopped and disabled before the start ($(cat "$E2E_WORK/disabled.txt"))" \
    test "$(e2e_field "$E2E_WORK/disabled.txt" service 3)/$(e2e_field "$E2E_WORK/disabled.txt" service 4)" = 1/4

t0=$(date +%s%N)
# The service calls are traced: the log shows the start attempt and how often the state was asked.
start_installer "$E2E_WORK/app2.log" -all,trace+service
e2e_probe waitready "$main" "$IDC_INSTALL" $((DISABLED_READY_LIMIT_MS + 15000)) >"$E2E_WORK/ready2.txt"
ready=$?
elapsed=$((($(date +%s%N) - t0) / 1000000))
sed 's/^/start-up: /' "$E2E_WORK/ready2.txt"
echo "timing: ready with the Spooler disabled after ${elapsed} ms"
if ((ready == 0)); then
    check "Spooler disabled: &Install enabled within $((DISABLED_READY_LIMIT_MS / 1000)) s (${elapsed} ms)" \
        test "$elapsed" -le "$DISABLED_READY_LIMIT_MS"
else
    fail "Spooler disabled: &Install not enabled after ${elapsed} ms"
    e2e_screenshot receipt-disabled-not-ready$shot_suffix
fi
check "Spooler disabled: the installer tried to start the service" \
    grep -q 'trace:service:StartServiceW' "$E2E_WORK/app2.log"
note "Spooler disabled: $(grep -c 'trace:service:QueryServiceStatus' "$E2E_WORK/app2.log") status queries"
# A box on the way may only be the status query's "Service status is unknown".
awk -F'\t' '$1 == "box" { print $3 }' "$E2E_WORK/ready2.txt" >"$E2E_WORK/boxes2.txt"
if [[ -s "$E2E_WORK/boxes2.txt" ]]; then
    check "Spooler disabled: every box answered reads \"Service status is unknown\"" \
        test -z "$(grep -vx 'Service status is unknown' "$E2E_WORK/boxes2.txt")"
else
    note "Spooler disabled: no message box appeared"
fi
check "Spooler disabled: the preparation went on (driver list filled)" \
    test -n "$(e2e_probe combo "$main" "$(e2e_id IDC_DRIVER_COMBO)" | head -n 1)"
spoolq service >"$E2E_WORK/disabled-after.txt"
check "Spooler disabled: the service stayed stopped ($(cat "$E2E_WORK/disabled-after.txt"))" \
    test "$(e2e_field "$E2E_WORK/disabled-after.txt" service 3)" = 1
check "Spooler disabled: close box accepted" e2e_probe close "$main"
expect_end "the close box (Spooler disabled)"

e2e_summary
