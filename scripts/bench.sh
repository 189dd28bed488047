#!/usr/bin/env bash
# Builds the release configuration and measures: scripts/bench.sh
# 1. the benchmarks (conversion, opening photos, saving, printing a page), with the ratios to
#    their yardsticks measured in the same run;
# 2. the peak resident memory of the exporter opening one 48-megapixel JPEG into a slot, a
#    progressive one and a 108-megapixel progressive one (against their coefficient buffers), an
#    A4 page scanned at 600 dpi as a BMP, and the time and memory it takes to refuse a JPEG, a
#    WebP, a TIFF, a HEIC and an AVIF whose headers claim far more than their bytes hold;
# 3. the time and peak memory of the sharp outputs (PDF page, SVG drawing, large sheet) made from
#    three 24-megapixel JPEGs.
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

# peak LABEL TARGET_MB FILE: the exporter's peak memory with FILE as 絵A, against a target.
peak() {
    /usr/bin/time -v build/bench/src/cli/hakomiru-sheet -a "$3" -o "$work/sheet.bmp" \
        2> "$work/time.txt" || true
    local kib seconds mb
    kib=$(grep 'Maximum resident set size' "$work/time.txt" | awk '{print $NF}')
    seconds=$(grep 'Elapsed (wall clock)' "$work/time.txt" | awk '{print $NF}')
    mb=$((kib / 1024))
    printf '%-52s %6d MB in %ss  (target under %d MB: %s)\n' "$1" "$mb" "$seconds" "$2" \
        "$([ "$mb" -lt "$2" ] && echo met || echo MISSED)"
}
# progressive LABEL WIDTH HEIGHT: the exporter's peak memory with a progressive JPEG (4:2:0) as
# 絵A, against the coefficient buffer the JPEG library keeps for it: width x height x 1.5
# components x 2 bytes. The photo is made in three bands, each within ImageMagick's limits.
progressive() {
    local w=$2 h=$3 band
    {
        printf 'P6\n%d %d\n255\n' "$w" "$h"
        for band in '#d07040-#a06870' '#a06870-#70608a' '#70608a-#3060a0'; do
            convert -size "${w}x$((h / 3))" gradient:"$band" -attenuate 0.4 +noise Gaussian \
                -depth 8 rgb:-
        done
    } | cjpeg -progressive -quality 90 -outfile "$work/progressive.jpg"
    /usr/bin/time -v build/bench/src/cli/hakomiru-sheet -a "$work/progressive.jpg" \
        -o "$work/sheet.bmp" 2> "$work/time.txt"
    rm "$work/progressive.jpg"
    local kib over_kib
    kib=$(grep 'Maximum resident set size' "$work/time.txt" | awk '{print $NF}')
    over_kib=$((kib - w * h * 3 / 1024))
    printf '%-52s %6d MB = buffer %d MB + %d.%d MB  (target at most + 40 MB: %s)\n' "$1" \
        "$((kib / 1024))" "$((w * h * 3 >> 20))" "$((over_kib / 1024))" \
        "$((over_kib % 1024 * 10 / 1024))" "$([ "$over_kib" -le 40960 ] && echo met || echo MISSED)"
}
progressive "peak memory, 48 MP progressive JPEG" 8000 6000
progressive "peak memory, 108 MP progressive JPEG" 12000 9000
convert -size 4960x7016 gradient:'#d07040-#3060a0' -attenuate 0.3 +noise Gaussian \
    -type TrueColor BMP3:"$work/scan.bmp"
peak "peak memory, A4 scanned at 600 dpi (24-bit BMP)" 512 "$work/scan.bmp"
# Refused, within a second (the time is printed beside the memory).
peak "refusing a JPEG claiming 49157 x 27397 in 560 bytes" 100 \
    tests/data/pictures/jpeg-progressive-49157x27397.jpg
# Files of a few hundred bytes claiming 100000 x 100000 (60000 x 60000, within what libheif takes
# at all), refused within 0.1 s.
for claim in webp-100000x100000.webp tiff-100000x100000.tif avif-100000x100000.avif \
        avif-60000x60000.avif heic-grid-100000x100000.heic; do
    peak "refusing $claim ($(stat -c %s tests/data/pictures/$claim) bytes)" 50 \
        "tests/data/pictures/$claim"
done

# sharp LABEL TARGET_MB ARGS...: the exporter's peak memory and time making a sharp output of three
# 24 MP photos (6000 x 4000 JPEGs), against a target.
for n in 1 2 3; do
    convert -size 6000x4000 gradient:"#d07040-#30${n}0a0" -attenuate 0.4 +noise Gaussian \
        -quality 90 "$work/photo$n.jpg"
done
sharp() {
    local label=$1 target=$2
    shift 2
    /usr/bin/time -v build/bench/src/cli/hakomiru-sheet -a "$work/photo1.jpg" \
        -b "$work/photo2.jpg" -c "$work/photo3.jpg" "$@" 2> "$work/time.txt"
    local kib seconds mb
    kib=$(grep 'Maximum resident set size' "$work/time.txt" | awk '{print $NF}')
    seconds=$(grep 'Elapsed (wall clock)' "$work/time.txt" | awk '{print $NF}')
    mb=$((kib / 1024))
    printf '%-52s %6d MB in %ss  (target under %d MB: %s)\n' "$label" "$mb" "$seconds" "$target" \
        "$([ "$mb" -lt "$target" ] && echo met || echo MISSED)"
}
sharp "three 24 MP JPEGs: --pdf A3 landscape, 300 dpi" 250 --paper A3 --pdf "$work/p.pdf"
ls -l "$work/p.pdf" | awk '{printf "%-52s %6.1f MB\n", "  its file", $5 / 1048576}'
sharp "three 24 MP JPEGs: --pdf A3 landscape, 600 dpi" 512 --paper A3 --dpi 600 \
    --pdf "$work/p.pdf"
ls -l "$work/p.pdf" | awk '{printf "%-52s %6.1f MB\n", "  its file", $5 / 1048576}'
sharp "three 24 MP JPEGs: --svg A3 landscape, 300 dpi" 250 --paper A3 --svg "$work/s.svg"
sharp "three 24 MP JPEGs: --svg A3 landscape, 600 dpi" 512 --paper A3 --dpi 600 \
    --svg "$work/s.svg"
sharp "three 24 MP JPEGs: -o --scale 4 (6808 x 5208 PNG)" 512 --scale 4 -o "$work/big.png"
