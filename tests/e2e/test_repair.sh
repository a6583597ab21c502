#!/usr/bin/env bash
# Under Wine: "/repair" without a journal exits 0; with a journal naming a printer that no
# longer exists it exits 0 too and empties the journal (the spooler restarted once).
set -uo pipefail
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
# shellcheck source=tests/e2e/lib.sh
source "$here/lib.sh"

exe=$E2E_BUILD/DriverInstaller.exe
e2e_prefix win32 || {
    fail "no Wine prefix"
    e2e_summary
    exit 1
}
key='HKLM\SOFTWARE\ThermalDriverSetup'

e2e_wine 120 "$exe" /repair </dev/null >/dev/null 2>&1
rc=$?
check "/repair with nothing to do exits 0 (status $rc)" test "$rc" = 0

e2e_wine 60 reg add "$key" /v SerialJournal /t REG_MULTI_SZ /d 'Gone printer\0COM1:' /f \
    </dev/null >/dev/null 2>&1
before=$(e2e_wine 60 reg query "$key" /v SerialJournal </dev/null 2>/dev/null | tr -d '\r')
check "the journal is planted" grep -q "Gone printer" <<<"$before"
e2e_wine 120 "$exe" /repair </dev/null >/dev/null 2>&1
rc=$?
check "/repair with a gone printer exits 0 (status $rc)" test "$rc" = 0
after=$(e2e_wine 60 reg query "$key" /v SerialJournal </dev/null 2>/dev/null | tr -d '\r')
echo "$after" | sed 's/^/journal after: /'
check "the journal is emptied" bash -c '! grep -q "Gone printer" <<<"$0"' "$after"
e2e_summary
