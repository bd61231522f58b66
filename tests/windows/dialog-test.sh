#!/usr/bin/env bash
# The configuration dialog of VaveZAZ.dll as a Windows user meets it: the real
# DLL's configureCamera under Wine, on a virtual display this test starts,
# driven by synthetic key presses. There is no window manager on that display:
# a window gets the keyboard through xdotool's windowfocus. Checked by what the
# host gets back, by what the sheet showed meanwhile (its host reports OK's
# state and the status bar's text) and by what Windows' own
# GetPrivateProfileStringA reads back from VaveZAZ.ini.
# Usage: dialog-test.sh RUNNER HOST TOOL   (RUNNER: the Wine loader; HOST:
# dialog_host.exe; TOOL: cvl-host.exe). With SCREENSHOT=FILE set, the sheet
# is also saved as a PNG picture with an edit open.
set -euo pipefail
runner=$1
host=$2
tool=$3
camera=192.168.0.10.1
wineserver=/usr/lib/wine/wineserver
title="Configure camera: $camera"

fail() {
    echo "FAIL: $*" >&2
    exit 1
}

# The 32-bit loader needs a kernel that runs 32-bit programs; where it cannot
# start, the test is reported skipped (77), not passed.
if ! "$runner" --version >/dev/null 2>&1; then
    echo "SKIP: $runner cannot start on this machine"
    exit 77
fi
for program in Xvfb xdotool; do
    command -v "$program" >/dev/null ||
        fail "$program is not installed (tools/install-deps.sh installs it)"
done

dir=$(mktemp -d)
exec 3>"$dir/display"
Xvfb -displayfd 3 -nolisten tcp -screen 0 1280x1024x24 >/dev/null 2>&1 &
xvfb=$!
exec 3>&-
cleanup() {
    [ -z "${pid:-}" ] || kill "$pid" 2>/dev/null || true
    "$wineserver" -k </dev/null >/dev/null 2>&1 || true
    kill "$xvfb" 2>/dev/null || true
    wait 2>/dev/null || true
    rm -rf "$dir"
}
trap cleanup EXIT
for _ in $(seq 100); do
    [ -s "$dir/display" ] && break
    sleep 0.1
done
[ -s "$dir/display" ] || fail "Xvfb did not start"
export DISPLAY=:$(head -n1 "$dir/display")

# A Wine prefix of the test's own, made once beside the test and served by a
# server of its own. A prefix's desktop process starts with the first program
# that needs it and keeps that program's display; the build's other suites run
# without one, and a desktop without a display shows no window.
export WINEPREFIX=$PWD/dialog-wineprefix WINEDEBUG=-all
if [ ! -f "$WINEPREFIX/system.reg" ]; then
    mkdir -p "$WINEPREFIX"
    env -u DISPLAY WINEDLLOVERRIDES="mscoree,mshtml=" /usr/lib/wine/wine64 wineboot -i \
        </dev/null >/dev/null 2>&1
fi
"$wineserver" -k </dev/null >/dev/null 2>&1 || true

# A system directory of the case's own with a known settings file.
new_system() {
    system=$dir/$1
    mkdir -p "$system"
    printf '[General]\r\nLogLevel=1\r\n[192.168.0.10]\r\nNumberOfScans=32\r\nBufferSize=4\r\n' \
        >"$system/VaveZAZ.ini"
    cp "$system/VaveZAZ.ini" "$system/before.ini"
}

# Starts a program under Wine in the background, its output in $out.
start() {
    out=$system/out.txt
    "$runner" "$@" >"$out" 2>&1 &
    pid=$!
}

# The first visible window whose name is $1 (and that is not window $2),
# waited for (Wine's first start on a new prefix is slow).
find_window() {
    for _ in $(seq 600); do
        found=$(xdotool search --onlyvisible --name "^$1\$" 2>/dev/null | grep -vxF "${2:-none}" |
            head -n1 || true)
        if [ -n "$found" ]; then
            echo "$found"
            return
        fi
        kill -0 "$pid" 2>/dev/null || fail "the program ended before '$1' showed:"$'\n'"$(cat "$out")"
        sleep 0.1
    done
    fail "'$1' did not show:"$'\n'"$(cat "$out")"
}

