#!/bin/bash
# Two copies of the updater at once: the second tells the operator, in a box
# titled as the window, that the updater runs already, and exits non-zero.
# A copy killed outright leaves nothing that stops the next one.
#   secondcopy.sh PROGRAM X11WINDOW [LAUNCHER ARGS...]
set -u
title="ORV1600 Firmware Updater"
. "$(dirname "$0")/xvfb.sh"
updater_session "$@"

"${launcher[@]}" "$program" &
first=$!
children=$first
"$x11window" --pid $first --keep "$title" 800 400 30 || exit 1

"${launcher[@]}" "$program" &
second=$!
children="$first $second"
# Its message box, not a main window.
"$x11window" --pid $second "$title" 0 0 30 || exit 1
wait_for_exit $second
code=$?
echo "the second copy exited with code $code"
[ $code -ne 0 ] || exit 1

kill -KILL $first
wait $first 2>/dev/null
"${launcher[@]}" "$program" &
third=$!
children=$third
"$x11window" --pid $third "$title" 800 400 30 || exit 1
wait_for_exit $third
code=$?
echo "the copy started after a kill ran and exited with code $code"
[ $code -eq 0 ]
