#!/usr/bin/env bash
# Builds the serial shim for both loaders into <dir>/lib/x86_64-linux-gnu/shim.so and
# <dir>/lib/i386-linux-gnu/shim.so, the directories the dynamic loader's $LIB names on this
# system; use it as LD_PRELOAD='<dir>/$LIB/shim.so' (single quotes: the loader expands $LIB).
set -euo pipefail
out=${1:?usage: build.sh <dir>}
src=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)/shim.c
mkdir -p "$out/lib/x86_64-linux-gnu" "$out/lib/i386-linux-gnu"
gcc -O2 -Wall -Wextra -Werror -shared -fPIC -o "$out/lib/x86_64-linux-gnu/shim.so" "$src" -ldl
gcc -m32 -O2 -Wall -Wextra -Werror -shared -fPIC -o "$out/lib/i386-linux-gnu/shim.so" "$src" -ldl