press() {
    xdotool windowfocus --sync "$1" key --delay 30 "${@:2}"
}

# Waits, bounded, for the program to end; its exit status in $status.
finish() {
    for _ in $(seq 300); do
        kill -0 "$pid" 2>/dev/null || break
        sleep 0.1
    done
    kill -0 "$pid" 2>/dev/null && fail "the dialog did not close:"$'\n'"$(cat "$out")"
    status=0
    wait "$pid" || status=$?
    pid=
}

expect() {
    grep -qF -- "$1" "$out" || fail "${2:-expected '$1'} in:"$'\n'"$(cat "$out")"
}

# Rows of the grid from the top: General, LogLevel, LogIntoFile, Camera,
# ConfigurationFile, NumberOfScans, BufferSize. From the bottom: MaxHeight,
# MinHeight, ..., ImageFormat nine rows up.
to_buffer_size=(Home Down Down Down Down Down Down)
to_file=(Home Down Down Down Down)
to_image_format=(End Up Up Up Up Up Up Up Up Up)

escape_cancels() {
    new_system escape
    start "$host" "$system" "$camera" --open
    window=$(find_window "$title")
    press "$window" "${to_buffer_size[@]}" 9 Return Escape
    finish
    expect "result: 1" "Escape did not answer 1"
    cmp -s "$system/before.ini" "$system/VaveZAZ.ini" || fail "Escape saved: $(cat "$system/VaveZAZ.ini")"
}

ok_saves_an_integer() {
    new_system ok
    start "$host" "$system" "$camera" --open 192.168.0.10/BufferSize 192.168.0.10/NumberOfScans
    window=$(find_window "$title")
    press "$window" "${to_buffer_size[@]}" 3 5
    if [ -n "${SCREENSHOT:-}" ]; then
        sleep 0.5
        eval "$(xdotool getwindowgeometry --shell "$window")"
        import -window root -crop "${WIDTH}x${HEIGHT}+${X}+${Y}" +repage "$SCREENSHOT"
    fi
    press "$window" Return alt+o
    finish
    expect "result: 0" "OK did not answer 0"
    expect "read: [192.168.0.10] BufferSize=35"
    expect "read: [192.168.0.10] NumberOfScans=32"
}

invalid_edit_keeps_ok_disabled() {
    new_system invalid
    start "$host" "$system" "$camera" --open 192.168.0.10/BufferSize
    window=$(find_window "$title")
    press "$window" "${to_buffer_size[@]}" 0 Return
    for _ in $(seq 50); do
        grep -qF "sheet: ok=disabled status=General: " "$out" && break
        sleep 0.1
    done
    expect "sheet: ok=disabled status=General: " "no disabled OK with the page's status text"
    press "$window" alt+o
    sleep 1.5
    kill -0 "$pid" 2>/dev/null || fail "the sheet closed on an invalid value:"$'\n'"$(cat "$out")"
    cmp -s "$system/before.ini" "$system/VaveZAZ.ini" || fail "an invalid value was saved"
    # Enter opens the edit again, Escape takes its text back.
    press "$window" Return Escape 2 1 Return alt+o
    finish
    expect "sheet: ok=enabled status="
    expect "result: 0"
    expect "read: [192.168.0.10] BufferSize=21"
}

file_in_the_system_directory_is_relative() {
    new_system file
    : >"$system/sample.prm"
    start "$host" "$system" "$camera" --open 192.168.0.10/ConfigurationFile
    window=$(find_window "$title")
    press "$window" "${to_file[@]}" Return
    chooser=$(find_window ConfigurationFile)
    xdotool windowfocus --sync "$chooser" type --delay 30 sample.prm
    press "$chooser" Return
    press "$window" alt+o
    finish
    expect "result: 0"
    expect 'read: [192.168.0.10] ConfigurationFile=.\sample.prm'
}

