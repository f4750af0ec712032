#!/bin/bash
# Starts the built updater in a real X server (Xvfb), finds its window by its
# title, checks it maps at 800 by 400, closes it, and expects exit code 0.
# With a LAUNCHER (Wine, for the Windows program), the program runs through
# it on its platform's own windowing.
#   run.sh PROGRAM X11WINDOW [LAUNCHER ARGS...]
set -u
. "$(dirname "$0")/xvfb.sh"
updater_session "$@"
"${launcher[@]}" "$program" &
updater=$!
children=$updater
"$x11window" "ORV1600 Firmware Updater" 800 400 30 || exit 1
wait_for_exit $updater
code=$?
echo "the updater exited with code $code"
[ $code -eq 0 ]
