#!/usr/bin/env bash
# Builds ハコミル and starts it: ./run.sh
set -euo pipefail
cd "$(dirname "$0")"

scripts/install-deps.sh run
cmake --preset default >/dev/null
cmake --build --preset default --target hakomiru

if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ] && [ -z "${QT_QPA_PLATFORM:-}" ]; then
    echo "ハコミル needs a graphical desktop, and no display was found (DISPLAY and WAYLAND_DISPLAY are not set)." >&2
    echo "Start it from a desktop session, or run it under a virtual display: xvfb-run ./run.sh" >&2
    echo "(xvfb-run comes with the package xvfb: sudo apt-get install xvfb)" >&2
    exit 1
fi
exec build/default/src/app/hakomiru
