#!/usr/bin/env bash
# Under Wine: a receipt printer installed on the serial port type. Two pty pairs are COM5 and
# COM6 of the prefix; COM5 stays silent, the fake printer on COM6 answers the receipt status
# request at 19200. The baud prompt is answered "&Yes" with its 19200; the search must find COM6,
# make COM6: the printer's port and write "19200,n,8,1" as COM6:'s line settings.
set -uo pipefail
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
# shellcheck source=tests/e2e/lib.sh
source "$here/lib.sh"
# shellcheck source=tests/e2e/serial_lib.sh
source "$here/serial_lib.sh"
export LC_ALL=C

main=$(e2e_caption IDD_INSTALL)
prompt=$(e2e_caption IDD_SERIAL_PROMPT)
IDC_PRINTER_NAME=$(e2e_id IDC_PRINTER_NAME)
IDC_PORT_TYPES=$(e2e_id IDC_PORT_TYPES)
IDC_STATUS=$(e2e_id IDC_STATUS)
IDC_INSTALL=$(e2e_id IDC_INSTALL)
IDC_BAUD_COMBO=$(e2e_id IDC_BAUD_COMBO)
IDC_PROMPT_YES=$(e2e_id IDC_PROMPT_YES)
readonly ROW_SERIAL=0 READY_MS=60000 DIALOG_MS=30000 SEARCH_MS=60000 END_SECONDS=30
readonly PRINTER="E2E Serial 80"
readonly PORTS_KEY='HKLM\SOFTWARE\Microsoft\Windows NT\CurrentVersion\Ports'
E2E_SPOOLQ=${E2E_SPOOLQ:-$E2E_BUILD/tests/e2e/spoolq/spoolq.exe}

for need in "$E2E_BUILD/DriverInstaller.exe" "$E2E_PROBE" "$E2E_SPOOLQ"; do
    [[ -f "$need" ]] ||
        e2e_give_up "$need is missing (cmake --preset win32 && cmake --build --preset win32)"
done
for tool in socat gcc; do
    command -v "$tool" >/dev/null || e2e_give_up "$tool is missing (tools/setup.sh installs it)"
done
e2e_start_display || e2e_give_up "no X display"
# A 32-bit prefix: there Wine's in-process spooler takes the "Windows NT x86" driver.
e2e_prefix win32 || e2e_give_up "no Wine prefix"
run=$E2E_WORK/run
e2e_stage_run_dir "$run"
((E2E_HAVE_PACKAGE && E2E_HAVE_DLL)) ||
    e2e_give_up "DriverData.Drv and 7-zip32.dll are needed (build-package.sh, win32 build)"
e2e_wine 60 reg add 'HKCU\Software\Microsoft\Windows NT\CurrentVersion\Windows' /f \
    </dev/null >/dev/null 2>&1 || e2e_give_up "could not create the Windows key of HKCU"
serial_build_tools || e2e_give_up "cannot build the serial shim or the fake printer"
serial_make_ports 2 5 || e2e_give_up "cannot map pty pairs as COM5 and COM6"
serial_start_printer COM5 --silent || e2e_give_up "no silent device on COM5"
serial_start_printer COM6 --probe 100401 --reply 12 --delay 20 --baud 19200 ||
    e2e_give_up "no printer on COM6"

spoolq() { e2e_wine 60 "$E2E_SPOOLQ" "$@" </dev/null; }
# reg_value <key> <name>: the data of one REG_SZ value, or nothing.
reg_value() {
    e2e_wine 60 reg query "$1" /v "$2" </dev/null 2>/dev/null | tr -d '\r' |
        awk -v n="$2" '$1 == n && $2 == "REG_SZ" { $1 = ""; $2 = ""; sub(/^  /, ""); print }'
}
no_boxes() {
    local boxes
    boxes=$(e2e_probe boxes </dev/null)
    [[ -z "$boxes" ]] && return 0
    sed 's/^/box: /' <<<"$boxes"
    return 1
}

