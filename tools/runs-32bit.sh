#!/usr/bin/env bash
# Exits 1 when this kernel cannot run 32-bit programs (built without them, or with them turned
# off), 0 otherwise. Only an exec format error proves it: anything else counts as running.
probe=$(mktemp -d "${TMPDIR:-/tmp}/probe32.XXXXXX") || exit 0
trap 'rm -rf "$probe"' EXIT
echo 'int main(void) { return 0; }' >"$probe/p.c"
gcc -m32 "$probe/p.c" -o "$probe/p" 2>/dev/null || exit 0
"$probe/p" 2>/dev/null
(($? != 126))
