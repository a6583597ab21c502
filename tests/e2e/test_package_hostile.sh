#!/usr/bin/env bash
# Broken and hostile driver packages under Wine: no package, a truncated one, one that is not an
# archive, one escaping drive C, one with entries outside the three paths, one declaring a huge
# entry, no DLL, a DLL that is not one. Each run reaches the ready state, answers Install with
# a message where no driver list came, and leaves nothing on drive C after the window closes.
set -uo pipefail
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
# shellcheck source=tests/e2e/lib.sh
source "$here/lib.sh"
export LC_ALL=C
IDC_INSTALL=$(e2e_id IDC_INSTALL)
IDC_DRIVER_COMBO=$(e2e_id IDC_DRIVER_COMBO)
caption=$(e2e_caption IDD_INSTALL)
IDOK=1

dll=$(find "$E2E_BUILD/tools/sevenzip" -name 7-zip32.dll -print -quit 2>/dev/null)
for need in "$E2E_BUILD/DriverInstaller.exe" "$E2E_PROBE" "$dll"; do
    if [[ ! -f "$need" ]]; then
        fail "${need:-7-zip32.dll} is missing (cmake --preset win32 && cmake --build --preset win32)"
        e2e_summary
        exit 1
    fi
done
e2e_start_display || { fail "no X display"; e2e_summary; exit 1; }
e2e_prefix || { fail "no Wine prefix"; e2e_summary; exit 1; }

# The packages, made here.
pkgs=$E2E_WORK/packages
mkdir -p "$pkgs"
sample=$E2E_REPO/build/package/DriverData.Drv
[[ -f $sample ]] || bash "$E2E_REPO/tools/package/build-package.sh" --out "$pkgs/sample.Drv" >/dev/null
[[ -f $sample ]] || sample=$pkgs/sample.Drv
head -c $(($(wc -c <"$sample") / 2)) "$sample" >"$pkgs/truncated.Drv"
printf 'This is not an archive.\r\n%.0s' {1..50} >"$pkgs/text.Drv"
python3 - "$pkgs" <<'PY'
import io, struct, sys, tarfile
out = sys.argv[1]
cfg = b"[R0]\r\nPrintName1=Hostile Receipt\r\n"

def tar(name, entries):
    with tarfile.open(f"{out}/{name}", "w", format=tarfile.PAX_FORMAT) as t:
        for path, data in entries:
            info = tarfile.TarInfo(path)
            info.size = len(data)
            t.addfile(info, io.BytesIO(data))

tar("escape.Drv", [("DriverName.cfg", cfg), ("../escaped.txt", b"x"),
                   ("../../escaped-too.txt", b"x"), ("Ticket/../../escaped-3.txt", b"x")])
tar("outside.Drv", [("DriverName.cfg", cfg), ("Ticket/x86/A.GPD", b"gpd"),
                    ("Program Files/Vendor/x.txt", b"stray"), ("windows/system32/stray.dll", b"s"),
                    ("autoexec.bat", b"stray")])
# A 512-byte header declaring a TiB for the catalogue, then nothing.
h = bytearray(512)
h[0:14] = b"DriverName.cfg"
h[100:107], h[108:115], h[116:123] = b"0000644", b"0000000", b"0000000"
h[124] = 0x80
h[128:136] = struct.pack(">Q", 1 << 40)
h[136:147], h[156:157], h[257:263], h[263:265] = b"14672522000", b"0", b"ustar\0", b"00"
h[148:156] = b" " * 8
h[148:155] = ("%06o\0" % sum(h)).encode()
open(f"{out}/huge.Drv", "wb").write(bytes(h) + b"[R0]\r\n" * 10)
PY

# drive_c without the folders Wine itself keeps writing to.
listing() {
    (cd "$E2E_DRIVE_C" && find . -path ./windows -prune -o -path ./users -prune -o -print | sort)
}
before=$E2E_WORK/before.txt
listing >"$before"

# one NAME PACKAGE DLL EXPECT_LIST: a run from its own folder; PACKAGE or DLL "-" for none.
one() {
    local name=$1 package=$2 lib=$3 expect_list=$4
    local dir=$E2E_WORK/run-$name
    mkdir -p "$dir"
    cp "$E2E_BUILD/DriverInstaller.exe" "$dir/"
    [[ $package == - ]] || cp "$package" "$dir/DriverData.Drv"
    [[ $lib == - ]] || cp "$lib" "$dir/7-zip32.dll"
    (cd "$dir" && exec env WINEDEBUG=-all timeout -k 5 120 wine DriverInstaller.exe) \
        >"$dir/app.log" 2>&1 &
    local app=$!
    if ! e2e_probe waitenabled "$caption" "$IDC_INSTALL" 60000 >/dev/null; then
        fail "$name: no ready state"
        e2e_screenshot "hostile-$name"
        kill "$app" 2>/dev/null
        wait "$app" 2>/dev/null
        return
    fi
    pass "$name: ready state"
    local big
    big=$(find "$E2E_DRIVE_C" -path "$E2E_DRIVE_C/windows" -prune -o -type f -size +64M -print \
        2>/dev/null | head -n 3)
    check "$name: no large file on drive C while open${big:+ ($big)}" test -z "$big"
    local names
    names=$(e2e_probe combo "$caption" "$IDC_DRIVER_COMBO" | cut -f3 | tr '\n' '|')
    check "$name: driver list ${expect_list:-empty} (${names:-empty})" test "$names" = "$expect_list"
    if [[ -z $expect_list ]]; then
        e2e_probe click "$caption" "$IDC_INSTALL" >/dev/null
        local text
        text=$(e2e_probe msgbox Prompt "$IDOK" 20000)
        check "$name: Install answers \"${text%%\\r*}\"" grep -q "No driver list was found" <<<"$text"
    fi
    e2e_probe close "$caption" >/dev/null
    local i
    for ((i = 0; i < 300; i++)); do
        kill -0 "$app" 2>/dev/null || break
        sleep 0.1
    done
    if kill -0 "$app" 2>/dev/null; then
        fail "$name: still running after the close box"
        kill "$app" 2>/dev/null
    fi
    wait "$app" 2>/dev/null
    local after=$E2E_WORK/after-$name.txt
    listing >"$after"
    if cmp -s "$before" "$after"; then
        pass "$name: nothing left on drive C"
    else
        fail "$name: drive C changed: $(diff "$before" "$after" | grep '^[<>]' | head -n 8 | tr '\n' ' ')"
    fi
    big=$(find "$E2E_DRIVE_C" "$dir" -type f -size +64M 2>/dev/null | head -n 3)
    check "$name: no large file anywhere after the close${big:+ ($big)}" test -z "$big"
}

one no-package - "$dll" ""
one truncated "$pkgs/truncated.Drv" "$dll" ""
one not-an-archive "$pkgs/text.Drv" "$dll" ""
one escaping "$pkgs/escape.Drv" "$dll" "Hostile Receipt|"
check "escaping: nothing above drive C's folder" \
    test -z "$(find "$E2E_WORK" -name 'escaped*' 2>/dev/null)"
one outside "$pkgs/outside.Drv" "$dll" "Hostile Receipt|"
check "outside: nothing placed in the Windows folder" \
    test -z "$(find "$E2E_DRIVE_C/windows" -iname stray.dll 2>/dev/null)"
one huge "$pkgs/huge.Drv" "$dll" ""
one no-dll "$sample" - ""
printf 'not a library\r\n' >"$E2E_WORK/fake.dll"
one fake-dll "$sample" "$E2E_WORK/fake.dll" ""
e2e_summary
