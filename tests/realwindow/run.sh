#!/bin/bash
# Starts the built updater in a real X server (Xvfb), finds its window by its
# title, checks it maps at 800 by 400, closes it, and expects exit code 0.
#   run.sh PROGRAM X11WINDOW
set -u
program=$1
x11window=$2
work=$(mktemp -d)
trap 'kill $updater $xvfb 2>/dev/null; rm -rf "$work"' EXIT

exec 3>"$work/display"
Xvfb -displayfd 3 -screen 0 1280x800x24 -nolisten tcp >"$work/xvfb.log" 2>&1 &
xvfb=$!
for _ in $(seq 100); do [ -s "$work/display" ] && break; sleep 0.1; done
if [ ! -s "$work/display" ]; then
    echo "Xvfb did not start:"; cat "$work/xvfb.log"; exit 1
fi
export DISPLAY=:$(head -n1 "$work/display")
export QT_QPA_PLATFORM=xcb
export ORV_SIM_STATE="$work/device.json"
echo "Xvfb on $DISPLAY"

cd "$(dirname "$program")"
"$program" &
updater=$!
"$x11window" "ORV1600 Firmware Updater" 800 400 30 || exit 1
for _ in $(seq 100); do kill -0 $updater 2>/dev/null || break; sleep 0.1; done
if kill -0 $updater 2>/dev/null; then
    echo "the updater did not exit after its window was closed"; exit 1
fi
wait $updater
code=$?
echo "the updater exited with code $code"
[ $code -eq 0 ]
