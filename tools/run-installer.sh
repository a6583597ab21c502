#!/usr/bin/env bash
# Builds the installer and runs it under Wine. On your X display it just starts it. Without one
# it performs a real installation on a private Xvfb display, driven through the dialog probe as
# a person would: a receipt printer on the first parallel port, or a label printer with --label.
set -uo pipefail

usage() {
    echo "usage: $0 [--label]" >&2
    exit 2
}
kind=receipt
while (($#)); do
    case $1 in
    --label) kind=label ;;
    *) usage ;;
    esac
    shift
done
# The models installed: the first of each kind in the catalogue.
if [[ $kind == label ]]; then
    model="LB-200 Label"
else
    model="TR-210 Series"
fi

repo=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
cd "$repo" || exit 1
export CMAKE_BUILD_PARALLEL_LEVEL=${CMAKE_BUILD_PARALLEL_LEVEL:-2}

bash tools/setup.sh </dev/null || exit 1
cmake --preset win32 >/dev/null && cmake --build --preset win32 || exit 1
if bash tools/runs-32bit.sh; then
    # The label package's 64-bit monitor module is our own too.
    cmake --preset win64 >/dev/null && cmake --build --preset win64 --target language_monitor >/dev/null ||
        echo "notice: no 64-bit monitor module: the package carries a placeholder for it"
else
    # No 32-bit program runs on this kernel, Wine's loader included: its x86_64 twin runs instead.
    echo "notice: this kernel cannot run 32-bit programs: the x86_64 build runs on 64-bit Wine"
    export E2E_WINE64_ONLY=1
    cmake --preset win64 >/dev/null && cmake --build --preset win64 || exit 1
fi
bash tools/package/build-package.sh </dev/null || exit 1

# shellcheck source=tests/e2e/lib.sh
source tests/e2e/lib.sh
# shellcheck source=tests/e2e/install_flow.sh
source tests/e2e/install_flow.sh

run=$repo/build/run
rm -rf "$run"
e2e_stage_run_dir "$run"
((E2E_HAVE_DLL)) || echo "notice: 7-zip32.dll not built: the driver list will stay empty"
e2e_start_display --prefer-current || exit 1
# A 32-bit Windows: under Wine the spooler runs inside the 32-bit installer, which can add the
# 32-bit drivers and load the 32-bit monitor module. A fresh copy each run, discarded at exit.
e2e_prefix win32 || exit 1
echo "Wine prefix for this run: $WINEPREFIX ($( ((E2E_WINE64_ONLY)) && echo 64 || echo 32)-bit Windows, removed at exit)"

flow_start "$run" "$E2E_WORK/installer.log"

if ((!E2E_XVFB)); then
    echo "The installer is on $DISPLAY; close it to end."
    wait "$FLOW_APP"
    exit
fi

# stop <message>: the reason, a picture of the screen, and a non-zero exit.
stop() {
    echo "error: $1" >&2
    e2e_probe boxes 2>/dev/null | sed 's/^/open message box: /' >&2
    e2e_screenshot installer-failed
    exit 1
}

if ! ms=$(flow_ready 60000); then
    stop "the installer did not enable &Install within 60 s"
fi
echo "ready: &Install enabled ${ms} ms after the window appeared"
flow_pick_driver "$model" || stop "\"$model\" is not in the driver list"
e2e_probe select "$FLOW_MAIN" "$(e2e_id IDC_PORT_TYPES)" "$FLOW_ROW_PARALLEL" >/dev/null
e2e_screenshot installer-form
flow_parallel_dialog 30000 >/dev/null || stop "the parallel port dialog did not appear"
flow_choose_port 0 || stop "could not select the first parallel port"
e2e_screenshot installer-port-dialog
if ! ms=$(flow_ok_until 90000 "&Finish"); then
    stop "the installation did not finish (no &Finish within 90 s)"
fi
echo "installed: &Finish ${ms} ms after the port was chosen"
e2e_screenshot installer-finished
# Trimmed to the dialogs: the rest of the screen is the empty desktop.
montage -trim "$E2E_ARTIFACTS"/installer-{form,port-dialog,finished}.png -tile 3x1 -geometry +4+4 \
    -title "Thermal Driver Setup: $model on a parallel port" "$E2E_ARTIFACTS/installer-sheet.png" &&
    echo "contact sheet: $E2E_ARTIFACTS/installer-sheet.png"

# What the spooler holds now, in words.
state=$E2E_WORK/spooler.txt
flow_spoolq drivers printers ports monitors device >"$state"
unescape() { sed 's/\\\\/\\/g'; }
echo
echo "The spooler now holds:"
awk -F'\t' -v model="$model" '$1 == "driver" && $2 == model {
    n = split($9, deps, ",")
    printf "  driver   %s (%s, version %s): %s, data %s, %d dependent files%s\n", $2, $3, $4, $5, $6, n,
        ($10 != "" ? ", monitor \"" $10 "\"" : "")
}' "$state" | unescape
awk -F'\t' '$1 == "monitor" && $2 == "Advanced Language Monitor" {
    printf "  monitor  %s (%s): %s\n", $2, $3, $4 }' "$state" | unescape
awk -F'\t' -v model="$model" '$1 == "printer" && $4 == model {
    printf "  printer  %s on port %s, driver %s, %s/%s\n", $2, $3, $4, $5, $6 }' "$state" >"$E2E_WORK/printers.txt"
cat "$E2E_WORK/printers.txt"
port=$(awk -F'\t' -v model="$model" '$1 == "printer" && $4 == model { print $3; exit }' "$state")
awk -F'\t' -v port="$port" '$1 == "port" && $2 == port {
    printf "  port     %s (monitor %s, %s)\n", $2, $3, $4 }' "$state"
awk -F'\t' '$1 == "device" { printf "  default  %s\n", $2 } $1 == "device-missing" { print "  default  (none)" }' "$state"
[[ -s "$E2E_WORK/printers.txt" ]] || stop "no printer with the driver \"$model\" in the spooler"

e2e_probe click "$FLOW_MAIN" "$(e2e_id IDC_INSTALL)" >/dev/null
flow_wait_end 30 || stop "the installer did not end after &Finish"
echo "closed through &Finish; screenshots in $E2E_ARTIFACTS"
