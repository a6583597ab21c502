#!/usr/bin/env bash
# Builds the fuzz targets with clang and runs each for FUZZ_SECONDS (default 30) from the
# corpus kept in tests/fuzz/corpus; the corpus in the repository is only read. A crash or a
# failed oracle leaves its input in build/fuzz/findings/ and makes the script fail.
set -uo pipefail

repo=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)
build=$repo/build/fuzz
seconds=${FUZZ_SECONDS:-30}
targets=(entry_path_fuzzer extract_fuzzer command_line_fuzzer catalog_fuzzer)

if ! cmake -S "$repo/tests/fuzz" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ >"$build.configure.log" 2>&1; then
    tail -n 30 "$build.configure.log"
    echo "fuzz: configure failed"
    exit 1
fi
cmake --build "$build" || { echo "fuzz: build failed"; exit 1; }

mkdir -p "$build/findings"
# Scratch corpus and the targets' scratch folders; in memory where possible, gone at exit
# even after a crash.
base=/dev/shm
[[ -d $base && -w $base ]] || base=${TMPDIR:-/tmp}
work=$(mktemp -d "$base/thermal-fuzz-run.XXXXXX")
trap 'rm -rf "$work"' EXIT
export FUZZ_SCRATCH=$work/scratch
mkdir -p "$FUZZ_SCRATCH"
failed=()
for t in "${targets[@]}"; do
    mkdir -p "$work/corpus/$t"
    cp "$repo/tests/fuzz/corpus/$t/"* "$work/corpus/$t/"
    log=$build/$t.log
    # New inputs go to the scratch corpus; the seeds are read from the repository.
    "$build/$t" -max_total_time="$seconds" -max_len=16384 -timeout=20 -rss_limit_mb=2048 \
        -artifact_prefix="$build/findings/$t-" -print_final_stats=1 "$work/corpus/$t" >"$log" 2>&1
    rc=$?
    runs=$(grep -o 'stat::number_of_executed_units: *[0-9]*' "$log" | grep -o '[0-9]*$')
    cov=$(grep -o 'cov: [0-9]*' "$log" | tail -n 1)
    echo "fuzz: $t: ${runs:-?} runs in ${seconds} s, ${cov:-cov: ?}, exit $rc"
    if ((rc != 0)); then
        grep -E 'ORACLE|ERROR|SUMMARY|artifact' "$log" | head -n 10
        failed+=("$t")
    fi
done
if ((${#failed[@]})); then
    echo "fuzz: FAILED: ${failed[*]} (inputs in $build/findings)"
    exit 1
fi
echo "fuzz: all targets ran clean"