choice_frees_the_rows_it_governs() {
    new_system choice
    start "$host" "$system" "$camera" --open 192.168.0.10.1/ImageFormat \
        192.168.0.10.1/MinHeight 192.168.0.10.1/MaxHeight
    window=$(find_window "$title")
    # A grayscale image has no height window: MinHeight takes no typing.
    press "$window" End Up 3 Return
    press "$window" "${to_image_format[@]}" Return Down Return
    press "$window" End 5 0 0 Return alt+o
    finish
    expect "result: 0"
    expect "read: [192.168.0.10.1] ImageFormat=3D (XYZ)"
    expect "read: [192.168.0.10.1] MaxHeight=500"
    expect "read: [192.168.0.10.1] MinHeight=1" "a read-only row took typing"
}

# Escape empties the filter box and leaves the sheet open; with part of a
# name typed, the grid lists that row alone under its section.
filter_finds_a_row() {
    new_system filter
    start "$host" "$system" "$camera" --open 192.168.0.10/BufferSize
    window=$(find_window "$title")
    press "$window" ctrl+f x y z Escape u f f e r Return Home Down 5 0 Return alt+o
    finish
    expect "result: 0"
    expect "read: [192.168.0.10] BufferSize=50"
}

# Alt+R gives the focused value its default; Delete empties a path.
reset_and_delete() {
    new_system reset
    : >"$system/sample.prm"
    printf 'ConfigurationFile=.\\sample.prm\r\n' >>"$system/VaveZAZ.ini"
    start "$host" "$system" "$camera" --open 192.168.0.10/BufferSize 192.168.0.10/ConfigurationFile
    window=$(find_window "$title")
    press "$window" "${to_buffer_size[@]}" alt+r "${to_file[@]}" Delete alt+o
    finish
    expect "result: 0"
    expect "read: [192.168.0.10] BufferSize=20" "Reset to default did not give 20"
    tr -d '\r' <"$out" | grep -qxF 'read: [192.168.0.10] ConfigurationFile=' ||
        fail "Delete did not empty ConfigurationFile:"$'\n'"$(cat "$out")"
}

# A settings file that cannot be written is reported over the open sheet,
# which keeps the edit until the file can be written.
read_only_file_keeps_the_edit() {
    new_system read-only
    chmod 444 "$system/VaveZAZ.ini"
    start "$host" "$system" "$camera" --open 192.168.0.10/BufferSize
    window=$(find_window "$title")
    press "$window" "${to_buffer_size[@]}" 3 5 Return alt+o
    notice=$(find_window "$title" "$window")
    xdotool search --onlyvisible --name "^$title\$" | grep -qxF "$window" ||
        fail "the sheet closed before the notice:"$'\n'"$(cat "$out")"
    cmp -s "$system/before.ini" "$system/VaveZAZ.ini" || fail "a read-only file was changed"
    press "$notice" Return
    chmod 644 "$system/VaveZAZ.ini"
    press "$window" alt+o
    finish
    expect "result: 0"
    expect "read: [192.168.0.10] BufferSize=35" "the edit was lost"
}

finalize_ends_the_sheet() {
    new_system finalize
    start "$host" "$system" "$camera" --open --finalize
    find_window "$title" >/dev/null
    finish
    expect "finalize: 1"
    expect "result: 1" "the sheet ended by finalize did not answer as Cancel"
    expect "ended as Cancel by finalize"
    cmp -s "$system/before.ini" "$system/VaveZAZ.ini" || fail "finalize saved"
}

host_tool_cancel() {
    new_system tool
    start "$tool" --system-dir "$system" configure "$camera" --open
    window=$(find_window "$title")
    press "$window" "${to_buffer_size[@]}" 7 Return alt+c
    finish
    [ "$status" -eq 1 ] || fail "cvl-host configure ended with $status after Cancel"
    expect "nothing saved"
    cmp -s "$system/before.ini" "$system/VaveZAZ.ini" || fail "Cancel saved"
}

for case in escape_cancels ok_saves_an_integer invalid_edit_keeps_ok_disabled \
    file_in_the_system_directory_is_relative choice_frees_the_rows_it_governs filter_finds_a_row \
    reset_and_delete read_only_file_keeps_the_edit finalize_ends_the_sheet host_tool_cancel; do
    "$case"
    echo "ok: $case"
done
