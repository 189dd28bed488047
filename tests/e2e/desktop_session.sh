#!/usr/bin/env bash
# A person's session with the installed program on a real X server, driven from outside:
#   desktop_session.sh <build folder> <screenshot folder>
# Installs the build into a temporary prefix, starts Xvfb (no window manager) and the installed
# program, opens 絵A with its button and the file dialog, pastes 絵B from the clipboard through
# the edit menu, cancels the paste question of a right-click (titled exactly 確認), opens 絵C,
# converts, and saves the sheet through the result window's menu. The saved BMP must equal, pixel
# for pixel, the sheet that the installed exporter `hakomiru-sheet -a A -b B -c C -o FILE` makes
# from the same pictures. Then the result window, smaller than the sheet, is scrolled with the
# keys, the wheel and Shift+wheel: it must show the saved sheet moved by exactly as much, and
# もどる, unmoved, must bring the main window back. Back in the main window, 絵A's preview is
# dragged and 絵C's zoomed with the wheel; the next sheet must equal the exporter's with the same
# views (--view-a, --view-c). Last, Ctrl+B opens the box window, which must draw the folded box
# and turn it when A is pressed. Screenshots of the main window (before and after the views
# changed), the result window and the box window go to the screenshot folder.
# Exit code 77 (skipped) when Xvfb, xdotool or xclip is not installed.
set -euo pipefail

build="$1"
shots="$2"

for tool in Xvfb xdotool xclip; do
    command -v "$tool" >/dev/null || { echo "$tool is not installed"; exit 77; }
done
for tool in xwininfo xprop convert compare identify import; do
    command -v "$tool" >/dev/null || { echo "FAIL: $tool is needed (x11-utils, imagemagick)"; exit 1; }
done

deadline=$((SECONDS + 120))
work=$(mktemp -d)
xvfb_pid=""
xclip_pid=""
program_pid=""
cleanup() {
    for pid in "$program_pid" "$xclip_pid"; do
        [ -n "$pid" ] && kill "$pid" 2>/dev/null || true
    done
    if [ -n "$xvfb_pid" ]; then
        kill "$xvfb_pid" 2>/dev/null || true
        wait "$xvfb_pid" 2>/dev/null || true
    fi
    rm -rf "$work"
}
trap cleanup EXIT

fail() {
    echo "FAIL: $*" >&2
    if [ -s "$work/program.log" ]; then
        echo "--- program output" >&2
        tail -n 40 "$work/program.log" >&2
    fi
    if [ -n "$xvfb_pid" ]; then
        timeout 20 import -window root "$shots/failure.png" 2>/dev/null &&
            echo "screen at the failure: $shots/failure.png" >&2
    fi
    exit 1
}

# Fails when the program has ended on its own (a crash, or a sanitizer's report).
check_program() {
    if [ -n "$program_pid" ] && ! kill -0 "$program_pid" 2>/dev/null; then
        program_pid=""
        fail "the program ended by itself"
    fi
}

step() {
    echo "== $*"
    check_program
    [ "$SECONDS" -le "$deadline" ] || fail "the session took longer than 120 s (at: $*)"
}

# Waits until `condition` (a command) succeeds, polling; fails with `what` at the deadline.
wait_for() {
    local what="$1"
    shift
    until "$@"; do
        check_program
        [ "$SECONDS" -le "$deadline" ] || fail "timed out waiting for $what"
        sleep 0.2
    done
}

# xdotool with a time limit, so that no single step can hang the session.
xdo() {
    timeout 10 xdotool "$@"
}

# Visible windows of the program, one id a line.
program_windows() {
    xdo search --onlyvisible --pid "$program_pid" 2>/dev/null | sort || true
}

# Prints the id of a visible window of the program that is not among `known` (ids, one a line)
# and is larger than a tooltip or a menu.
new_window() {
    local known="$1" id
    for id in $(program_windows); do
        grep -qx "$id" <<<"$known" && continue
        eval "$(xdo getwindowgeometry --shell "$id")"
        if [ "$WIDTH" -gt 300 ] && [ "$HEIGHT" -gt 200 ]; then
            echo "$id"
            return 0
        fi
    done
    return 1
}

wait_new_window() {
    local what="$1" known="$2" id=""
    until id=$(new_window "$known"); do
        check_program
        [ "$SECONDS" -le "$deadline" ] || fail "timed out waiting for $what"
        sleep 0.2
    done
    echo "$id"
}

