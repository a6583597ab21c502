#!/usr/bin/env bash
# Rewrites every recorded call trace (tests/unit/data/traces) from the current code on the host
# build, then shows what changed: read the diff before committing it with the change.
set -euo pipefail

repo=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
cd "$repo"
cmake --preset host >/dev/null
cmake --build --preset host --target unit_tests
rm -f tests/unit/data/traces/*.txt
TRACE_UPDATE=1 build/host/tests/unit_tests --gtest_filter='Flows/CallTraceTest.*' --gtest_brief=1
git status --short -- tests/unit/data/traces
git diff --stat -- tests/unit/data/traces
