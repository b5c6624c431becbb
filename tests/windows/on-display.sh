#!/usr/bin/env bash
# on-display.sh COMMAND [ARGS...]
# Runs COMMAND on an X display of its own: an Xvfb server (24-bit, 1280 x 1024;
# the default depth is 8) that picks a free display number itself
# (-displayfd), so runs started side by side never race for one. Afterwards
# the server is ended, and with WINEPREFIX set so is that prefix's Wine
# server (a program's windows can outlive it there). Exit code: COMMAND's.
set -uo pipefail
dir=$(mktemp -d)
xvfb=""
cleanup() {
    if [ -n "${WINEPREFIX:-}" ]; then
        "${WINESERVER:-wineserver}" -k >/dev/null 2>&1
        "${WINESERVER:-wineserver}" -w >/dev/null 2>&1
    fi
    if [ -n "$xvfb" ]; then
        kill "$xvfb" 2>/dev/null
        wait "$xvfb" 2>/dev/null
    fi
    rm -rf "$dir"
}
trap cleanup EXIT
trap 'exit 130' INT TERM

mkfifo "$dir/display"
Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp 3>"$dir/display" 2>"$dir/xvfb.log" &
xvfb=$!
# The server writes its number once it takes connections.
number=""
read -r -t 30 number <"$dir/display" || true
if [ -z "$number" ]; then
    echo "on-display: Xvfb did not start: $(cat "$dir/xvfb.log")" >&2
    exit 1
fi
export DISPLAY=:$number
"$@"
