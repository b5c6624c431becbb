#!/usr/bin/env bash
# run-under-wine.sh PREFIX PROGRAM [ARGS...]
# Runs a Windows program of the x86_64 build under Wine on an X display of its
# own (Xvfb, 24-bit, 1280 x 1024) with the Wine prefix PREFIX (made on first
# use), then ends that prefix's Wine server. The exit code is the program's.
set -uo pipefail
prefix=$1
shift
export WINEPREFIX=$prefix WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml=" LIBGL_ALWAYS_SOFTWARE=1
wine=$(command -v wine64 || command -v wine || echo /usr/lib/wine/wine64)
if [ ! -f "$prefix/system.reg" ]; then
  mkdir -p "$prefix"
  xvfb-run -a -s "-screen 0 1280x1024x24" "$wine" wineboot -i >/dev/null 2>&1
  wineserver -w
fi
# What earlier runs left in the temporary folder goes first.
rm -rf "$prefix"/drive_c/users/*/Temp/*
xvfb-run -a -s "-screen 0 1280x1024x24" "$wine" "$@"
status=$?
wineserver -k 2>/dev/null
exit $status