# Clicks at (x, y) of the client area below the menu bar of window `id`.
click_client() {
    local id="$1" x="$2" y="$3" menu_bar="$4"
    xdo mousemove --window "$id" "$x" $((y + menu_bar)) click 1
}

# Opens the first menu of window `id`'s menu bar with a click on its title.
open_first_menu() {
    local id="$1" menu_bar="$2"
    xdo mousemove --window "$id" 12 $((menu_bar / 2)) click 1
    sleep 0.5
}

# Types a path into the file dialog `dialog` and presses Enter; waits until the dialog is gone.
answer_file_dialog() {
    local dialog="$1" path="$2"
    xdo windowfocus --sync "$dialog" 2>/dev/null || xdo windowfocus "$dialog" ||
        fail "cannot give the file dialog the keyboard focus"
    sleep 0.3
    xdo type --delay 15 "$path"
    xdo key Return
    wait_for "the file dialog to close" bash -c "! xwininfo -id $dialog 2>/dev/null | grep -q 'Map State: IsViewable'"
}

mkdir -p "$shots"

step "installing the build into a temporary prefix"
prefix="$work/prefix"
cmake --install "$build" --prefix "$prefix" >"$work/install.log" 2>&1 ||
    { cat "$work/install.log"; fail "cmake --install failed"; }
sheet_maker="$prefix/bin/hakomiru-sheet"
[ -x "$prefix/bin/hakomiru" ] || fail "the install has no bin/hakomiru"
[ -x "$sheet_maker" ] || fail "the install has no bin/hakomiru-sheet"

step "making the pictures"
# 絵A: a landscape BMP; 絵B: a square PNG (the same fit whether pasted or opened); 絵C: a large
# portrait JPEG, decoded at a reduced size.
pictures="$work/pictures"
mkdir -p "$pictures"
convert -size 400x300 gradient:'#ff9040-#3060ff' -fill white -draw 'circle 200,150 200,70' \
    -fill '#208020' -draw 'rectangle 20,20 110,80' -type TrueColor "BMP3:$pictures/a.bmp"
convert -size 240x240 xc:'#fff4c0' -fill '#e03030' -draw 'polygon 120,20 220,200 20,200' \
    -fill '#3030c0' -draw 'circle 60,60 60,30' "PNG24:$pictures/b.png"
convert -size 900x1200 gradient:'#40c0a0-#602080' -fill '#ffe040' -draw 'circle 450,400 450,150' \
    -fill '#ffffff' -draw 'rectangle 100,900 800,1100' -quality 92 "$pictures/c.jpg"

step "starting Xvfb"
# Xvfb picks a free display itself and writes its number to descriptor 3.
Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp 3>"$work/display" >"$work/xvfb.log" 2>&1 &
xvfb_pid=$!
wait_for "Xvfb to start" test -s "$work/display"
export DISPLAY=":$(head -n 1 "$work/display")"
export QT_QPA_PLATFORM=xcb
unset WAYLAND_DISPLAY QT_QPA_PLATFORMTHEME
export XDG_RUNTIME_DIR="$work/runtime"
mkdir -m 700 "$XDG_RUNTIME_DIR"

step "starting the installed program"
"$prefix/bin/hakomiru" >"$work/program.log" 2>&1 &
program_pid=$!
main=$(wait_new_window "the main window" "")
[ "$(xdo getwindowname "$main")" = "ハコミル" ] || fail "the main window is titled '$(xdo getwindowname "$main")'"
eval "$(xdo getwindowgeometry --shell "$main")"
main_bar=$((HEIGHT - 318))
[ "$WIDTH" -eq 507 ] && [ "$main_bar" -gt 0 ] ||
    fail "the main window is ${WIDTH}x${HEIGHT}, expected a 507 x 318 client area below a menu bar"
# The window icon is the program's picture in the installed sizes; Qt's xcb binding hands the
# window system those up to 128 pixels.
icon_sizes=$(xprop -id "$main" _NET_WM_ICON 2>/dev/null | grep -o 'Icon ([0-9]* x [0-9]*)' | tr '\n' ' ')
for side in 16 24 32 48 64 128; do
    grep -qF "Icon ($side x $side)" <<<"$icon_sizes" ||
        fail "the main window offers no $side-pixel icon (it offers: $icon_sizes)"
done
sleep 0.5

step "opening 絵A with its button"
known=$(program_windows)
click_client "$main" 92 20 "$main_bar"
dialog=$(wait_new_window "the open dialog for 絵A" "$known")
answer_file_dialog "$dialog" "$pictures/a.bmp"

