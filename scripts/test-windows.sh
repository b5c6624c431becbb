#!/usr/bin/env bash
# Builds the Windows game (x86_64 and i686, mingw-w64) and runs its tests:
# the unit tests under Wine, then end-to-end runs of zendar1.exe under Wine
# and Xvfb, compared with the Linux build's runs of the same options.
#
#   scripts/test-windows.sh            builds, unit tests, end-to-end runs
#   scripts/test-windows.sh unit       builds and unit tests
#   scripts/test-windows.sh e2e        builds and end-to-end runs
#
# The Linux build (BUILD_DIR, default build) makes the game data the Windows
# builds copy. ZENDAR_CPU_LOCK names a lock file that every build and run
# takes (for machines shared by several builders); the time spent waiting for
# it is reported apart.
set -euo pipefail
cd "$(dirname "$0")/.."
ROOT=$PWD
HOST=${BUILD_DIR:-build}
WIN64=${WIN64_BUILD_DIR:-build-win64}
WIN32=${WIN32_BUILD_DIR:-build-win32}
ONLY=${1:-all}
case "$ONLY" in
all | unit | e2e) ;;
*)
    echo "usage: scripts/test-windows.sh [unit|e2e]" >&2
    exit 2
    ;;
esac
ON_DISPLAY=$ROOT/tests/windows/on-display.sh

seconds() { date +%s.%N; }
add() { awk -v a="$1" -v b="$2" 'BEGIN { printf "%.1f", a + b }'; }
sub() { awk -v a="$1" -v b="$2" 'BEGIN { printf "%.1f", a - b }'; }
UNIT_FAILED=""
fail() {
    echo "test-windows: FAILED: $UNIT_FAILED$*" >&2
    exit 1
}

# locked COMMAND...: COMMAND while holding the CPU lock. -o keeps the lock
# with flock itself: a program that outlives the command (an X server, a Wine
# server) must not hold it on.
LOCK_WAIT=0
STAMP=$(mktemp)
trap 'rm -f "$STAMP"' EXIT
locked() {
    if [ -z "${ZENDAR_CPU_LOCK:-}" ]; then
        "$@"
        return
    fi
    local asked status=0
    asked=$(seconds)
    flock -o "$ZENDAR_CPU_LOCK" bash -c 'date +%s.%N >"$0"; exec "$@"' "$STAMP" "$@" || status=$?
    LOCK_WAIT=$(add "$LOCK_WAIT" "$(sub "$(cat "$STAMP")" "$asked")")
    return $status
}

# Times are taken without the waits for the lock: `since START WAIT` is the
# time from START (seconds) less the lock waits since LOCK_WAIT was WAIT.
TIMES=()
since() { sub "$(sub "$(seconds)" "$1")" "$(sub "$LOCK_WAIT" "$2")"; }
PHASE_START=0
PHASE_WAIT=0
phase() {
    PHASE_START=$(seconds)
    PHASE_WAIT=$LOCK_WAIT
}
phase_done() { TIMES+=("$1: $(since "$PHASE_START" "$PHASE_WAIT") s"); }
TOTAL_START=$(seconds)
summary() {
    TIMES+=("total: $(sub "$(sub "$(seconds)" "$TOTAL_START")" "$LOCK_WAIT") s (and $LOCK_WAIT s waiting for the CPU lock)")
    printf '  %s\n' "${TIMES[@]}"
}

WINE=$(command -v wine64 || true)
[ -n "$WINE" ] || WINE=/usr/lib/wine/wine64
WINESERVER=$(command -v wineserver || true)
[ -n "$WINESERVER" ] || WINESERVER=/usr/lib/wine/wineserver
[ -x "$WINE" ] || fail "wine64 is not installed (scripts/deps.sh installs it)"
export WINESERVER
# No .NET or HTML engine to install, and a crash ends the program instead of
# waiting in the debugger.
export WINEDLLOVERRIDES="mscoree,mshtml=;winedbg.exe=d"
export WINEDEBUG=-all
export LIBGL_ALWAYS_SOFTWARE=1

# ---------------------------------------------------------------------------
# Builds.
phase
if [ ! -f "$HOST/build.ninja" ]; then
    locked cmake -S . -B "$HOST" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo
