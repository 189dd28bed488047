#!/usr/bin/env bash
# Builds the fuzz targets with clang and runs each for a bounded time, seeded with the picture
# corpus in tests/data/pictures: scripts/fuzz.sh [seconds] [target ...]
# The parser targets (the program's own BMP and TIFF readers, JPEG frame walk, PNG chunk walk,
# WebP and TIFF header walks, and colour profile readers) share `seconds` (default 60) between them; the intake target, which decodes,
# fits and paints every input, runs for as long again. Naming targets runs only those, each for
# `seconds`. Fails on any finding; the input that caused it is left in build/fuzz/findings/. Copy it
# into tests/data/pictures so it stays in the corpus for good.
set -euo pipefail
cd "$(dirname "$0")/.."
seconds="${1:-60}"
shift || true
parsers=(fuzz_bmp fuzz_jpeg_frame fuzz_png_chunks fuzz_webp_header fuzz_tiff_header fuzz_tiff_reader
         fuzz_colour_profile)
if [ "$#" -gt 0 ]; then
    targets=("$@")
    share="$seconds"
else
    targets=("${parsers[@]}" fuzz_intake)
    share=$(( (seconds + ${#parsers[@]} - 1) / ${#parsers[@]} ))
fi
# A fixed seed makes the test command's run repeatable; FUZZ_SEED=0 lets libFuzzer pick one.
seed="${FUZZ_SEED:-1}"

cmake --preset fuzz >/dev/null
cmake --build --preset fuzz

findings=build/fuzz/findings
mkdir -p "$findings"
export ASAN_OPTIONS="detect_leaks=1:quarantine_size_mb=16:allocator_may_return_null=1"
export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1"
export LSAN_OPTIONS="suppressions=$PWD/tests/lsan.supp:print_suppressions=0"
export QT_QPA_PLATFORM=offscreen
for target in "${targets[@]}"; do
    time="$share"
    [ "$target" = fuzz_intake ] && [ "$#" -eq 0 ] && time="$seconds"
    work="build/fuzz/corpus/$target"
    log="build/fuzz/last-run-$target.log"
    mkdir -p "$work"
    echo "== fuzz: $target for ${time}s"
    if ! "build/fuzz/fuzz/$target" -max_total_time="$time" -timeout=2 -rss_limit_mb=1024 \
            -max_len=65536 -seed="$seed" -print_final_stats=1 -artifact_prefix="$findings/" \
            "$work" tests/data/pictures > "$log" 2>&1; then
        tail -n 60 "$log"
        echo "fuzz: a finding by $target; the input is in $findings/ (keep it in tests/data/pictures)" >&2
        exit 1
    fi
    runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log")
    rate=$(grep -o 'exec/s: [0-9]*' "$log" | tail -n 1 | tr -dc 0-9)
    echo "$target: ${runs:-?} inputs, ${rate:-?} a second, no finding"
done
echo "fuzz: no finding"
