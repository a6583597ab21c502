# Shared by the package scripts (sourced, POSIX sh, with package_here set to tools/package):
# the host helpers, built from the installer's own sources so that names and checks never drift.
# package_tool NAME: prints the path of stage_tree or unpack, compiling it when stale.

package_root=$(cd "$package_here/../.." && pwd)

_package_fresh() {  # _package_fresh FILE SOURCES...: FILE exists and is newer than each source
    f=$1
    shift
    [ -x "$f" ] || return 1
    for s in "$@"; do [ "$f" -nt "$s" ] || return 1; done
}

package_tool() {
    r=$package_root
    case $1 in
        stage_tree)
            srcs="$package_here/stage_tree.cpp $r/catalog/ModelTables.cpp $r/catalog/ModelTables.h"
            libs= ;;
        unpack)
            srcs="$package_here/unpack.cpp $r/tools/sevenzip/CommandLine.cpp
                $r/tools/sevenzip/DiskProbe.cpp $r/tools/sevenzip/EntryPath.cpp
                $r/tools/sevenzip/Extractor.cpp"
            libs=-larchive ;;
        *) echo "package_tool: unknown tool $1" >&2; return 1 ;;
    esac
    # shellcheck disable=SC2086
    if [ "$1" = stage_tree ] && [ -n "${STAGE_TREE:-}" ]; then
        echo "$STAGE_TREE"
        return 0
    fi
    for t in "$r/build/host/tools/package/$1" "$r/build/package/.tools/$1"; do
        # shellcheck disable=SC2086
        if _package_fresh "$t" $srcs; then
            echo "$t"
            return 0
        fi
    done
    mkdir -p "$r/build/package/.tools"
    t=$r/build/package/.tools/$1
    cpp=
    for s in $srcs; do case $s in *.cpp) cpp="$cpp $s" ;; esac; done
    # shellcheck disable=SC2086
    ${CXX:-g++} -std=c++20 -O1 -Wall -Wextra -Werror -I"$r" $cpp -o "$t.tmp" $libs >&2 || return 1
    mv "$t.tmp" "$t"
    echo "$t"
}
