#!/usr/bin/env bash
# Wine measurements, printed and never asserted: the CPU cost of waiting for a service to restart,
# the installer's control against busy polling; for the receipt and the label paths the time from
# start to &Install enabled and from Install to &Finish on the parallel path.
# Usage: bench/run-wine-bench.sh   (after the win32 build and tools/package/build-package.sh)
set -uo pipefail
repo=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
# shellcheck source=tests/e2e/lib.sh
source "$repo/tests/e2e/lib.sh"
export LC_ALL=C

BENCH=$E2E_BUILD/tests/e2e/servicebench/service_wait_bench.exe
SPOOLER_ROUNDS=${SPOOLER_ROUNDS:-10}
SLOW_ROUNDS=${SLOW_ROUNDS:-3}
SLOW_MS=${SLOW_MS:-2000}
INSTALL_RUNS=${INSTALL_RUNS:-3}
HZ=$(getconf CLK_TCK)

for need in "$BENCH" "$E2E_BUILD/DriverInstaller.exe" "$E2E_PROBE"; do
    [[ -f "$need" ]] || {
        echo "error: $need is missing (cmake --preset win32 && cmake --build --preset win32)" >&2
        exit 1
    }
done
e2e_start_display || exit 1
# A 32-bit Windows: the receipt driver goes in as "Windows NT x86".
e2e_prefix win32 || exit 1
mkdir -p "$E2E_DRIVE_C/bench"
cp "$BENCH" "$E2E_DRIVE_C/bench/"
bench_exe='C:\bench\service_wait_bench.exe'

# CPU ticks (user + system, with reaped children) of this prefix's processes whose name matches.
prefix_ticks() {
    local pattern=$1 total=0 pid stat
    for pid in $(pgrep -- "$pattern" 2>/dev/null); do
        tr '\0' '\n' <"/proc/$pid/environ" 2>/dev/null | grep -qxF "WINEPREFIX=$WINEPREFIX" || continue
        stat=$(cat "/proc/$pid/stat" 2>/dev/null) || continue
        # Fields after the name, which may hold blanks: utime stime cutime cstime are 12 to 15.
        read -r -a f <<<"${stat##*) }"
        total=$((total + f[11] + f[12] + f[13] + f[14]))
    done
    echo "$total"
}

# A service that takes SLOW_MS to start and to stop, so that the waits last long enough to see.
e2e_wine 60 "$bench_exe" install SlowBench "$SLOW_MS" </dev/null || {
    echo "error: could not register the slow service" >&2
    exit 1
}

echo "== Waiting for a service restart (mode 0) under Wine, $(e2e_wine_version), 32-bit prefix"
echo "   installer: install::RestartService (pauses between queries, bounded)"
echo "   busy:      the original loop, QueryServiceStatus with no pause"
printf '%-9s %-9s %6s %8s %12s %12s %14s %10s %9s\n' variant service rounds "wall ms" \
    "thread CPU" "process CPU" "server+SCM CPU" "all CPU %" queries
