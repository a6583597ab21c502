#!/bin/sh
# Builds the driver package DriverData.Drv (a 7z archive) from a staging tree laid out as on C:\.
set -eu

usage() {
    echo "usage: $0 [--stage DIR] [--out FILE] [--monitor32 DLL] [--monitor64 DLL] [--no-check]" >&2
    exit 2
}

here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/../.." && pwd)
stage= out="$root/build/package/DriverData.Drv" mon32= mon64= check=1

while [ $# -gt 0 ]; do
    case $1 in
        --stage) [ $# -ge 2 ] || usage; stage=$2; shift 2 ;;
        --out) [ $# -ge 2 ] || usage; out=$2; shift 2 ;;
        --monitor32) [ $# -ge 2 ] || usage; mon32=$2; shift 2 ;;
        --monitor64) [ $# -ge 2 ] || usage; mon64=$2; shift 2 ;;
        --no-check) check=0; shift ;;
        *) usage ;;
    esac
done

command -v 7z >/dev/null || { echo "$0: the 7z command (p7zip-full) is needed" >&2; exit 1; }

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT INT TERM

# The tables live in the installer's sources; the tool is built from them so names never drift.
package_here=$here
. "$here/lib.sh"
tool=$(package_tool stage_tree)

tree="$work/tree"
if [ -n "$stage" ]; then
    [ -d "$stage" ] || { echo "$0: no staging directory $stage" >&2; exit 1; }
    mkdir "$tree"
    cp -R "$stage/." "$tree/"
else
    # Our own monitor builds stand in for the label package's monitor when they exist.
    [ -n "$mon32" ] || [ ! -f "$root/build/win32/tools/monitor/qlvMONNT.dll" ] ||
        mon32="$root/build/win32/tools/monitor/qlvMONNT.dll"
    [ -n "$mon64" ] || [ ! -f "$root/build/win64/tools/monitor/qlvMON64.dll" ] ||
        mon64="$root/build/win64/tools/monitor/qlvMON64.dll"
    "$tool" write "$tree"
    echo "synthetic staging tree (monitors: ${mon32:-placeholder}, ${mon64:-placeholder})"
fi
# Given monitors replace row 1 of the label lists, also in a maker's tree.
[ -z "$mon32" ] || cp "$mon32" "$tree/Barcode/x86/qlvMONNT.dll"
[ -z "$mon64" ] || cp "$mon64" "$tree/Barcode/x64/qlvMON64.dll"

if [ "$check" = 1 ] && ! "$tool" check "$tree"; then
    echo "$0: ${stage:-the synthetic tree} does not hold what the model tables name" \
        "(--no-check packages it anyway)" >&2
    exit 1
fi

# Same input, same bytes: fixed modes and times, no creation or access times, one thread.
# Plain LZMA2 without the executable filters, so that any 7z reader can unpack it.
chmod -R u=rwX,go=rX "$tree"
find "$tree" -exec touch -h -d '2024-01-01 00:00:00 UTC' {} +
archive="$work/DriverData.Drv"
(cd "$tree" && LC_ALL=C 7z a -t7z -mx=9 -mf=off -mmt=1 -mtc=off -mta=off -mtm=on -bd -bso0 -bsp0 \
    "$archive" -- $(ls -A | LC_ALL=C sort))

mkdir -p "$(dirname "$out")"
mv -f "$archive" "$out"
echo "wrote $out ($(wc -c <"$out") bytes)"