fi
locked cmake --build "$HOST" --target game_folder zendar1 z1tool -- -j"$(nproc)"
for pair in "$WIN64:x86_64" "$WIN32:i686"; do
    dir=${pair%%:*}
    arch=${pair##*:}
    if [ ! -f "$dir/build.ninja" ]; then
        locked cmake -S . -B "$dir" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
            -DCMAKE_TOOLCHAIN_FILE="$ROOT/cmake/toolchain-$arch-w64-mingw32.cmake" \
            -DZENDAR_HOST_BUILD="$ROOT/$HOST"
    fi
done
locked cmake --build "$WIN64" -- -j"$(nproc)"
# The 32-bit game cannot run on this kernel: it is built and linked.
locked cmake --build "$WIN32" --target zendar1 z1tool -- -j"$(nproc)"
[ -f "$ROOT/$WIN32/bin/zendar1.exe" ] && [ -f "$ROOT/$WIN32/bin/z1tool.exe" ] || fail "the i686 build is not linked"
phase_done "builds"

# new_prefix DIR: a Wine prefix of its own at DIR. The first start of Wine in
# a new prefix takes seconds, so one is made once per build folder and each
# run gets a copy of it: folders of its own, and links to the template's
# files (700 MB of system DLLs, which nothing writes) except those that Wine
# or a program changes in place: the registry and the .ini files.
TEMPLATE=$ROOT/$WIN64/wineprefix-template
new_prefix() {
    if [ ! -f "$TEMPLATE/system.reg" ]; then
        local t=$(seconds) w=$LOCK_WAIT
        rm -rf "$TEMPLATE"
        # The Wine server writes the registry when it ends by itself.
        WINEPREFIX=$TEMPLATE locked bash "$ON_DISPLAY" bash -c '"$0" wineboot -i; "$WINESERVER" -w' "$WINE" \
            >/dev/null 2>&1 || true
        [ -f "$TEMPLATE/system.reg" ] || fail "wineboot made no prefix in $TEMPLATE"
        TIMES+=("new Wine prefix: $(since "$t" "$w") s")
    fi
    rm -rf "$1"
    cp -al "$TEMPLATE" "$1"
    (cd "$TEMPLATE" && find . -type f \( -name '*.reg' -o -iname '*.ini' \) -exec cp --remove-destination {} "$1/{}" \;)
}

# ---------------------------------------------------------------------------
# Unit tests: every test program under Wine (CMake's cross-compiling
# emulator), in a fresh prefix and on a display of their own.
if [ "$ONLY" != e2e ]; then
    new_prefix "$ROOT/$WIN64/wineprefix"
    phase
    status=0
    WINEPREFIX=$ROOT/$WIN64/wineprefix locked bash "$ON_DISPLAY" \
        ctest --test-dir "$WIN64" --output-on-failure >"$WIN64/unit-tests.txt" 2>&1 || status=$?
    grep -v '^ALSA lib' "$WIN64/unit-tests.txt" || true
    phase_done "Windows unit tests"
    # The end-to-end runs still run, so that one failure does not hide another.
    if [ "$status" != 0 ]; then
        UNIT_FAILED="the Windows unit tests failed (see above); "
        echo "test-windows: the Windows unit tests FAILED" >&2
    fi
fi
if [ "$ONLY" = unit ]; then
    [ -z "$UNIT_FAILED" ] || fail "Windows unit tests"
    echo "test-windows: builds and unit tests passed"
    summary
    exit 0
fi

# ---------------------------------------------------------------------------
# End-to-end runs. Each run has its own folder (where the program writes its
# log, demo2.txt), its own X display and, on Windows, its own Wine prefix.
# The Windows game runs from a copy of its game folder whose z1.ini names the
# renderer (OpenGL: the one both builds have) rather than leaving it to the
# default.
WORK=$ROOT/$WIN64/e2e
rm -rf "$WORK"
mkdir -p "$WORK"
LINUX_BIN=$ROOT/$HOST/bin
LINUX_GAME=$LINUX_BIN/zendar1
Z1TOOL=$LINUX_BIN/z1tool
WIN_BIN=$WORK/game
WIN_GAME=$WIN_BIN/zendar1.exe
cp -a "$ROOT/$WIN64/bin" "$WIN_BIN"
rm -f "$WIN_BIN"/*.txt "$WIN_BIN"/*.log "$WIN_BIN"/*.png
# Every line that names the key goes, comments too: the settings reader takes
# any starred word for a key.
grep -v '\*renderer' "$ROOT/$WIN64/bin/z1.ini" >"$WIN_BIN/z1.ini"
printf '*renderer 1\n' >>"$WIN_BIN/z1.ini"
# The longest a run may take before it counts as hung.
RUN_LIMIT=300

# A path as Windows programs under Wine see it (drive Z: is the root).
winpath() { printf 'Z:%s' "${1//\//\\}"; }

# run_linux NAME ARGS...: the Linux game in $WORK/NAME-linux.
run_linux() {
    local name=$1 dir=$WORK/$1-linux
    shift
    mkdir -p "$dir"
    local status=0
    locked env -C "$dir" bash "$ON_DISPLAY" timeout "$RUN_LIMIT" "$LINUX_GAME" "$@" \
        >"$dir/stdout.txt" 2>"$dir/stderr.txt" || status=$?
    echo "$status" >"$dir/status"
}

# under_wine DIR COMMAND...: COMMAND in DIR with a Wine prefix of its own
# (DIR/prefix) on a display of its own; the prefix goes afterwards.
under_wine() {
    local dir=$1 status=0
    shift
    new_prefix "$dir/prefix"
    locked env -C "$dir" WINEPREFIX="$dir/prefix" bash "$ON_DISPLAY" "$@" || status=$?
    rm -rf "$dir/prefix"
    return $status
}

# run_windows NAME ARGS...: the Windows game under Wine in $WORK/NAME-win.
run_windows() {
    local name=$1 dir=$WORK/$1-win
    shift
    mkdir -p "$dir"
    local t=$(seconds) w=$LOCK_WAIT status=0
    under_wine "$dir" timeout "$RUN_LIMIT" "$WINE" "$WIN_GAME" "$@" \
        >"$dir/stdout.txt" 2>"$dir/stderr.txt" || status=$?
    echo "$status" >"$dir/status"
    TIMES+=("Wine run '$name': $(since "$t" "$w") s")
}

# The log as text lines (the Windows C library writes CRLF).
log_of() { tr -d '\r' <"$1/demo2.txt"; }
# log_has DIR GREP-ARGS...: whether the log has the line. Not `log_of | grep
# -q`: grep leaves at its first match, and under pipefail the SIGPIPE that tr
# can meet writing the rest fails the test now and then.
log_has() {
    local dir=$1
    shift
    grep -q "$@" <(log_of "$dir")
}

# Every run ends as the game always does: exit code 1 (a hung run: 124).
expect_ended() {
    [ -f "$1/demo2.txt" ] || fail "$1 has no log ($(cat "$1/stderr.txt"))"
    [ "$(cat "$1/status")" = 1 ] || fail "$1: exit code $(cat "$1/status"), not 1 ($(tail -5 "$1/stderr.txt"))"
    [ "$(log_of "$1" | tail -1)" = "MESSAGE - destroy" ] || fail "$1: the log does not end with the window's destruction"
}

# What both builds must log alike: everything but the window system's own
# messages (focus, size and move arrive in the order each system sends them)
# the OpenGL texture names (the Linux menu bar takes some first) and the game
# folder in paths (each build has its own).
engine_lines() {
    log_of "$1" | grep -v -e '^Window comes into focus' -e '^MESSAGE - size' -e '^MESSAGE - move' \
        -e '^loose focus' | sed -e 's/ with ID: [0-9]*$//' -e "s|$2||g"
}

# expect_lines_in_order DIR LINE...: each LINE (whole, or a prefix when it
# ends in '*') comes after the one before it.
expect_lines_in_order() {
    local dir=$1
    shift
    # Through the environment: awk -v would take the backslashes as escapes.
    log_of "$dir" | WANT=$(printf '%s\n' "$@") awk '
        BEGIN { n = split(ENVIRON["WANT"], lines, "\n"); i = 1 }
        i <= n {
            w = lines[i]
            if (w ~ /\*$/ ? index($0, substr(w, 1, length(w) - 1)) == 1 : $0 == w) i++
        }
        END { if (i <= n) { print lines[i]; exit 1 } }' >"$dir/missing.txt" ||
        fail "$dir/demo2.txt: no line '$(cat "$dir/missing.txt")' where it belongs"
}

expect_same_logs() {
    local win_folder
    win_folder=$(winpath "$WIN_BIN/")
    if ! diff <(engine_lines "$WORK/$1-linux" "$LINUX_BIN/") <(engine_lines "$WORK/$1-win" "${win_folder//\\/\\\\}") \
        >"$WORK/$1-log.diff"; then
        head -40 "$WORK/$1-log.diff" >&2
        fail "$1: the Windows log differs from the Linux log"
    fi
}

# compare_frames NAME LINUX.png WINDOWS.png: within the golden tolerance.
compare_frames() {
    local dir=$WORK/compare-$1 status=0
    mkdir -p "$dir"
    under_wine "$dir" "$WINE" "$ROOT/$WIN64/tests/compare_frames.exe" "$(winpath "$2")" "$(winpath "$3")" \
        >"$dir/result.txt" 2>&1 || status=$?
    FRAMES+=("$1: $(tr -d '\r' <"$dir/result.txt")")
    [ "$status" = 0 ] || fail "$1 differs from Linux's: $(tr -d '\r' <"$dir/result.txt")"
}
FRAMES=()

# The game starts in the village as the log says it must, and a frame of a
# seeded run at a fixed step looks as on Linux.
e2e_start_and_frame() {
    local args=(--frames 60 --fixed-step 0.05 --seed 1)
    run_linux start "${args[@]}" --screenshot "50:$WORK/start-linux/frame50.png"
    run_windows start "${args[@]}" --screenshot "50:$(winpath "$WORK/start-win/frame50.png")"
    local dir=$WORK/start-win
    expect_ended "$WORK/start-linux"
    expect_ended "$dir"
    [ "$(log_of "$dir" | head -1)" = "--** Started logging **-------------------------------------" ] ||
        fail "start: the log does not begin with its heading"
    expect_lines_in_order "$dir" "OpenGL version *" "Lights supported: 8" \
        "FMOD error 'Error initializing output device.'" "Loading script 'village.scr'" \
        "Loading scene 'village.z1a'" "Loading area from file 'area\\village.z1a'" \
        "GAME - message 'Welcome to Zendar.*" "MESSAGE - WM close" "MESSAGE - destroy"
    expect_same_logs start
    compare_frames "start frame 50" "$WORK/start-linux/frame50.png" "$dir/frame50.png"
}

# The quest as the Linux playthrough plays it, from the same replay
# (tests/playthrough/quest_replay.h, printed by tests/windows/tools), with
# the loading screen and the quest's last frame compared with Linux's.
e2e_playthrough() {
    local replay=$WORK/quest.txt
    locked c++ -std=c++17 -I "$ROOT/tests" -o "$WORK/quest_replay" "$ROOT/tests/windows/tools/quest_replay.cpp"
    "$WORK/quest_replay" >"$replay"
    local last esc
    last=$(awk '$1 ~ /^[0-9]+$/ && $1 > m { m = $1 } END { print m + 0 }' "$replay")
    esc=$(awk '$2 == "key" && $3 == "down" && $4 == 1 { print $1; exit }' "$replay")
    [ -n "$esc" ] || fail "playthrough: the quest's replay has no Esc"
    local frames=$((last + 50)) shot=$((esc - 1))
    local args=(--frames "$frames" --fixed-step 0.02 --seed 5)
    run_linux playthrough "${args[@]}" --replay "$replay" --screenshot "0:$WORK/playthrough-linux/loading.png" \
        --screenshot "$shot:$WORK/playthrough-linux/end.png"
    local dir=$WORK/playthrough-win
    run_windows playthrough "${args[@]}" --replay "$(winpath "$replay")" \
        --screenshot "0:$(winpath "$dir/loading.png")" --screenshot "$shot:$(winpath "$dir/end.png")"
    expect_ended "$WORK/playthrough-linux"
    expect_ended "$dir"
    expect_lines_in_order "$dir" "Loading scene 'village.z1a'" \
        "MESSAGE - clicked 'guard'" "GAME - quest flag 'gate_key_given' set" "GAME - inventory (1): gatekey" \
        "MESSAGE - clicked 'gate'" "GAME - message 'You unlock the door.'" \
        "MESSAGE - clicked 'tower_door'" "Loading scene 'tower.z1a'" \
        "GAME - message 'The old tower's hall. An old man waits between the torches.'" \
        "MESSAGE - clicked 'keeper'" "GAME - quest flag 'tower_tale_told' set" \
        "GAME - inventory (2): gatekey, seal" "GAME - message 'The old lord's seal is yours*" \
        "MESSAGE - clicked 'hall_door'" "Loading scene 'village.z1a'" \
        "GAME - message 'Back in the yard below the tower.'" \
        "MESSAGE - key/menu exit" "MESSAGE - credits end" "MESSAGE - WM close" "MESSAGE - destroy"
    expect_same_logs playthrough
    compare_frames "playthrough loading screen" "$WORK/playthrough-linux/loading.png" "$dir/loading.png"
    compare_frames "playthrough frame $shot" "$WORK/playthrough-linux/end.png" "$dir/end.png"
}

# Real key presses typed with xdotool into the window reach DirectInput: in
# editor mode P logs the camera position and Up flies it ahead; Esc (a window
# accelerator) asks "Quit?", and Return answers Yes in the real message box.
# Every wait is for the window or the log line it needs, with a limit.
REALKEYS='
set -eu
log=demo2.txt
wait_for() {  # PATTERN: until the log has a line with it
    for _ in $(seq 1 600); do
        if [ -f "$log" ] && grep -F -- "$1" <(tr -d "\r" <"$log") >/dev/null; then return 0; fi
        kill -0 "$game" 2>/dev/null || { echo "the game ended before logging: $1" >&2; return 1; }
        sleep 0.1
    done
    echo "timed out waiting for: $1" >&2
    return 1
}
window_named() {  # TITLE: the window, once it is there and shown
    timeout 60 xdotool search --sync --onlyvisible --name "$1" | sed -n 1p
}
focus() {  # WINDOW: the keyboard focus, once the window can take it (a window
           # Wine has only just shown may still refuse it: BadMatch)
    for _ in $(seq 1 100); do
        xdotool windowfocus --sync "$1" 2>/dev/null && return 0
        sleep 0.1
    done
    echo "could not give $1 the focus" >&2
    return 1
}
positions() { tr -d "\r" <"$log" | grep "^Position == " || true; }
"$WINE" "$WIN_GAME" --editor >stdout.txt 2>stderr.txt &
game=$!
trap "kill $game 2>/dev/null || true" EXIT
wait_for "Loading area from file"
window=$(window_named "^Zendar1 - Showcase 2$")
[ -n "$window" ] || { echo "no game window" >&2; exit 1; }
focus "$window"
wait_for "Window comes into focus"
# The editor frame reads the keyboard every frame; P until it answers.
for _ in $(seq 1 300); do
    xdotool key p
    [ -n "$(positions)" ] && break
    sleep 0.1
done
first=$(positions | head -1)
[ -n "$first" ] || { echo "P never reached the editor" >&2; exit 1; }
xdotool keydown Up
moved=""
for _ in $(seq 1 300); do
    xdotool key p
    last=$(positions | tail -1)
    if [ "$last" != "$first" ]; then moved=yes; break; fi
    sleep 0.1
done
xdotool keyup Up
[ -n "$moved" ] || { echo "holding Up did not move the camera" >&2; exit 1; }
xdotool key Escape
wait_for "MESSAGE - key/menu exit"
box=$(window_named "^Quit\?$")
[ -n "$box" ] || { echo "no Quit? box" >&2; exit 1; }
focus "$box"
xdotool key Return
for _ in $(seq 1 300); do kill -0 "$game" 2>/dev/null || break; sleep 0.1; done
if kill -0 "$game" 2>/dev/null; then echo "the game did not close after Yes" >&2; exit 1; fi
wait "$game" || true
echo "$first -> $last"
'

e2e_real_keys() {
    local dir=$WORK/realkeys-win
    mkdir -p "$dir"
    local t=$(seconds) w=$LOCK_WAIT
    under_wine "$dir" env WINE="$WINE" WIN_GAME="$WIN_GAME" timeout "$RUN_LIMIT" bash -c "$REALKEYS" \
        >"$dir/keys.txt" 2>"$dir/keys-err.txt" || fail "real keys: $(cat "$dir/keys-err.txt")"
    TIMES+=("Wine run 'real keys': $(since "$t" "$w") s")
    expect_lines_in_order "$dir" "Loading area from file 'area\\village.z1a'" "Position == *" \
        "MESSAGE - key/menu exit" "MESSAGE - WM close" "MESSAGE - destroy"
    if log_has "$dir" -F "MESSAGE - credits end"; then fail "real keys: the editor showed the credits"; fi
    echo "real keys: $(cat "$dir/keys.txt")"
}

# The editor through a replay, as docs/editor.md shows it: open the village,
# fly, select, rename the selection in its property dialog, spawn a light,
# scale, save under another name. Both builds save the same file. Then
# unsaved work: another light, M and Esc each offer to save it (Cancel
# stays), Ctrl+Z takes the light back and Ctrl+Y brings it again; the frame
# limit ends the run without asking.
# spawn_light FRAME NAME: F10 at FRAME and the answers that make a light NAME.
spawn_light() {
    printf '%s\n' "$1 key down 68" "$1 key up 68" "answer field Type: = Light" \
        "answer field Symbolic Name: = $2" "answer ok"
}
editor_replay() {
    cat <<REPLAY
2 key down 29
2 key down 24
2 key up 24
2 key up 29
answer file $1/area/village.z1a
4 key down 201
4 key down 200
24 key up 201
24 key up 200
25 mouse move 0 150
30 mouse button 0 down
31 mouse button 0 up
33 key down 59
33 key up 59
answer field Name : = renamed
answer ok
$(spawn_light 36 new_lamp)
38 key down 45
39 mouse move 100 0
41 key up 45
45 key down 29
45 key down 31
45 key up 31
45 key up 29
answer file $2
$(spawn_light 47 unsaved_lamp)
49 key down 50
49 key up 50
answer cancel
51 key down 1
51 key up 1
answer yes
answer cancel
53 key down 29
53 key down 44
53 key up 44
53 key up 29
55 key down 29
55 key down 21
55 key up 21
55 key up 29
REPLAY
}

e2e_editor() {
    editor_replay "$LINUX_BIN" "$WORK/editor-linux/saved.z1a" >"$WORK/editor-linux.txt"
    editor_replay "$(winpath "$WIN_BIN")" "$(winpath "$WORK/editor-win/saved.z1a")" >"$WORK/editor-win.txt"
    local args=(--editor --frames 60 --fixed-step 0.05 --seed 3 --stats 20)
    run_linux editor "${args[@]}" --replay "$WORK/editor-linux.txt"
    run_windows editor "${args[@]}" --replay "$(winpath "$WORK/editor-win.txt")"
    expect_ended "$WORK/editor-linux"
    expect_ended "$WORK/editor-win"
    [ -f "$WORK/editor-win/saved.z1a" ] || fail "editor: the Windows build saved no area ($(cat "$WORK/editor-win/stderr.txt"))"
    [ -f "$WORK/editor-linux/saved.z1a" ] || fail "editor: the Linux build saved no area"
    "$Z1TOOL" area dump "$WORK/editor-linux/saved.z1a" >"$WORK/editor-linux/dump.txt"
    "$Z1TOOL" area dump "$WORK/editor-win/saved.z1a" >"$WORK/editor-win/dump.txt"
    grep -q renamed "$WORK/editor-win/dump.txt" || fail "editor: the renamed entity is not in the saved area"
    grep -q new_lamp "$WORK/editor-win/dump.txt" || fail "editor: the spawned light is not in the saved area"
    diff "$WORK/editor-linux/dump.txt" "$WORK/editor-win/dump.txt" >"$WORK/editor-dump.diff" ||
        fail "editor: the saved areas dump differently (see $WORK/editor-dump.diff)"
    log_has "$WORK/editor-win" -E "^HARNESS - frame 40: resident [1-9][0-9]* KB, [1-9][0-9]* textures$" ||
        fail "editor: the Windows build logged no stats line at frame 40 (its lines: $(log_of "$WORK/editor-win" | grep -n '^HARNESS\|focus\|activate\|^Created light' | tr '\n' ';'))"
    local build
    for build in linux win; do
        [ "$(log_of "$WORK/editor-$build" | grep -c "^EDITOR - cancelled: the unsaved changes stay$")" = 2 ] ||
            fail "editor: the $build build did not offer the unsaved light for saving at M and at Esc"
        log_has "$WORK/editor-$build" "^EDITOR - undo " || fail "editor: Ctrl+Z undid nothing in the $build build"
        log_has "$WORK/editor-$build" "^EDITOR - redo " || fail "editor: Ctrl+Y redid nothing in the $build build"
        if log_has "$WORK/editor-$build" "MESSAGE - credits end"; then fail "editor: the $build build left the editor"; fi
    done
    if cmp -s "$WORK/editor-linux/saved.z1a" "$WORK/editor-win/saved.z1a"; then
        echo "editor: both builds saved the same bytes"
    else
        echo "editor: the saved files dump the same"
    fi
}

phase
e2e_start_and_frame
e2e_playthrough
e2e_real_keys
e2e_editor
phase_done "end-to-end runs"
[ -z "$UNIT_FAILED" ] || fail "the end-to-end runs passed"
echo "test-windows: all passed"
echo "frames against Linux:"
printf '  %s\n' "${FRAMES[@]}"
summary
