#!/usr/bin/env bash
# Cross-builds liblzma and libarchive as static Windows libraries from Debian's source packages, cached by version.
#
# Usage: build-libarchive.sh [--prefix-only] <i686-w64-mingw32|x86_64-w64-mingw32>
# Prints the install prefix (include/, lib/) as its last line on stdout. With --prefix-only it
# builds nothing and fails when the cache is not there yet.
set -euo pipefail

prefix_only=false
if [[ "${1:-}" == --prefix-only ]]; then
    prefix_only=true
    shift
fi
triplet=${1:-}
case "$triplet" in
i686-w64-mingw32) toolchain=toolchain-i686.cmake ;;
x86_64-w64-mingw32) toolchain=toolchain-x86_64.cmake ;;
*)
    echo "usage: $0 [--prefix-only] <i686-w64-mingw32|x86_64-w64-mingw32>" >&2
    exit 2
    ;;
esac

here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
repo=$(cd "$here/../.." && pwd)
zlib=/usr/$triplet/lib/libz.a

# The binary packages' candidate versions name the sources, so a cache hit needs neither
# deb-src entries nor the network.
versions=$(apt-cache show --no-all-versions libarchive-dev liblzma-dev 2>/dev/null |
    awk '/^Package:/ { p = $2 } /^Version:/ { sub(/\+b[0-9]+$/, "", $2); print p, $2 }')
arch_ver=$(awk '$1 == "libarchive-dev" { print $2 }' <<<"$versions")
xz_ver=$(awk '$1 == "liblzma-dev" { print $2 }' <<<"$versions")
if [[ -z "$arch_ver" || -z "$xz_ver" ]]; then
    echo "error: apt knows no libarchive-dev/liblzma-dev version; run apt-get update" >&2
    exit 1
fi

prefix=${THIRDPARTY_CACHE:-/var/cache/thermal-setup}/$triplet/libarchive-$arch_ver-xz-$xz_ver
if [[ -f "$prefix/.complete" ]]; then
    echo "$prefix"
    exit 0
fi
if $prefix_only; then
    echo "$prefix"
    exit 1
fi

for tool in "$triplet-gcc-posix" dpkg-source cmake; do
    command -v "$tool" >/dev/null || {
        echo "error: $tool not found" >&2
        exit 1
    }
done
[[ -f "$zlib" ]] || {
    echo "error: $zlib missing (apt-get install libz-mingw-w64-dev)" >&2
    exit 1
}

work=$(mktemp -d "${TMPDIR:-/tmp}/thirdparty-$triplet.XXXXXX")
log=$work/build.log
trap 'rm -rf "$work"' EXIT
fail() {
    echo "error: $1 (last lines of $log follow)" >&2
    tail -n 40 "$log" >&2
    trap - EXIT
    echo "work directory kept: $work" >&2
    exit 1
}

# deb-src entries derived from the configured deb entries, kept in a file of our own.
ensure_deb_src() {
    local own=/etc/apt/sources.list.d/thermal-setup-src.sources
    if apt-cache showsrc libarchive 2>/dev/null | grep -q "^Version: $arch_ver$"; then
        return 0
    fi
    if [[ ! -f "$own" ]]; then
        # Each deb paragraph again as deb-src; a second "deb" would only make apt warn about
        # targets configured twice.
        cat /etc/apt/sources.list.d/*.sources | awk -v RS= -v ORS='\n\n' \
            '/(^|\n)Types:[^\n]*deb([ \n]|$)/ { sub(/Types:[^\n]*/, "Types: deb-src"); print }' \
            >"$own.tmp"
        mv "$own.tmp" "$own"
    fi
    apt-get update >>"$log" 2>&1 || fail "apt-get update"
}

# One apt at a time: set-up builds both triplets side by side.
exec 9>"${TMPDIR:-/tmp}/thermal-setup-apt.lock"
flock 9
ensure_deb_src
(cd "$work" && apt-get source --only-source "libarchive=$arch_ver" "xz-utils=$xz_ver") >>"$log" 2>&1 ||
    fail "apt-get source"
flock -u 9

staging=$prefix.partial
rm -rf "$staging"
mkdir -p "$staging/lib" "$staging/include"

xz_src=$(find "$work" -maxdepth 1 -type d -name 'xz-utils-*' | head -n1)
(
    cd "$xz_src"
    ./configure --host="$triplet" --prefix="$staging" --disable-shared --enable-static \
        --disable-xz --disable-xzdec --disable-lzmadec --disable-lzmainfo --disable-lzma-links \
        --disable-scripts --disable-doc --disable-nls --enable-threads=win95 \
        CC="$triplet-gcc-posix"
    make -j"$(nproc)" -C src/liblzma
    make -C src/liblzma install
) >>"$log" 2>&1 || fail "xz build"

# libarchive's one run-time probe (is zlib built with ZLIB_WINAPI) crashes CMake 3.25 when it
# cannot run the test program; an emulator that always fails answers "no", which is right for
# Debian's mingw zlib.
arch_src=$(find "$work" -maxdepth 1 -type d -name 'libarchive-*' | head -n1)
cmake -S "$arch_src" -B "$work/libarchive-build" -G Ninja \
    -DCMAKE_TOOLCHAIN_FILE="$repo/cmake/$toolchain" -DCMAKE_BUILD_TYPE=Release \
    -DCMAKE_INSTALL_PREFIX="$staging" -DBUILD_SHARED_LIBS=OFF \
    -DZLIB_LIBRARY="$zlib" -DZLIB_INCLUDE_DIR="/usr/$triplet/include" \
    -DLIBLZMA_LIBRARY="$staging/lib/liblzma.a" -DLIBLZMA_INCLUDE_DIR="$staging/include" \
    -DENABLE_TEST=OFF -DENABLE_TAR=OFF -DENABLE_CPIO=OFF -DENABLE_CAT=OFF -DENABLE_OPENSSL=OFF \
    -DENABLE_LIBXML2=OFF -DENABLE_EXPAT=OFF -DENABLE_LZ4=OFF -DENABLE_ZSTD=OFF -DENABLE_CNG=OFF \
    -DENABLE_ACL=OFF -DENABLE_ICONV=OFF -DENABLE_BZip2=OFF -DENABLE_LZO=OFF -DENABLE_LIBB2=OFF \
    -DENABLE_MBEDTLS=OFF -DENABLE_NETTLE=OFF -DENABLE_XATTR=OFF -DENABLE_INSTALL=OFF \
    -DCMAKE_CROSSCOMPILING_EMULATOR=/bin/false \
    >>"$log" 2>&1 || fail "libarchive configure"
# Only the static library our archiver links: not the DLL upstream builds beside it (half the
# compile), no tools, no tests.
cmake --build "$work/libarchive-build" -j"$(nproc)" --target archive_static >>"$log" 2>&1 ||
    fail "libarchive build"
static=$(find "$work/libarchive-build" -name 'libarchive_static.a' -o -name 'libarchive.a' | head -n1)
[[ -n "$static" ]] || fail "no static libarchive produced"
cp "$static" "$staging/lib/libarchive.a"
cp "$arch_src/libarchive/archive.h" "$arch_src/libarchive/archive_entry.h" "$staging/include/"
cp "$zlib" "$staging/lib/libz.a"
rm -rf "$staging/bin" "$staging/share" "$staging/lib/pkgconfig" "$staging/lib"/*.la \
    "$staging/lib"/*.dll.a
touch "$staging/.complete"

rm -rf "$prefix"
mv "$staging" "$prefix"
echo "$prefix"
