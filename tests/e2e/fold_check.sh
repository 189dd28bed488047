#!/usr/bin/env bash
# The sheet folded by a checker of its own, apart from the program's model of the box:
#   fold_check.sh <build folder>
# Makes three pictures that show a turn, a mirror or a move (colour ramps with a white corner),
# has the exporter make their sheet, and has tests/e2e/fold_sheet.py fold it as paper folds: its
# own cubes, tabs and states must check out (--net), and 絵A, 絵B and 絵C must each come out whole
# on a face of the box.
set -euo pipefail
build="$1"
here="$(cd "$(dirname "$0")" && pwd)"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

python3 "$here/fold_sheet.py" --net >"$work/net.txt" || { cat "$work/net.txt"; exit 1; }
for slot in a:red:blue b:green:yellow c:navy:orange; do
    IFS=: read -r name from to <<<"$slot"
    convert -size 400x400 "gradient:$from-$to" -rotate 90 \
        \( -size 400x400 gradient:black-white \) -compose blend -define compose:args=50 -composite \
        -fill white -draw 'rectangle 0,0 59,59' -type TrueColor "BMP3:$work/$name.bmp"
done
"$build/src/cli/hakomiru-sheet" -a "$work/a.bmp" -b "$work/b.bmp" -c "$work/c.bmp" \
    -o "$work/sheet.bmp"
python3 "$here/fold_sheet.py" "$work/sheet.bmp" "$work/a.bmp" "$work/b.bmp" "$work/c.bmp" \
    >"$work/faces.txt" || { cat "$work/faces.txt"; exit 1; }
cat "$work/faces.txt"
for picture in A B C; do
    grep -q "^picture $picture: WHOLE" "$work/faces.txt" || { echo "FAIL: 絵$picture is not whole"; exit 1; }
done