(cd "$run" && exec env LD_PRELOAD="$SERIAL_PRELOAD" WINEDEBUG=-all timeout -k 5 300 \
    wine DriverInstaller.exe) >"$E2E_WORK/app.log" 2>&1 &
app=$!
e2e_on_exit "kill $app 2>/dev/null"

e2e_probe waitready "$main" "$IDC_INSTALL" "$READY_MS" >"$E2E_WORK/ready.txt" ||
    { e2e_screenshot serial-not-ready; e2e_give_up "&Install not enabled"; }
pass "installer ready"
e2e_probe settext "$main" "$IDC_PRINTER_NAME" "$PRINTER" || e2e_give_up "could not type the name"
e2e_probe select "$main" "$IDC_PORT_TYPES" "$ROW_SERIAL" || e2e_give_up "could not select serial"

if ms=$(e2e_probe clickuntil "$main" "$IDC_INSTALL" "$DIALOG_MS" "$prompt"); then
    pass "the baud prompt appeared ${ms} ms after the Install click"
else
    e2e_screenshot serial-no-prompt
    no_boxes
    e2e_give_up "the baud prompt did not appear"
fi
e2e_probe combo "$prompt" "$IDC_BAUD_COMBO" >"$E2E_WORK/rates.txt"
check "the prompt offers 19200 selected" \
    test "$(awk -F'\t' '$2 == 1 { print $3 }' "$E2E_WORK/rates.txt")" = 19200
check "the prompt lists the nine rates" test "$(wc -l <"$E2E_WORK/rates.txt")" = 9
e2e_screenshot serial-prompt

t0=$(date +%s%N)
if ms=$(e2e_probe clickuntil "$prompt" "$IDC_PROMPT_YES" "$SEARCH_MS" "$main" "$IDC_INSTALL" "&Finish"); then
    pass "&Finish shown ${ms} ms after &Yes"
    echo "timing: serial search from &Yes to &Finish ${ms} ms"
else
    e2e_screenshot serial-no-finish
    no_boxes
    fail "&Finish not shown within $((SEARCH_MS / 1000)) s of &Yes"
fi
elapsed=$((($(date +%s%N) - t0) / 1000000))
status=$(e2e_probe text "$main" "$IDC_STATUS")
check "status reads \"The available printer port:  COM6:\" ($status)" \
    test "$status" = "The available printer port:  COM6:"
check "no message box open" no_boxes
e2e_screenshot serial-finished

com5=$(serial_printer_log COM5)
com6=$(serial_printer_log COM6)
sed 's/^/COM5 device: /' <<<"$com5"
sed 's/^/COM6 device: /' <<<"$com6"
check "COM5 got the receipt probe at 19200 (and stayed silent)" grep -qx 'probe at 19200' <<<"$com5"
check "the printer on COM6 got the probe at 19200 and answered" \
    test "$(grep -cx 'probe at 19200' <<<"$com6")/$(grep -c '^reply' <<<"$com6")" = 1/1

spoolq printers >"$E2E_WORK/after.txt"
sed 's/^/after: /' "$E2E_WORK/after.txt"
port=$(reg_value "HKLM\\System\\CurrentControlSet\\Control\\Print\\Printers\\$PRINTER" Port)
check "the printer's Port value is COM6: ($port)" test "$port" = "COM6:"
settings=$(reg_value "$PORTS_KEY" COM6:)
check "the Ports value of COM6: reads 19200,n,8,1 ($settings)" test "$settings" = "19200,n,8,1"
note "spooler's view of the printer's port after its restart: $(e2e_field "$E2E_WORK/after.txt" printer 3 "$PRINTER")"

check "&Finish accepted" e2e_probe click "$main" "$IDC_INSTALL"
e2e_expect_end "$app" "$END_SECONDS" "&Finish"
echo "timing: Yes to checks done ${elapsed} ms"
e2e_summary
