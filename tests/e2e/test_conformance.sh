#!/usr/bin/env bash
# Under Wine: the platform conformance cases against the real back end (conformance_tests.exe of
# the Windows build), one PASS:/FAIL: line a case; cases skipped because Wine differs from
# Windows are NOTE lines with their reason.
set -uo pipefail
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
# shellcheck source=tests/e2e/lib.sh
source "$here/lib.sh"

exe=$E2E_BUILD/tests/conformance/conformance_tests.exe
[[ -f "$exe" ]] || e2e_give_up "no conformance_tests.exe in $E2E_BUILD/tests/conformance"
# The window cases need a display, there before the prefix's first program starts its desktop.
e2e_start_display || e2e_give_up "no X display"
e2e_prefix || e2e_give_up "no Wine prefix"

# Run from a directory on drive C, so that relative paths stay inside the prefix.
run=$E2E_DRIVE_C/conformance
mkdir -p "$run"
cp "$exe" "$run/"
console=$E2E_WORK/conformance-console.txt
# Output to a file, never a pipe: a Wine process left behind would keep a pipe open.
(cd "$run" && e2e_wine 300 conformance_tests.exe --gtest_output='xml:C:\conformance\results.xml' \
    >"$console" 2>&1)
rc=$?

e2e_count < <(python3 "$here/gtest_results.py" "$run/results.xml" conformance)
# A failing case gives status 1; anything else (a crash, the time limit) is a failure of its own.
if ((rc != 0 && rc != 1)) || [[ ! -f "$run/results.xml" ]]; then
    fail "conformance_tests.exe ended with status $rc; its last output:"
    tail -n 20 "$console" | sed 's/^/  /'
fi
e2e_summary
