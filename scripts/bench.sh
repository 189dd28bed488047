#!/usr/bin/env bash
# Builds the release configuration and measures: scripts/bench.sh
# 1. the benchmarks (conversion, opening photos, saving, printing a page), with the ratios to
#    their yardsticks measured in the same run;
# 2. the peak resident memory of the exporter opening one 48-megapixel JPEG into a slot.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh test
cmake --preset bench >/dev/null
cmake --build --preset bench --target hakomiru_bench hakomiru-sheet

echo "Machine: $(nproc) cores, $(grep -m1 'model name' /proc/cpuinfo | cut -d: -f2 | sed 's/^ //')"
QT_QPA_PLATFORM=offscreen build/bench/bench/hakomiru_bench --benchmark_color=no "$@"

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
# A photo-like 8000 x 6000 JPEG: a gradient under fine noise.
convert -size 8000x6000 gradient:'#d07040-#3060a0' -attenuate 0.4 +noise Gaussian -quality 90 \
    "$work/photo.jpg"
/usr/bin/time -v build/bench/src/cli/hakomiru-sheet -a "$work/photo.jpg" -o "$work/sheet.bmp" \
    2> "$work/time.txt"
peak_kib=$(grep 'Maximum resident set size' "$work/time.txt" | awk '{print $NF}')
peak_mb=$((peak_kib / 1024))
verdict=$([ "$peak_mb" -lt 150 ] && echo met || echo MISSED)
printf '%-52s %6d MB  (target under 150 MB: %s)\n' \
    "peak memory, exporter with one 48 MP JPEG" "$peak_mb" "$verdict"
