#!/usr/bin/env bash
# Builds the intake fuzz target with clang and runs it for a bounded time (default 60 seconds),
# seeded with the picture corpus in tests/data/pictures: scripts/fuzz.sh [seconds]
# Fails on any finding; the input that caused it is left in build/fuzz/findings/. Copy it into
# tests/data/pictures so it stays in the corpus for good.
set -euo pipefail
cd "$(dirname "$0")/.."
seconds="${1:-60}"
# A fixed seed makes the test command's run repeatable; FUZZ_SEED=0 lets libFuzzer pick one.
seed="${FUZZ_SEED:-1}"

cmake --preset fuzz >/dev/null
cmake --build --preset fuzz

work=build/fuzz/corpus
findings=build/fuzz/findings
mkdir -p "$work" "$findings"
export ASAN_OPTIONS="detect_leaks=1:quarantine_size_mb=16:allocator_may_return_null=1"
export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1"
export LSAN_OPTIONS="suppressions=$PWD/tests/lsan.supp:print_suppressions=0"
export QT_QPA_PLATFORM=offscreen
echo "== fuzz: intake for ${seconds}s"
if ! build/fuzz/fuzz/fuzz_intake -max_total_time="$seconds" -timeout=2 -rss_limit_mb=1024 \
        -max_len=65536 -seed="$seed" -print_final_stats=1 -artifact_prefix="$findings/" \
        "$work" tests/data/pictures > build/fuzz/last-run.log 2>&1; then
    tail -n 60 build/fuzz/last-run.log
    echo "fuzz: a finding; the input is in $findings/ (keep it in tests/data/pictures)" >&2
    exit 1
fi
grep -E '^stat::number_of_executed_units|^Done' build/fuzz/last-run.log || true
echo "fuzz: no finding"
