# Drives one installation under Wine as a person would (sourced after lib.sh): start, wait for
# &Install, pick a driver, pick the parallel port in dialog 137, wait for &Finish.
# shellcheck shell=bash
# The FLOW_ variables are read by the scripts that source this file.
# shellcheck disable=SC2034

FLOW_MAIN=$(e2e_caption IDD_INSTALL)
FLOW_PARALLEL=$(e2e_caption IDD_PARALLEL_PORTS)
FLOW_SPOOLQ=${E2E_SPOOLQ:-$E2E_BUILD/tests/e2e/spoolq/spoolq.exe}
readonly FLOW_ROW_PARALLEL=2

flow_spoolq() { e2e_wine 60 "$FLOW_SPOOLQ" "$@" </dev/null; }

# flow_start <run dir> <log>: the installer from its directory, with FLOW_PRELOAD (the serial
# shim, for a search) preloaded when set; FLOW_APP is its process.
flow_start() {
    # Windows always has this key (it holds the default printer); a fresh prefix does not.
    e2e_wine 60 reg add 'HKCU\Software\Microsoft\Windows NT\CurrentVersion\Windows' /f \
        </dev/null >/dev/null 2>&1
    (cd "$1" && exec env LD_PRELOAD="${FLOW_PRELOAD:-}" WINEDEBUG=-all timeout -k 5 300 \
        wine DriverInstaller.exe) >"$2" 2>&1 &
    FLOW_APP=$!
    e2e_on_exit "kill $FLOW_APP 2>/dev/null"
}

# flow_ready <ms>: waits for &Install; prints the milliseconds waited.
flow_ready() {
    e2e_probe waitready "$FLOW_MAIN" "$(e2e_id IDC_INSTALL)" "$1" | awk -F'\t' '$1 == "ready" { print $2 }' |
        grep .
}

# flow_pick_driver <display name>: chooses it in the driver list (the printer name follows).
flow_pick_driver() {
    local row
    row=$(e2e_probe combo "$FLOW_MAIN" "$(e2e_id IDC_DRIVER_COMBO)" |
        awk -F'\t' -v name="$1" '$3 == name { print $1; exit }')
    [[ -n "$row" ]] || {
        echo "flow: \"$1\" is not in the driver list" >&2
        return 1
    }
    e2e_probe pick "$FLOW_MAIN" "$(e2e_id IDC_DRIVER_COMBO)" "$row"
}

# flow_parallel_dialog <ms>: selects the parallel row and clicks &Install until dialog 137
# shows; prints the milliseconds it took.
flow_parallel_dialog() {
    e2e_probe select "$FLOW_MAIN" "$(e2e_id IDC_PORT_TYPES)" "$FLOW_ROW_PARALLEL" >/dev/null &&
        e2e_probe clickuntil "$FLOW_MAIN" "$(e2e_id IDC_INSTALL)" "$1" "$FLOW_PARALLEL"
}

# flow_choose_port <row>: selects a row of dialog 137.
flow_choose_port() {
    e2e_probe select "$FLOW_PARALLEL" "$(e2e_id IDC_PORT_LIST)" "$1"
}

# flow_ok_until <ms> <text>: &Ok in dialog 137, until the main button's text holds <text>;
# prints the milliseconds it took.
flow_ok_until() {
    e2e_probe clickuntil "$FLOW_PARALLEL" "$(e2e_id IDC_PORTS_OK)" "$1" "$FLOW_MAIN" \
        "$(e2e_id IDC_INSTALL)" "$2"
}

# flow_wait_end <seconds>: true when the installer ended by itself in time.
flow_wait_end() {
    timeout "$1" tail --pid="$FLOW_APP" -f /dev/null
}
