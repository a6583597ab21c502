#!/usr/bin/env bash
# Under Wine: every console check program of the win32 build (tests/e2e/*/<name>_check.exe) exits 0.
# A check that needs arguments brings tests/e2e/<dir>/run.sh, called with the build directory.
set -uo pipefail
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
# shellcheck source=tests/e2e/lib.sh
source "$here/lib.sh"

mapfile -t checks < <(find "$E2E_BUILD/tests/e2e" -name '*_check.exe' 2>/dev/null | sort)
if ((${#checks[@]} == 0)); then
    note "no *_check.exe in $E2E_BUILD/tests/e2e: nothing to run"
    e2e_summary
    exit
fi

e2e_prefix || {
    fail "no Wine prefix"
    e2e_summary
    exit 1
}
for exe in "${checks[@]}"; do
    name=$(basename "$exe")
    runner=$here/$(basename "$(dirname "$exe")")/run.sh
    if [[ -f "$runner" ]]; then
        out=$(WINEDEBUG=-all timeout -k 5 300 bash "$runner" "$E2E_BUILD" 2>&1)
    else
        out=$(cd "$(dirname "$exe")" && e2e_wine 120 "$exe" 2>&1)
    fi
    rc=$?
    sed "s/^/$name: /" <<<"$out"
    check "$name exits 0 (status $rc)" test "$rc" = 0
done
e2e_summary
