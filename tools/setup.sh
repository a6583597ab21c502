#!/usr/bin/env bash
# Machine set-up for building and testing on Debian 12 (as root); idempotent, seconds when done before.
set -euo pipefail

repo=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
packages=(
    cmake ninja-build g++ googletest libgtest-dev libarchive-dev p7zip-full
    g++-mingw-w64-i686 g++-mingw-w64-x86-64 mingw-w64-tools binutils-mingw-w64 libz-mingw-w64-dev
    wine wine32:i386 wine64 xvfb xdotool imagemagick x11-apps fonts-liberation socat gcc-multilib
    dpkg-dev clang-format clang libclang-rt-14-dev
    python3 procps
)

installed() {
    [[ $(dpkg-query -W -f='${Status}' "$1" 2>/dev/null) == "install ok installed" ]]
}

as_root() {
    if [[ $(id -u) -ne 0 ]]; then
        echo "setup: $1 needs root; run: sudo bash tools/setup.sh" >&2
        exit 1
    fi
}

log=$(mktemp "${TMPDIR:-/tmp}/setup.XXXXXX")
trap 'rm -f "$log" "$log".*' EXIT
quietly() {
    if ! "$@" >"$log" 2>&1 </dev/null; then
        echo "setup: failed: $*" >&2
        tail -n 40 "$log" >&2
        exit 1
    fi
}

need_update=0
if ! dpkg --print-foreign-architectures | grep -qx i386; then
    as_root "adding the i386 architecture (for wine32)"
    quietly dpkg --add-architecture i386
    need_update=1
fi

missing=()
for p in "${packages[@]}"; do
    installed "$p" || missing+=("$p")
done

if ((${#missing[@]})); then
    as_root "installing ${missing[*]}"
    echo "setup: installing ${missing[*]}"
    need_update=1
fi
# Package lists are only refreshed when something must be installed: a finished machine
# needs no network.
if ((need_update)); then
    export DEBIAN_FRONTEND=noninteractive
    quietly apt-get update -q
    if ((${#missing[@]})); then
        quietly apt-get install -y -q "${missing[@]}"
    fi
fi

libarchive=$repo/tools/thirdparty/build-libarchive.sh
if [[ -f "$libarchive" ]]; then
    # The two cross-builds side by side: their configure steps run one core each.
    declare -A builds=()
    for triplet in i686-w64-mingw32 x86_64-w64-mingw32; do
        # Cached by version outside the checkout: a no-op after the first run.
        bash "$libarchive" "$triplet" </dev/null >"$log.$triplet" 2>&1 &
        builds[$triplet]=$!
    done
    for triplet in "${!builds[@]}"; do
        if ! wait "${builds[$triplet]}"; then
            echo "setup: libarchive for $triplet failed" >&2
            tail -n 40 "$log.$triplet" >&2
            exit 1
        fi
        echo "setup: libarchive for $triplet in $(tail -n 1 "$log.$triplet")"
    done
else
    echo "setup: notice: tools/thirdparty/build-libarchive.sh not present, mingw libarchive skipped"
fi
echo "setup: done"
