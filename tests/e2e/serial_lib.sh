# Serial ports for the end-to-end tests (sourced after lib.sh, once e2e_prefix has run): pty
# pairs mapped as COM ports of the run's Wine prefix, fake printers on their device ends, and the
# preload library that lets Wine's WaitCommEvent work on a pty.
#
#   serial_build_tools               build the shim (both word sizes) and the fake printer
#   serial_make_ports <n> [first]    n pty pairs as COM<first>.. (default COM5..), then restarts
#                                    the prefix's wineserver so that Wine sees them
#   serial_start_printer <COMn> [fakeprinter options]   e.g. --probe 1b213f --reply 12
#                                    --delay 50 --baud 19200, or --silent
#   serial_stop_printer <COMn>
#   serial_printer_log <COMn>        what the printer saw and did, one event a line
#   serial_wine <seconds> <program> [args]   e2e_wine with the shim preloaded
#
# Everything started here is stopped at exit.
# shellcheck shell=bash
# shellcheck disable=SC2034

SERIAL_SRC=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
declare -A SERIAL_LINE=()    # COMn -> the pty Wine opens
declare -A SERIAL_DEVICE=()  # COMn -> the pty the printer plays on
declare -A SERIAL_PRINTER=() # COMn -> the fake printer's pid

serial_build_tools() {
    SERIAL_DIR=${SERIAL_DIR:-$E2E_WORK/serial}
    mkdir -p "$SERIAL_DIR"
    bash "$SERIAL_SRC/serialshim/build.sh" "$SERIAL_DIR/shim" || return 1
    # Single quotes: the dynamic loader itself puts each loader's own directory for $LIB.
    # shellcheck disable=SC2016
    SERIAL_PRELOAD="$SERIAL_DIR/shim/"'$LIB/shim.so'
    gcc -O2 -Wall -Wextra -Werror -o "$SERIAL_DIR/fakeprinter" \
        "$SERIAL_SRC/fakeprinter/fakeprinter.c" || return 1
    SERIAL_FAKEPRINTER=$SERIAL_DIR/fakeprinter
}

serial_make_ports() {
    local count=$1 first=${2:-5} i com pid
    for ((i = 0; i < count; i++)); do
        com=COM$((first + i))
        local line=$SERIAL_DIR/$com.line device=$SERIAL_DIR/$com.device
        socat "pty,raw,echo=0,link=$line" "pty,raw,echo=0,link=$device" \
            >"$SERIAL_DIR/$com.socat.log" 2>&1 &
        pid=$!
        e2e_on_exit "kill $pid 2>/dev/null; wait $pid 2>/dev/null"
        local tries
        for ((tries = 0; tries < 50; tries++)); do
            [[ -e "$line" && -e "$device" ]] && break
            sleep 0.1
        done
        [[ -e "$line" && -e "$device" ]] || {
            echo "error: socat made no pty pair for $com" >&2
            return 1
        }
        SERIAL_LINE[$com]=$line
        SERIAL_DEVICE[$com]=$device
        e2e_wine 60 reg add 'HKLM\Software\Wine\Ports' /v "$com" /t REG_SZ /d "$line" /f \
            >/dev/null 2>&1 || return 1
    done
    # Wine reads its port table when the server starts.
    _e2e_server_in "$WINEPREFIX" -k 2>/dev/null
    _e2e_server_in "$WINEPREFIX" -w
    _e2e_server_in "$WINEPREFIX" -p </dev/null >/dev/null 2>&1
    e2e_wine 120 cmd.exe /c exit </dev/null >/dev/null 2>&1
}

serial_start_printer() {
    local com=$1
    shift
    [[ -n "${SERIAL_DEVICE[$com]:-}" ]] || {
        echo "error: $com is no port of serial_make_ports" >&2
        return 1
    }
    serial_stop_printer "$com"
    "$SERIAL_FAKEPRINTER" --device "${SERIAL_DEVICE[$com]}" --line "${SERIAL_LINE[$com]}" "$@" \
        >"$SERIAL_DIR/$com.printer.log" 2>&1 &
    SERIAL_PRINTER[$com]=$!
    e2e_on_exit "serial_stop_printer $com"
    local tries
    for ((tries = 0; tries < 50; tries++)); do
        grep -q '^ready' "$SERIAL_DIR/$com.printer.log" 2>/dev/null && return 0
        sleep 0.1
    done
    echo "error: the fake printer on $com did not start" >&2
    return 1
}

serial_stop_printer() {
    local com=$1 pid=${SERIAL_PRINTER[$1]:-}
    if [[ -n "$pid" ]]; then
        kill "$pid" 2>/dev/null
        wait "$pid" 2>/dev/null
        SERIAL_PRINTER[$com]=
    fi
    return 0
}

serial_printer_log() { cat "$SERIAL_DIR/$1.printer.log" 2>/dev/null; }

serial_wine() {
    local limit=$1
    shift
    LD_PRELOAD=$SERIAL_PRELOAD e2e_wine "$limit" "$@"
}
