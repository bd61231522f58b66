#!/usr/bin/env bash
# Makes docs/configuration-dialog.png: the configuration dialog of a simulated
# camera, opened by `cvl-host configure` on a virtual display of its own, with
# "BufferSize" focused and set out of range, so that the picture shows the
# focused row, the name and description lines, the status bar's message and
# the disabled OK button. Nothing is saved: the dialog is cancelled at the end.
#
# With SIZE=WIDTHxHEIGHT set, the dialog is enlarged to that size first.
#
# With "windows" first, the Windows dialog instead: `cvl-host.exe configure`
# under Wine, into docs/configuration-dialog-windows.png.
#
# Needs a built tree (cmake --build --preset default, or --preset windows) and
# the packages of tools/install-deps.sh (xvfb, xdotool, imagemagick; wine).
set -euo pipefail
cd "$(dirname "$0")/.."

run=()
tool=build/bin/cvl-host
output=docs/configuration-dialog.png
if [ "${1:-}" = windows ]; then
    shift
    run=(wine)
    tool=build-windows/bin/cvl-host.exe
    output=docs/configuration-dialog-windows.png
    export WINEDEBUG=-all
fi
output=${1:-$output}
[ -f "$tool" ] || { echo "error: $tool is missing: build first (cmake --build --preset ...)" >&2; exit 1; }
for program in Xvfb xdotool import; do
    command -v "$program" >/dev/null || { echo "error: $program is missing: run tools/install-deps.sh" >&2; exit 1; }
done

work=$(mktemp -d)
server=
host=
cleanup() {
    [ -n "$host" ] && kill "$host" 2>/dev/null || true
    [ -n "$server" ] && kill "$server" 2>/dev/null || true
    rm -rf "$work"
}
trap cleanup EXIT

# The server picks a free display and writes its number once it is ready.
exec {ready}<> <(:)
Xvfb -displayfd "$ready" -screen 0 1280x1024x24 -nolisten tcp -ac -noreset >/dev/null 2>&1 &
server=$!
read -r -t 20 -u "$ready" number || { echo "error: Xvfb did not start" >&2; exit 1; }
export DISPLAY=":$number" NO_AT_BRIDGE=1

mkdir -p "$work/system"
printf '[General]\nLogLevel=1\n[192.168.0.10]\nNumberOfScans=512\nBufferSize=20\n' \
    >"$work/system/VaveZAZ.ini"
"${run[@]}" "$tool" --system-dir "$work/system" configure 192.168.0.10.1 --open >"$work/host.log" 2>&1 &
host=$!

window=
for _ in $(seq 1 600); do
    window=$(xdotool search --onlyvisible --name '^Configure camera: 192.168.0.10.1$' 2>/dev/null | head -1) || true
    [ -n "$window" ] && break
    sleep 0.1
done
[ -n "$window" ] || { echo "error: the dialog did not show" >&2; cat "$work/host.log" >&2; exit 1; }

if [ -n "${SIZE:-}" ]; then
    xdotool windowsize --sync "$window" "${SIZE%x*}" "${SIZE#*x}"
    sleep 0.5
fi
xdotool windowfocus --sync "$window" key --delay 30 Home Down Down Down Down Down Down 0 Return
sleep 1
mkdir -p "$(dirname "$output")"
import -window "$window" "$output"
xdotool windowfocus --sync "$window" key alt+c
wait "$host" || true
host=
echo "wrote $output"
