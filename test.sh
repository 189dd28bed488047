#!/usr/bin/env bash
# Builds ハコミル and runs every test: ./test.sh
# With CI=true the build treats warnings as errors and builds the benchmarks, the sources must be
# clang-formatted, the suite runs a second time under AddressSanitizer and
# UndefinedBehaviorSanitizer, the exporter's and the picture intake's tests run under
# ThreadSanitizer, and ./run.sh must build on a fresh Debian 12 tree.
set -euo pipefail
cd "$(dirname "$0")"

scripts/install-deps.sh test
export QT_QPA_PLATFORM=offscreen

if [ "${CI:-}" = "true" ]; then
    scripts/check-format.sh
    presets=(ci asan tsan)
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

# The README's first command on a fresh Debian 12 tree, so that a missing install step shows.
if [ "${CI:-}" = "true" ]; then
    echo "== fresh Debian 12: ./run.sh"
    bash ../shared/tools/fresh-debian.sh run
    passed=$((passed + 1))
fi

echo "== summary: the CTest tests of ${presets[*]}, the fuzz run and, in CI, the fresh tree"
echo "test.sh: $passed passed, 0 failed"
