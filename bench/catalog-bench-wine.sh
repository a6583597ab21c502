#!/usr/bin/env bash
# The catalogue reader's time under Wine (the real profile calls) over the largest catalogue
# files: compiles bench/catalog_bench_win32.cpp for i686 and runs it on a copy of the test prefix.
set -uo pipefail
repo=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
# shellcheck source=tests/e2e/lib.sh
source "$repo/tests/e2e/lib.sh"
exe=$repo/build/bench/catalog_bench_win32.exe
mkdir -p "$(dirname "$exe")"
i686-w64-mingw32-g++-posix -std=c++20 -O2 -Wall -Wextra -Werror -I"$repo" \
    "$repo/bench/catalog_bench_win32.cpp" "$repo/catalog/CatalogFile.cpp" \
    "$repo/platform/win32/Profile.cpp" -static -o "$exe" || exit 1
e2e_prefix || { echo "no Wine prefix" >&2; exit 1; }
e2e_wine 3600 "$exe"
