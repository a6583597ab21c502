#!/usr/bin/env bash
# Under Wine (a 32-bit Windows): the serial search killed half-way. A receipt printer sits on
# COM1: beforehand; a serial installation searches three silent pty-backed COM ports, which moves
# that printer to LPT1:; the installer's Wine process is killed (SIGKILL) while the status reads
# "Checking ..."; started again, it has given the printer COM1: back, in the spooler and in its
# key, and says so, before &Install is enabled.
set -uo pipefail
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
# shellcheck source=tests/e2e/lib.sh
source "$here/lib.sh"
# shellcheck source=tests/e2e/serial_lib.sh
source "$here/serial_lib.sh"
# shellcheck source=tests/e2e/install_flow.sh
source "$here/install_flow.sh"
export LC_ALL=C

readonly RECEIPT="TR-210 Series" OTHER="E2E Kill Other" PRINTER="E2E Kill Serial"
readonly ROW_SERIAL=0 READY_MS=60000 DIALOG_MS=30000 CHECKING_MS=30000
readonly PRINTERS_KEY='HKLM\System\CurrentControlSet\Control\Print\Printers'
readonly JOURNAL_KEY='HKLM\SOFTWARE\ThermalDriverSetup'
prompt=$(e2e_caption IDD_SERIAL_PROMPT)
IDC_PRINTER_NAME=$(e2e_id IDC_PRINTER_NAME)
IDC_PORT_TYPES=$(e2e_id IDC_PORT_TYPES)
IDC_STATUS=$(e2e_id IDC_STATUS)
IDC_INSTALL=$(e2e_id IDC_INSTALL)
IDC_PROMPT_YES=$(e2e_id IDC_PROMPT_YES)

e2e_installer_setup win32 "$FLOW_SPOOLQ"
run=$E2E_RUN
for tool in socat gcc; do
    command -v "$tool" >/dev/null || e2e_give_up "$tool is missing (tools/setup.sh installs it)"
done
serial_build_tools || e2e_give_up "cannot build the serial shim or the fake printer"
serial_make_ports 3 5 || e2e_give_up "cannot map pty pairs as COM5 to COM7"
for com in COM5 COM6 COM7; do
    serial_start_printer "$com" --silent || e2e_give_up "no silent device on $com"
done

# key_port <printer>: the Port value of the printer's key.
key_port() {
    e2e_wine 60 reg query "$PRINTERS_KEY\\$1" /v Port </dev/null 2>/dev/null | tr -d '\r' |
        awk '$1 == "Port" && $2 == "REG_SZ" { print $3 }'
}
# spooler_port <printer>: the port the spooler reports for it.
spooler_port() {
    flow_spoolq printers >"$E2E_WORK/printers.txt"
    e2e_field "$E2E_WORK/printers.txt" printer 3 "$1"
}
journal() { e2e_wine 60 reg query "$JOURNAL_KEY" /v SerialJournal </dev/null 2>/dev/null | tr -d '\r'; }

# --- The other printer: installed unattended, then put on COM1: as a technician's would be ---
(cd "$run" && WINEDEBUG=-all timeout -k 5 120 wine DriverInstaller.exe /quiet /model "$RECEIPT" \
    /name "$OTHER" /port LPT1: /log 'C:\other.log') </dev/null >/dev/null 2>&1
rc=$?
((rc == 0)) || e2e_give_up "the other printer was not installed (status $rc)"
e2e_wine 60 reg add "$PRINTERS_KEY\\$OTHER" /v Port /t REG_SZ /d COM1: /f </dev/null >/dev/null 2>&1
check "before: the other printer is on COM1: in the spooler" test "$(spooler_port "$OTHER")" = COM1:

# --- The serial search, killed while it checks a port ---
FLOW_PRELOAD=$SERIAL_PRELOAD
flow_start "$run" "$E2E_WORK/first.log"
first=$FLOW_APP
flow_ready "$READY_MS" >/dev/null || e2e_give_up "&Install not enabled"
e2e_probe settext "$FLOW_MAIN" "$IDC_PRINTER_NAME" "$PRINTER" || e2e_give_up "could not type the name"
e2e_probe select "$FLOW_MAIN" "$IDC_PORT_TYPES" "$ROW_SERIAL" || e2e_give_up "could not select serial"
e2e_probe clickuntil "$FLOW_MAIN" "$IDC_INSTALL" "$DIALOG_MS" "$prompt" >/dev/null ||
    e2e_give_up "the baud prompt did not appear"
e2e_probe click "$prompt" "$IDC_PROMPT_YES" || e2e_give_up "could not answer the baud prompt"
if status=$(e2e_probe waittext "$FLOW_MAIN" "$IDC_STATUS" "Checking " "$CHECKING_MS"); then
    pass "the search runs: \"$status\""
else
    e2e_screenshot kill-no-checking
    e2e_give_up "the status never read \"Checking ...\" ($status)"
fi
check "during the search: the other printer is on LPT1: in its key" test "$(key_port "$OTHER")" = LPT1:
check "during the search: the journal names it" grep -q "$OTHER" <<<"$(journal)"

# The Windows process itself, not the timeout or shell around it.
victims=()
for pid in $(e2e_prefix_processes DriverInstaller.exe); do
    [[ "$(readlink "/proc/$pid/exe" 2>/dev/null)" == */wine* ]] && victims+=("$pid")
done
((${#victims[@]} == 1)) || e2e_give_up "expected one Wine process of the installer (${victims[*]:-none})"
kill -9 "${victims[0]}"
timeout 30 tail --pid="${victims[0]}" -f /dev/null
wait "$first" 2>/dev/null
pass "the installer's Wine process was killed"
check "after the kill: the other printer is still on LPT1:" test "$(key_port "$OTHER")" = LPT1:

# --- Started again: the other printer has its port back before &Install is enabled ---
flow_start "$run" "$E2E_WORK/second.log"
flow_ready "$READY_MS" >/dev/null || { e2e_screenshot kill-second-not-ready; e2e_give_up "&Install not enabled the second time"; }
status=$(e2e_probe text "$FLOW_MAIN" "$IDC_STATUS")
check "the status says the printer got its port back ($status)" grep -qF "$OTHER (COM1:)" <<<"$status"
check "the other printer is on COM1: in the spooler" test "$(spooler_port "$OTHER")" = COM1:
check "the other printer's key reads COM1:" test "$(key_port "$OTHER")" = COM1:
check "the journal is gone" bash -c '! grep -q "$0" <<<"$1"' "$OTHER" "$(journal)"
# The trees the killed run placed: under Wine, which keeps no access list of a folder's own
# (a conformance case shows it), so they look like anyone's and are refused, not replaced; on
# Windows only administrators may change them, and they give way to the new unpack.
note "driver list at the second start: $(e2e_probe combo "$FLOW_MAIN" "$(e2e_id IDC_DRIVER_COMBO)" | wc -l) names"
e2e_probe close "$FLOW_MAIN" >/dev/null
check "closed, the program ends" flow_wait_end 30 || kill "$FLOW_APP" 2>/dev/null
e2e_summary
