#!/usr/bin/env bash
# Under Wine: the unattended receipt installation on LPT1:, process start to exit, against the
# window's start to "&Finish" for the same model and port (target: under half). Printed only.
set -uo pipefail
repo=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
# shellcheck source=tests/e2e/lib.sh
source "$repo/tests/e2e/lib.sh"
export LC_ALL=C

RUNS=${RUNS:-3}
readonly MODEL="TR-210 Series"

[[ -f $E2E_BUILD/DriverInstaller.exe && -f $E2E_PROBE ]] || {
    echo "error: build the installer and the probe first (cmake --build --preset win32)" >&2
    exit 1
}
e2e_start_display || exit 1
e2e_prefix win32 || exit 1
# shellcheck source=tests/e2e/install_flow.sh
source "$repo/tests/e2e/install_flow.sh"
run=$E2E_WORK/run
e2e_stage_run_dir "$run"
e2e_wine 60 reg add 'HKCU\Software\Microsoft\Windows NT\CurrentVersion\Windows' /f \
    </dev/null >/dev/null 2>&1
IDC_INSTALL=$(e2e_id IDC_INSTALL)
ms_since() { echo $((($(date +%s%N) - $1) / 1000000)); }

echo "== $MODEL on LPT1:, $RUNS runs each (ms); runs after the first replace the printer"
printf '%-4s %22s %22s %8s\n' run "window start->&Finish" "quiet start->exit" ratio
for ((i = 1; i <= RUNS; i++)); do
    t0=$(date +%s%N)
    flow_start "$run" "$E2E_WORK/window.log"
    window=timeout
    if flow_ready 60000 >/dev/null && flow_pick_driver "$MODEL" >/dev/null &&
        flow_parallel_dialog 30000 >/dev/null && flow_choose_port 0 >/dev/null &&
        flow_ok_until 60000 "&Finish" >/dev/null; then
        window=$(ms_since "$t0")
    fi
    e2e_probe click "$FLOW_MAIN" "$IDC_INSTALL" >/dev/null
    flow_wait_end 30 || kill "$FLOW_APP" 2>/dev/null

    t0=$(date +%s%N)
    (cd "$run" && WINEDEBUG=-all timeout -k 5 120 wine DriverInstaller.exe /quiet /model \
        "$MODEL" /port LPT1: /log 'C:\bench.log') </dev/null >/dev/null 2>&1
    rc=$?
    quiet=$(ms_since "$t0")
    ((rc == 0)) || quiet="exit $rc"
    ratio=-
    [[ $window$quiet =~ ^[0-9]+$ ]] && ratio=$(awk -v q="$quiet" -v w="$window" 'BEGIN { printf "%.2f", q / w }')
    printf '%-4s %22s %22s %8s\n' "$i" "$window" "$quiet" "$ratio"
done
echo "(the window's figure includes the probe's polling and dialog 137; the quiet one Wine's"
echo " process start and end, and the clean-up)"
