#!/usr/bin/env bash
# Pastes a PNG from a real X clipboard into slot 絵A of the real main window.
#   paste_on_x.sh <paste_driver>
# Starts its own Xvfb on a free display (no window manager needed) and has xclip own the
# clipboard. Exit code 77 (skipped) when Xvfb or xclip is not installed.
set -euo pipefail

driver="$1"
command -v Xvfb >/dev/null || { echo "Xvfb is not installed"; exit 77; }
command -v xclip >/dev/null || { echo "xclip is not installed"; exit 77; }

work=$(mktemp -d)
xvfb_pid=""
xclip_pid=""
cleanup() {
    [ -n "$xclip_pid" ] && kill "$xclip_pid" 2>/dev/null || true
    if [ -n "$xvfb_pid" ]; then
        kill "$xvfb_pid" 2>/dev/null || true
        wait "$xvfb_pid" 2>/dev/null || true
    fi
    rm -rf "$work"
}
trap cleanup EXIT

display=""
for n in $(seq 90 250); do
    if [ ! -e "/tmp/.X$n-lock" ] && [ ! -e "/tmp/.X11-unix/X$n" ]; then
        display=":$n"
        break
    fi
done
[ -n "$display" ] || { echo "no free X display found"; exit 1; }

Xvfb "$display" -screen 0 1024x768x24 -nolisten tcp >"$work/xvfb.log" 2>&1 &
xvfb_pid=$!
for _ in $(seq 100); do
    [ -e "/tmp/.X11-unix/X${display#:}" ] && break
    sleep 0.1
done
export DISPLAY="$display"
export QT_QPA_PLATFORM=xcb

"$driver" --write-png "$work/picture.png"
xclip -quiet -selection clipboard -t image/png -i "$work/picture.png" >/dev/null 2>&1 &
xclip_pid=$!
for _ in $(seq 100); do
    xclip -o -selection clipboard -t TARGETS 2>/dev/null | grep -q image/png && break
    sleep 0.1
done

"$driver"
