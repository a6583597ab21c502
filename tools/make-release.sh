#!/usr/bin/env bash
# The technician's release: builds the i686 product and writes build/release/<product>-<version>.zip
# with the installer, the i686 7-zip32.dll and DriverData.Drv side by side, and a short text.
#   bash tools/make-release.sh [--package DriverData.Drv]
# Product name and version come from the version record in res/app.rc. Without --package the
# sample package of tools/package/build-package.sh goes in. Either way the package must pass
# tools/package/check-package.sh.
set -euo pipefail

repo=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
cd "$repo"
package=
while (($#)); do
    case $1 in
        --package) [[ $# -ge 2 ]] || { echo "usage: $0 [--package FILE]" >&2; exit 2; }; package=$2; shift 2 ;;
        *) echo "usage: $0 [--package FILE]" >&2; exit 2 ;;
    esac
done

# record NAME: a string value of the version record.
record() {
    sed -n "s/^ *VALUE \"$1\", \"\\(.*\\)\"\$/\\1/p" res/app.rc | head -n 1
}
product=$(record ProductName)
version=$(record ProductVersion)
if [[ -z $product || ! $version =~ ^[0-9]+(\.[0-9]+)*$ ]]; then
    echo "$0: no ProductName/ProductVersion in the version record of res/app.rc" >&2
    exit 1
fi
stem=${product// /}-$version

bash tools/setup.sh </dev/null
export CMAKE_BUILD_PARALLEL_LEVEL=${CMAKE_BUILD_PARALLEL_LEVEL:-2}
cmake --preset win32 >/dev/null
cmake --build --preset win32
exe=build/win32/DriverInstaller.exe
dll=build/win32/tools/sevenzip/7-zip32.dll
for f in "$exe" "$dll"; do
    [[ -f $f ]] || { echo "$0: $f was not built" >&2; exit 1; }
done

out=build/release
stage=$out/$stem
rm -rf "$stage" "$out/$stem.zip"
mkdir -p "$stage"
if [[ -z $package ]]; then
    bash tools/package/build-package.sh --out "$stage/DriverData.Drv"
else
    cp "$package" "$stage/DriverData.Drv"
fi
bash tools/package/check-package.sh "$stage/DriverData.Drv"
cp "$exe" "$dll" "$stage/"

# The technician's text, with Windows line ends.
sed 's/$/\r/' >"$stage/README.txt" <<EOF
$product $version

What it does
  Installs the driver of a thermal receipt or label printer and adds the printer.
  Start DriverInstaller.exe from this folder: it unpacks DriverData.Drv with 7-zip32.dll
  to C:\\Ticket, C:\\Barcode and C:\\DriverName.cfg, lets you pick the driver, the printer
  name and the port (TCP/IP, parallel, USB or serial), installs, and removes the unpacked
  files again when its window closes.

What it needs
  - Windows with an administrator account: confirm the prompt for administrator rights.
  - The Print Spooler service; the installer starts it when it is stopped, and restarts it
    during the installation.
  - The three files DriverInstaller.exe, 7-zip32.dll and DriverData.Drv in one folder.
  - For USB and serial printers: the printer connected and switched on.
EOF

# Fixed times and order: the same inputs give the same zip.
python3 - "$stage" "$out/$stem.zip" "$stem" <<'PY'
import os, sys, zipfile
stage, target, stem = sys.argv[1:]
with zipfile.ZipFile(target + ".tmp", "w", zipfile.ZIP_DEFLATED) as z:
    for name in sorted(os.listdir(stage)):
        info = zipfile.ZipInfo(f"{stem}/{name}", (2024, 1, 1, 0, 0, 0))
        info.compress_type = zipfile.ZIP_DEFLATED
        info.external_attr = 0o644 << 16
        with open(os.path.join(stage, name), "rb") as f:
            z.writestr(info, f.read())
os.replace(target + ".tmp", target)
PY
rm -rf "$stage"
echo "wrote $out/$stem.zip ($(wc -c <"$out/$stem.zip") bytes)"