run_case() {
    local variant=$1 service=$2 rounds=$3 out=$E2E_WORK/bench.out
    local before after
    before=$(prefix_ticks 'wineserver|services.exe')
    # The bench process's own CPU as Linux counts it, beside what Wine's GetProcessTimes says.
    /usr/bin/time -f 'linux %U %S' -o "$E2E_WORK/time.out" \
        env WINEPREFIX="$WINEPREFIX" WINEDEBUG=-all wine "$bench_exe" run "$variant" "$service" 0 "$rounds" \
        </dev/null >"$out" 2>"$E2E_WORK/bench.err"
    after=$(prefix_ticks 'wineserver|services.exe')
    local line
    # The Windows C runtime ends its lines with CR LF.
    line=$(tr -d '\r' <"$out" | grep '^result')
    if [[ -z "$line" ]]; then
        echo "error: $variant $service: $(cat "$E2E_WORK/bench.err")" >&2
        return
    fi
    IFS=$'\t' read -r _ _ _ _ _ wall thread process _ queries failures <<<"$line"
    local own server
    own=$(awk '/^linux/ { printf "%.0f", ($2 + $3) * 1000 }' "$E2E_WORK/time.out")
    server=$(((after - before) * 1000 / HZ))
    printf '%-9s %-9s %6s %8s %9s ms %9s ms %11s ms %9s%% %9s%s\n' "$variant" "$service" "$rounds" \
        "$wall" "$thread" "$process" "$server" \
        "$(awk -v a="$own" -v b="$server" -v w="$wall" 'BEGIN { printf "%.1f", (w > 0 ? 100 * (a + b) / w : 0) }')" \
        "$queries" "$([[ $failures == 0 ]] || echo "  ($failures failed)")"
    echo "          (bench process CPU as Linux counts it: $own ms)"
}
# Zero rounds: what starting the bench program under Wine costs by itself.
run_case product Spooler 0
for variant in installer busy; do
    [[ $variant == installer ]] && v=product || v=busy
    run_case "$v" Spooler "$SPOOLER_ROUNDS"
    run_case "$v" SlowBench "$SLOW_ROUNDS"
done

# shellcheck source=tests/e2e/install_flow.sh
source "$repo/tests/e2e/install_flow.sh"
run=$E2E_WORK/run
e2e_stage_run_dir "$run"
e2e_wine 60 reg add 'HKCU\Software\Microsoft\Windows NT\CurrentVersion\Windows' /f \
    </dev/null >/dev/null 2>&1

# One installation a row: start to &Install enabled (wall clock, from the launch), the Install
# click to dialog 137, and its &Ok to &Finish (the probe's own clocks).
bench_install() {
    local kind=$1 model=$2 i t0 ready to_dialog to_finish
    echo
    echo "== $kind ($model): start to &Install enabled, Install click to &Finish on the parallel"
    echo "   port (dialog 137, row 1), $INSTALL_RUNS runs"
    printf '%-4s %14s %16s %14s %18s\n' run "start->ready" "Install->dialog" "Ok->&Finish" \
        "Install->&Finish"
    for ((i = 1; i <= INSTALL_RUNS; i++)); do
        t0=$(date +%s%N)
        (cd "$run" && exec env WINEDEBUG=-all timeout -k 5 120 wine DriverInstaller.exe) \
            >"$E2E_WORK/app.log" 2>&1 &
        FLOW_APP=$!
        if ! e2e_probe waitready "$FLOW_MAIN" "$IDC_INSTALL" 60000 >/dev/null; then
            echo "error: the installer did not get ready" >&2
            kill "$FLOW_APP" 2>/dev/null
            return 1
        fi
        ready=$((($(date +%s%N) - t0) / 1000000))
        flow_pick_driver "$model" >/dev/null || return 1
        to_dialog=$(flow_parallel_dialog 30000) || to_dialog=timeout
        flow_choose_port 1 >/dev/null
        to_finish=$(flow_ok_until 60000 "&Finish") || to_finish=timeout
        printf '%-4s %14s %16s %14s %18s\n' "$i" "$ready" "$to_dialog" "$to_finish" \
            "$([[ $to_dialog$to_finish =~ ^[0-9]+$ ]] && echo $((to_dialog + to_finish)))"
        e2e_probe click "$FLOW_MAIN" "$IDC_INSTALL" >/dev/null
        flow_wait_end 30 || kill "$FLOW_APP" 2>/dev/null
    done
}
IDC_INSTALL=$(e2e_id IDC_INSTALL)
bench_install receipt "TR-210 Series"
echo "(each receipt run includes the fixed 500 ms pause before &Finish)"
bench_install label "LB-200 Label"
echo "(each label run includes the fixed 100 ms pause before &Finish, the monitor's deletion and"
echo " a spooler restart from the second run on, when the monitor of the run before is there)"
echo "(start->ready includes Wine's process start and the probe's 25 ms polling; runs after the"
echo " first replace the printer of the same name)"
