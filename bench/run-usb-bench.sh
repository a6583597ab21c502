#!/usr/bin/env bash
# Wine measurement, printed and never asserted: the time of one USB search round per port. The
# installer searches PORTS local ports (USB001 …) with no device on any; each Retry of its
# "Fail to select port" box runs one more round. Wine's time-stamped trace of the service calls
# dates each port's spooler stop request; the time from the first port's to the last port's
# request of a round, over the ports between, is what one port costs (pointing the printer at it
# in the registry, the spooler restart, the online flag read), free of the probe's own timing.
# Usage: bench/run-usb-bench.sh   (after the win32 build and tools/package/build-package.sh)
set -uo pipefail
repo=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
# shellcheck source=tests/e2e/lib.sh
source "$repo/tests/e2e/lib.sh"
export LC_ALL=C

PORTS=${PORTS:-4}
ROUNDS=${ROUNDS:-5}
LOCALPORT=$E2E_BUILD/tests/e2e/localport/localport.exe
readonly BOX="Fail to select port" IDRETRY=4 IDCANCEL=2

((PORTS >= 2)) || {
    echo "error: PORTS must be 2 or more" >&2
    exit 1
}
e2e_installer_setup win32 "$LOCALPORT"
main=$(e2e_caption IDD_INSTALL)
IDC_INSTALL=$(e2e_id IDC_INSTALL)
run=$E2E_RUN
log=$E2E_WORK/app.log
ports=()
for ((i = 1; i <= PORTS; i++)); do
    ports+=("$(printf 'USB%03d' "$i")")
done
e2e_wine 60 "$LOCALPORT" add "${ports[@]}" </dev/null || exit 1

# The seconds stamps of the spooler stop requests so far.
stops() { grep -a 'trace:service:ControlService [0-9A-Fa-f]* 1 ' "$log" | cut -d: -f1; }
# Waits until the installer has made `count` stop requests in all and shows its box again.
wait_round() {
    local count=$1 i
    for ((i = 0; i < 1200; i++)); do
        (($(stops | wc -l) >= count)) && break
        sleep 0.1
    done
    e2e_probe wait "$BOX" 60000 >/dev/null
}

(cd "$run" && exec env WINEDEBUG=-all,+timestamp,trace+service timeout -k 5 900 wine \
    DriverInstaller.exe) >"$log" 2>&1 &
app=$!
e2e_on_exit "kill $app 2>/dev/null"
e2e_probe waitready "$main" "$IDC_INSTALL" 60000 >/dev/null || {
    echo "error: the installer did not get ready" >&2
    exit 1
}
e2e_probe select "$main" "$(e2e_id IDC_PORT_TYPES)" 1
e2e_probe click "$main" "$IDC_INSTALL"
wait_round "$PORTS" || exit 1
for ((r = 2; r <= ROUNDS; r++)); do
    e2e_probe answer "Failed to select usb port" "$IDRETRY" 5000 >/dev/null
    wait_round $((r * PORTS)) || exit 1
done
e2e_probe answer "Failed to select usb port" "$IDCANCEL" 5000 >/dev/null
e2e_probe waittext "$main" "$IDC_INSTALL" "&Finish" 30000 >/dev/null
e2e_probe click "$main" "$IDC_INSTALL"
timeout 30 tail --pid="$app" -f /dev/null || kill "$app" 2>/dev/null

echo "== One USB search round under Wine, $(e2e_wine_version), 32-bit prefix: $PORTS ports, $ROUNDS rounds"
stops | awk -v n="$PORTS" '
    { t[NR - 1] = $1 }
    END {
        printf "%-6s %16s\n", "round", "ms per port"
        for (r = 0; r * n + n - 1 < NR; r++) {
            ms = 1000 * (t[r * n + n - 1] - t[r * n]) / (n - 1)
            printf "%-6d %16.0f\n", r + 1, ms
            sum += ms
            rounds++
        }
        if (rounds > 0) {
            printf "mean   %16.0f\n", sum / rounds
        }
    }'
