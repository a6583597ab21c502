#!/usr/bin/env bash
# Under Wine: the serial test tools work. Two pty pairs become COM5 and COM6 of the prefix, fake
# printers play on them, and a console program (i686 and x86_64) opens each port as the serial
# channel does, writes the probe, waits for EV_RXCHAR and reads the reply; then the serial
# conformance cases run against COM5.
set -uo pipefail
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
# shellcheck source=tests/e2e/lib.sh
source "$here/lib.sh"
# shellcheck source=tests/e2e/serial_lib.sh
source "$here/serial_lib.sh"

for tool in socat gcc i686-w64-mingw32-gcc x86_64-w64-mingw32-gcc; do
    command -v "$tool" >/dev/null || e2e_give_up "$tool is missing (tools/setup.sh installs it)"
done
e2e_start_display || e2e_give_up "no X display"
e2e_prefix || e2e_give_up "no Wine prefix"
serial_build_tools || e2e_give_up "cannot build the serial shim or the fake printer"
serial_make_ports 2 5 || e2e_give_up "cannot map pty pairs as COM5 and COM6"

# The serial detection finds the ports in the device map.
e2e_wine 60 reg query 'HKLM\HARDWARE\DEVICEMAP\SERIALCOMM' >"$E2E_WORK/serialcomm.txt" 2>&1
# shellcheck disable=SC2016 # the inner shell expands $1
check "SERIALCOMM lists COM5 and COM6" \
    bash -c 'grep -q "REG_SZ *COM5" "$1" && grep -q "REG_SZ *COM6" "$1"' _ "$E2E_WORK/serialcomm.txt"

run=$E2E_DRIVE_C/serial
mkdir -p "$run"
# The one-size checks run the product's word size: i686, or x86_64 where 32-bit cannot run.
arches=(i686 x86_64)
((E2E_WINE64_ONLY)) && arches=(x86_64)
main=${arches[0]}
for arch in "${arches[@]}"; do
    "$arch-w64-mingw32-gcc" -O2 -Wall -Wextra -Werror -o "$run/serialcheck-$arch.exe" \
        "$here/serialcheck/serialcheck.c" || e2e_give_up "cannot build serialcheck for $arch"
done

# serialcheck <arch> <args...>: its output in $out, its status in $rc.
serialcheck() {
    local arch=$1
    shift
    (cd "$run" && serial_wine 60 "serialcheck-$arch.exe" "$@" >"$E2E_WORK/serialcheck.txt" 2>&1)
    rc=$?
    out=$(tr -d '\r' <"$E2E_WORK/serialcheck.txt")
}

# A receipt printer on COM5 that answers at any rate.
serial_start_printer COM5 --probe 100401 --reply 12 --delay 20 || e2e_give_up "no printer on COM5"
for arch in "${arches[@]}"; do
    serialcheck "$arch" COM5 19200 100401 3000
    check "$arch: the printer on COM5 answers the status request with 12" \
        grep -qx 'reply 12' <<<"$out"
    [[ $rc == 0 ]] || note "$arch serialcheck said: $out"
done

# Without the shim Wine's WaitCommEvent on a pty ends at once with 995: the shim is what works.
(cd "$run" && e2e_wine 60 "serialcheck-$main.exe" COM5 19200 100401 3000 >"$E2E_WORK/noshim.txt" 2>&1)
note "without the shim: $(tr -d '\r' <"$E2E_WORK/noshim.txt" | tr '\n' ' ')"

# A label printer on COM6 that answers a several-byte reply only at 9600.
serial_start_printer COM6 --probe 1b213f --reply 1d0a --delay 50 --baud 9600 ||
    e2e_give_up "no printer on COM6"
serialcheck "$main" COM6 9600 1b213f 3000
check "the label printer on COM6 answers at 9600 with both bytes" grep -qx 'reply 1d 0a' <<<"$out"
serialcheck "$main" COM6 19200 1b213f 1500
if serial_printer_log COM6 | grep -qx 'probe at 19200'; then
    check "SetCommState's rate reaches the pty: at 19200 the label printer stays silent" \
        grep -qx 'no reply' <<<"$out"
else
    fail "the pty did not run at the rate SetCommState set; the printer saw: $(serial_printer_log COM6 | tr '\n' ' ')"
fi
serialcheck "$main" COM7 9600 100401 500
check "COM7 is no port: CreateFileA fails with 2" grep -qx 'error CreateFileA 2' <<<"$out"

# The serial conformance cases against COM5, its printer answering 0x10 0x04 0x01 with 0x12.
exe=$E2E_BUILD/tests/conformance/conformance_tests.exe
if [[ -f "$exe" ]]; then
    cp "$exe" "$run/"
    (cd "$run" && CONFORMANCE_SERIAL_PORT=COM5 WINEDEBUG=-all serial_wine 300 conformance_tests.exe \
        --gtest_filter='Serial*' --gtest_output='xml:C:\serial\results.xml' \
        >"$E2E_WORK/serial-conformance.txt" 2>&1)
    crc=$?
    e2e_count < <(python3 "$here/gtest_results.py" "$run/results.xml" serial-conformance)
    if ((crc != 0 && crc != 1)) || [[ ! -f "$run/results.xml" ]]; then
        fail "conformance_tests.exe ended with status $crc; its last output:"
        tail -n 20 "$E2E_WORK/serial-conformance.txt" | sed 's/^/  /'
    fi
else
    note "no conformance_tests.exe in $E2E_BUILD: the serial conformance cases did not run"
fi
e2e_summary
