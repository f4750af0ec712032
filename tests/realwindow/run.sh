#!/bin/bash
# Starts the built updater in a real X server (Xvfb), finds its window by its
# title, checks it maps at 800 by 400, closes it, and expects exit code 0.
#   run.sh PROGRAM X11WINDOW
set -u
program=$1
x11window=$2
. "$(dirname "$0")/xvfb.sh"
export QT_QPA_PLATFORM=xcb
export ORV_SIM_STATE="$work/device.json"

cd "$(dirname "$program")"
"$program" &
updater=$!
children=$updater
"$x11window" "ORV1600 Firmware Updater" 800 400 30 || exit 1
wait_for_exit $updater
code=$?
echo "the updater exited with code $code"
[ $code -eq 0 ]