step "pasting 絵B from the clipboard through へんしゅう > 絵Bにはりつけ"
xclip -quiet -selection clipboard -t image/png -i "$pictures/b.png" >/dev/null 2>&1 &
xclip_pid=$!
wait_for "xclip to own the clipboard" \
    bash -c "xclip -o -selection clipboard -t TARGETS 2>/dev/null | grep -q image/png"
open_first_menu "$main" "$main_bar"
# Right moves to the edit menu with its first item (絵Aにはりつけ) active.
xdo key Right
sleep 0.3
xdo key Down
sleep 0.2
xdo key Return
sleep 0.5

step "the paste question of a right-click on 絵B, titled exactly 確認, answered with Escape"
# Each window's title is its caption alone; nothing is appended to it.
question_id() {
    local id
    for id in $(program_windows); do
        [[ "$(xdo getwindowname "$id" 2>/dev/null)" == *確認* ]] && { echo "$id"; return 0; }
    done
    return 1
}
xdo mousemove --window "$main" 248 $((112 + main_bar)) click 3
wait_for "the paste question" question_id
question=$(question_id)
[ "$(xdo getwindowname "$question")" = "確認" ] ||
    fail "the paste question is titled '$(xdo getwindowname "$question")', expected '確認'"
xdo windowfocus --sync "$question" 2>/dev/null || xdo windowfocus "$question" || true
sleep 0.3
xdo key Escape
wait_for "the paste question to close" bash -c "! xwininfo -id $question 2>/dev/null | grep -q 'Map State: IsViewable'"

step "opening 絵C with its button"
known=$(program_windows)
click_client "$main" 396 20 "$main_bar"
dialog=$(wait_new_window "the open dialog for 絵C" "$known")
answer_file_dialog "$dialog" "$pictures/c.jpg"
sleep 0.5
timeout 20 import -window "$main" "$shots/main-window.png" || fail "no screenshot of the main window"

step "converting with 変換"
known=$(program_windows)
click_client "$main" 308 280 "$main_bar"
result=$(wait_new_window "the result window" "$known")
[ "$(xdo getwindowname "$result")" = "ハコミル" ] || fail "the result window is titled '$(xdo getwindowname "$result")'"
eval "$(xdo getwindowgeometry --shell "$result")"
result_bar=$((HEIGHT - 577))
[ "$result_bar" -gt 0 ] || fail "the result window is ${WIDTH}x${HEIGHT}, expected a 777 x 577 client area below a menu bar"
# The pieces are placed and the lines drawn after the window is first shown.
sleep 2
timeout 20 import -window "$result" "$shots/result-window.png" || fail "no screenshot of the result window"

# Saves the sheet of the result window $1 as $2 through ファイル > 名前をつけて　ほぞん.
save_sheet() {
    local result="$1" path="$2" known dialog
    known=$(program_windows)
    open_first_menu "$result" "$result_bar"
    xdo key Down
    sleep 0.2
    xdo key Return
    dialog=$(wait_new_window "the save dialog" "$known")
    answer_file_dialog "$dialog" "$path"
    wait_for "the saved sheet" test -s "$path"
}

# The saved sheet $1 must equal, pixel for pixel, the sheet hakomiru-sheet makes with the options
# that follow.
equals_exported_sheet() {
    local saved="$1" width height differing
    shift
    "$sheet_maker" -a "$pictures/a.bmp" -b "$pictures/b.png" -c "$pictures/c.jpg" "$@" \
        -o "$work/expected.bmp" || fail "$sheet_maker could not make the sheet"
    read -r width height < <(identify -format '%w %h\n' "$saved")
    [ "$width $height" = "1702 1302" ] || fail "the saved sheet is ${width}x${height}, expected 1702x1302"
    differing=$(compare -metric AE "$saved" "$work/expected.bmp" null: 2>&1 || true)
    if [ "$differing" != "0" ]; then
        compare "$saved" "$work/expected.bmp" "$shots/difference.png" 2>/dev/null || true
        fail "the saved sheet differs from the sheet of hakomiru-sheet $* in $differing pixels (see $shots/difference.png)"
    fi
    echo "the saved sheet equals the sheet of hakomiru-sheet $*, pixel for pixel"
}

step "saving through 名前をつけて　ほぞん"
saved="$work/saved sheet.bmp"
save_sheet "$result" "$saved"

step "comparing with the sheet of hakomiru-sheet"
equals_exported_sheet "$saved"

