#!/usr/bin/env bash
# Builds the installer and runs it under Wine: on your X display if there is one, else on Xvfb.
set -uo pipefail

repo=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
cd "$repo" || exit 1
export CMAKE_BUILD_PARALLEL_LEVEL=${CMAKE_BUILD_PARALLEL_LEVEL:-2}

bash tools/setup.sh </dev/null || exit 1
cmake --preset win32 >/dev/null && cmake --build --preset win32 || exit 1
if [[ -f tools/package/build-package.sh ]]; then
    bash tools/package/build-package.sh </dev/null || exit 1
else
    echo "notice: tools/package/build-package.sh not present: running without DriverData.Drv"
fi

# shellcheck source=tests/e2e/lib.sh
source tests/e2e/lib.sh
caption=$(python3 tests/e2e/dialog_template.py --inc res/Dialogs.inc --ids res/resource.h \
    --dialog IDD_INSTALL --caption)

run=$repo/build/run
rm -rf "$run"
e2e_stage_run_dir "$run"
((E2E_HAVE_DLL)) || echo "notice: 7-zip32.dll not built: the driver list will stay empty"
e2e_start_display --prefer-current || exit 1
# A fresh copy of the prepared prefix each time, so every run starts like a new machine.
e2e_prefix || exit 1
echo "Wine prefix for this run: $WINEPREFIX (removed at exit)"

(cd "$run" && exec env WINEDEBUG=-all wine DriverInstaller.exe) &
app=$!
e2e_on_exit "kill $app 2>/dev/null"

if ! e2e_probe wait "$caption" 30000; then
    echo "error: the window \"$caption\" did not appear" >&2
    e2e_screenshot installer-missing
    exit 1
fi
# The form is worth a picture once the preparation has filled it in.
e2e_probe waitenabled "$caption" "$(e2e_id IDC_INSTALL)" 60000 || echo "notice: &Install still disabled after 60 s"
e2e_screenshot installer

if ((E2E_XVFB)); then
    e2e_probe close "$caption"
    timeout 30 tail --pid="$app" -f /dev/null
    echo "closed (Xvfb has no one to look at it); screenshot in $E2E_ARTIFACTS"
else
    echo "The installer is on $DISPLAY; close it to end."
    wait "$app"
fi
