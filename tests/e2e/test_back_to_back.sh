#!/usr/bin/env bash
# Under Wine (32-bit prefix): two printers installed back to back. A receipt printer on LPT1:,
# "&Finish", and 0.3 s later a second installer for "LB-200 Label" on LPT1:. The second ends with
# the label printer installed: at once, or after the "another installation" box and a new start
# once the first has ended; never with the box that blames the package. Prints the time from
# "&Finish" to the end of the first process (a figure, not a check).
set -uo pipefail
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
# shellcheck source=tests/e2e/lib.sh
source "$here/lib.sh"
# shellcheck source=tests/e2e/install_flow.sh
source "$here/install_flow.sh"
export LC_ALL=C

IDC_INSTALL=$(e2e_id IDC_INSTALL)
readonly READY_MS=60000 DIALOG_MS=30000 STEP_MS=120000
readonly RECEIPT="TR-210 Series" LABEL="LB-200 Label"
readonly BLAME="does not match this program" ANOTHER="Another installation is running"

e2e_installer_setup win32 "$FLOW_SPOOLQ"
run=$E2E_RUN

# install_on_lpt1 <display name> <what>: from the ready form to "&Finish".
install_on_lpt1() {
    flow_pick_driver "$1" >/dev/null || { fail "$2: \"$1\" not in the driver list"; return 1; }
    flow_parallel_dialog "$DIALOG_MS" >/dev/null || {
        e2e_probe boxes | sed "s/^/$2 box: /"
        e2e_screenshot "back-to-back-$2-no-port-dialog"
        fail "$2: the parallel port dialog did not appear"
        return 1
    }
    if ! { flow_choose_port 0 >/dev/null && flow_ok_until "$STEP_MS" "&Finish" >/dev/null; }; then
        e2e_probe boxes | sed "s/^/$2 box: /"
        e2e_screenshot "back-to-back-$2-no-finish"
        fail "$2: \"&Finish\" not shown"
        return 1
    fi
    pass "$2: \"&Finish\" shown"
}

flow_start "$run" "$E2E_WORK/first.log"
first=$FLOW_APP
flow_ready "$READY_MS" >/dev/null || e2e_give_up "the first installer did not get ready"
install_on_lpt1 "$RECEIPT" first || e2e_give_up "the first installation did not finish"

t0=$(date +%s%N)
check "first: &Finish accepted" e2e_probe click "$FLOW_MAIN" "$IDC_INSTALL"
(timeout 60 tail --pid="$first" -f /dev/null; echo $((($(date +%s%N) - t0) / 1000000)) >"$E2E_WORK/first.end") &
watcher=$!
sleep 0.3
flow_start "$run" "$E2E_WORK/second.log"

# The second either gets ready or says that another installation runs.
outcome=
for ((i = 0; i < READY_MS / 500; i++)); do
    boxes=$(e2e_probe boxes </dev/null)
    if grep -qF "$BLAME" <<<"$boxes"; then
        outcome=blamed
        break
    elif grep -qF "$ANOTHER" <<<"$boxes"; then
        outcome=refused
        break
    elif [[ "$(e2e_probe enabled "$FLOW_MAIN" "$IDC_INSTALL" 2>/dev/null)" = 1 ]]; then
        outcome=ready
        break
    fi
    sleep 0.5
done
wait "$watcher"
ms=$(cat "$E2E_WORK/first.end" 2>/dev/null)
echo "timing: &Finish to the end of the first process ${ms:-?} ms"
check "the first process ended by itself after &Finish" test -n "$ms"
note "the second installer: $outcome"
check "the second installer never blames the package" test "$outcome" != blamed
if [[ $outcome == refused ]]; then
    e2e_probe answer "$ANOTHER" 0 5000 >/dev/null
    check "refused: the second installer ends after its box" flow_wait_end 30
    flow_start "$run" "$E2E_WORK/third.log"
    flow_ready "$READY_MS" >/dev/null && outcome=ready
fi
if [[ $outcome == ready ]]; then
    if install_on_lpt1 "$LABEL" second; then
        flow_spoolq printers monitors >"$E2E_WORK/after.txt"
        sed 's/^/after: /' "$E2E_WORK/after.txt"
        check "printer \"$LABEL\" is on LPT1:" \
            test "$(e2e_field "$E2E_WORK/after.txt" printer 3 "$LABEL")" = "LPT1:"
        check "printer \"$RECEIPT\" is still there" \
            test "$(e2e_field "$E2E_WORK/after.txt" printer 3 "$RECEIPT")" = "LPT1:"
        check "second: &Finish accepted" e2e_probe click "$FLOW_MAIN" "$IDC_INSTALL"
        check "second: the installer ends" flow_wait_end 30
    fi
else
    fail "the second installer neither got ready nor said another installation runs ($outcome)"
fi
for gone in Barcode Ticket DriverName.cfg; do
    check "c:\\$gone removed at the end" test ! -e "$E2E_DRIVE_C/$gone"
done

e2e_summary