step "scrolling the sheet beneath もどる with the keys, the wheel and Shift+wheel"
# The client area in screenshot $1 must show the saved sheet scrolled by ($2, $3).
shows_sheet_at() {
    convert "$1" -crop "600x440+100+$((60 + result_bar))" +repage "$work/shown.png"
    convert "$saved" -crop "600x440+$((100 + $2))+$((60 + $3))" +repage "$work/sheet.png"
    [ "$(compare -metric AE "$work/shown.png" "$work/sheet.png" null: 2>&1 || true)" = "0" ] ||
        fail "the result window does not show the sheet scrolled by ($2, $3)"
}
# もどる at (8, 16), 81 x 33, without its corners (the sheet shows through them).
back_button() { convert "$1" -crop "77x29+10+$((18 + result_bar))" +repage "$1.back.png"; }
xdo windowfocus --sync "$result" 2>/dev/null || xdo windowfocus "$result" || true
sleep 0.5
timeout 20 import -window "$result" "$work/unscrolled.png" || fail "no screenshot of the result window"
shows_sheet_at "$work/unscrolled.png" 0 0
# もどる has the focus. An arrow scrolls 20 pixels, a wheel notch three times as many.
xdo key --delay 50 Right Down Down
xdo mousemove --window "$result" 400 $((300 + result_bar)) click --repeat 2 --delay 50 5
xdo keydown shift click 5 keyup shift
sleep 0.5
timeout 20 import -window "$result" "$work/scrolled.png" || fail "no screenshot of the result window"
shows_sheet_at "$work/scrolled.png" 80 160
back_button "$work/unscrolled.png"
back_button "$work/scrolled.png"
[ "$(compare -metric AE "$work/unscrolled.png.back.png" "$work/scrolled.png.back.png" null: 2>&1 || true)" = "0" ] ||
    fail "もどる moved or changed while the sheet scrolled"
click_client "$result" 48 32 "$result_bar"
wait_for "もどる to hide the result window" bash -c "! xwininfo -id $result | grep -q 'Map State: IsViewable'"
xwininfo -id "$main" | grep -q 'Map State: IsViewable' || fail "もどる did not bring the main window back"

step "dragging 絵A 30 pixels to the right and zooming 絵C one wheel notch"
# 絵A's preview is at (24, 40) of the client area, 絵C's at (328, 40), both 145 pixels. The drag
# goes in steps, the first within a click's wobble; 30 preview pixels are 101 of the source box.
# The notch at the centre of 絵C zooms 1.25 times about it.
xdo mousemove --window "$main" 80 $((112 + main_bar)) mousedown 1
for x in 84 95 105 110; do
    xdo mousemove --window "$main" "$x" $((112 + main_bar))
    sleep 0.1
done
xdo mouseup 1
xdo mousemove --window "$main" $((328 + 72)) $((40 + 72 + main_bar)) click 4
sleep 0.5
timeout 20 import -window "$main" "$shots/main-window-views.png" || fail "no screenshot of the main window"
known=$(program_windows)
click_client "$main" 308 280 "$main_bar"
result=$(wait_new_window "the result window" "$known")
sleep 2
save_sheet "$result" "$work/moved sheet.bmp"
equals_exported_sheet "$work/moved sheet.bmp" --view-a 1,101,0 --view-c 1.25,0,0
step "the box: ハコを　みる (Ctrl+B), then 絵A"
known=$(program_windows)
xdo windowfocus --sync "$result" 2>/dev/null || xdo windowfocus "$result" || true
xdo key ctrl+b
box=$(wait_new_window "the box window" "$known")
[ "$(xdo getwindowname "$box")" = "ハコミル" ] || fail "the box window is titled '$(xdo getwindowname "$box")'"
sleep 1
timeout 20 import -window "$box" "$shots/box-window.png" || fail "no screenshot of the box window"
# The box is drawn: far more colours than the background and a few lines.
colours=$(identify -format '%k' "$shots/box-window.png")
[ "$colours" -gt 1000 ] || fail "the box window shows $colours colours: no box drawn"
xdo windowfocus --sync "$box" 2>/dev/null || xdo windowfocus "$box" || true
xdo key a
sleep 2
timeout 20 import -window "$box" "$work/box-a.png" || fail "no screenshot of the box window"
[ "$(compare -metric AE "$shots/box-window.png" "$work/box-a.png" null: 2>&1 || true)" != "0" ] ||
    fail "the key A did not turn the box to 絵A"
echo "screenshots: $shots/main-window.png $shots/result-window.png $shots/main-window-views.png $shots/box-window.png"
