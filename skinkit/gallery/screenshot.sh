#!/usr/bin/env bash
# Takes a screenshot of the gallery under Wine, optionally with the login
# window's skin on top of it (or of the picture viewer alone in one of its
# scenes: default, large, fit, small, loading), the way a desktop shows them: a compositing
# manager blends the layered windows' per-pixel alpha. Without one, the X
# server shows every translucent pixel (the soft shadows) in its raw
# premultiplied colour, which for a shadow is black.
#
#   skinkit/gallery/screenshot.sh BIN_DIR OUT.png [--login | --viewer=SCENE]
#
# BIN_DIR holds skinkit_gallery.exe and the skin. Starts its own Xvfb on a
# free display and stops everything it started. Needs Xvfb, xcompmgr, xdotool
# and ImageMagick's import.
set -euo pipefail

if [ $# -lt 2 ]; then
    echo "usage: $0 BIN_DIR OUT.png [--login | --viewer=SCENE]" >&2
    exit 2
fi
bin=$(cd "$1" && pwd)
out=$(realpath -m "$2")
mode=${3:-}
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)
for tool in Xvfb xcompmgr xdotool import; do
    command -v "$tool" > /dev/null || { echo "screenshot: $tool is missing" >&2; exit 1; }
done

number=140
while [ -e "/tmp/.X11-unix/X$number" ] || [ -e "/tmp/.X$number-lock" ]; do number=$((number + 1)); done
export DISPLAY=:$number

pids=()
cleanup() {
    local pid
    for pid in "${pids[@]}"; do kill "$pid" 2> /dev/null || true; done
}
trap cleanup EXIT

Xvfb "$DISPLAY" -screen 0 1280x800x24 -nolisten tcp > /dev/null 2>&1 &
pids+=($!)
for _ in $(seq 50); do [ -e "/tmp/.X11-unix/X$number" ] && break; sleep 0.1; done
xcompmgr -n > /dev/null 2>&1 &
pids+=($!)

# Waits for a window with the given caption to be mapped.
await() { timeout 60 xdotool search --sync --onlyvisible --name "$1" > /dev/null; }

if [[ $mode == --viewer* ]]; then
    (cd "$bin" && exec "$root/tools/wine-run.sh" ./skinkit_gallery.exe "$mode") > /dev/null 2>&1 &
    pids+=($!)
    await "skinkit 大图浏览"
else
    (cd "$bin" && exec "$root/tools/wine-run.sh" ./skinkit_gallery.exe) > /dev/null 2>&1 &
    pids+=($!)
    await "skinkit 控件一览"
fi
if [ "$mode" = "--login" ]; then
    (cd "$bin" && exec "$root/tools/wine-run.sh" ./skinkit_gallery.exe --login) > /dev/null 2>&1 &
    pids+=($!)
    await "登录Quarn"
fi
sleep 2  # the first paint and the compositor's redraw
import -window root "$out"
echo "screenshot: $out"
