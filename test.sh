#!/usr/bin/env bash
# Builds ハコミル and runs every test: ./test.sh
# With CI=true the build treats warnings as errors, the sources must be clang-formatted, and the
# suite runs a second time under AddressSanitizer and UndefinedBehaviorSanitizer.
set -euo pipefail
cd "$(dirname "$0")"

scripts/install-deps.sh test
export QT_QPA_PLATFORM=offscreen

if [ "${CI:-}" = "true" ]; then
    scripts/check-format.sh
    presets=(ci asan)
else
    presets=(default)
fi

passed=0
for preset in "${presets[@]}"; do
    echo "== build: $preset"
    cmake --preset "$preset" >/dev/null
    cmake --build --preset "$preset"
    echo "== tests: $preset"
    if [ "$preset" = "asan" ]; then
        export ASAN_OPTIONS="detect_leaks=1:abort_on_error=1"
        export LSAN_OPTIONS="suppressions=$PWD/tests/lsan.supp:print_suppressions=0"
        export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1"
    fi
    ctest --preset "$preset" | tee "build/ctest-$preset.log"
    passed=$((passed + $(sed -n 's/.*tests passed, 0 tests failed out of \([0-9]*\).*/\1/p' \
        "build/ctest-$preset.log" | tail -n 1)))
done

# The picture intake under libFuzzer for about a minute, seeded with the picture corpus.
scripts/fuzz.sh 60
passed=$((passed + 1))

echo "== summary: the CTest tests of ${presets[*]}, and the fuzz run"
echo "test.sh: $passed passed, 0 failed"
