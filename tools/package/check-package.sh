#!/bin/sh
# The maker's check of a finished driver package: unpacks it with our archiver into a temporary
# folder and checks it against the installer's model tables. Prints each missing or bad item on
# its own line (with the models that need it) and exits 1; exits 0 when the package is complete.
set -eu

[ $# -eq 1 ] || { echo "usage: $0 PACKAGE" >&2; exit 2; }
package=$1
[ -f "$package" ] || { echo "$0: no package $package" >&2; exit 2; }

package_here=$(cd "$(dirname "$0")" && pwd)
. "$package_here/lib.sh"
stage_tree=$(package_tool stage_tree)
unpack=$(package_tool unpack)

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT INT TERM
mkdir "$work/tree"

status=0
"$unpack" "$package" "$work/tree" >"$work/unpack.log" 2>&1 || status=$?
problems=0
if [ "$status" -ne 0 ]; then
    # The archiver's own reasons: entries it refused (names leaving the folder, devices, links
    # out), damaged or cut data.
    grep -E '^(Refused|Removed|Could not remove|Data error|Cannot|Command line error)' \
        "$work/unpack.log" | sed 's/^/archive: /' || true
    n=$(grep -cE '^(Refused|Removed|Could not remove|Data error|Cannot|Command line error)' \
        "$work/unpack.log" || true)
    [ "$n" -gt 0 ] || { echo "archive: cannot be unpacked (result $status)"; n=1; }
    problems=$n
fi
if ! "$stage_tree" check "$work/tree" 2>&1; then
    problems=$((problems + 1))
fi
if [ "$problems" -ne 0 ]; then
    echo "$package: NOT complete"
    exit 1
fi
echo "$package: complete"
