# Sourced by the tests of the Windows package: an X server of their own
# (xvfb.sh), Wine without the build's search path or simulated device, and
# the package $zip unzipped into $folder. Failure lines start with $test.
# ORV_WINDOWS_BITS says which kind of package it is: 64 or 32.
title="ORV1600 Firmware Updater"
. "$(dirname "${BASH_SOURCE[0]}")/../realwindow/xvfb.sh"
export WINEDEBUG=-all
unset WINEPATH ORV_SIM_STATE
fail() { echo "$test: $*"; exit 1; }

# Closes the updater's window, WIDTH by HEIGHT, until the process ends:
# closing is refused until a flow has written its result. Returns its status.
#   close_until_exit PID WIDTH HEIGHT
close_until_exit() {
    for _ in $(seq 20); do
        "$x11window" --pid "$1" "$title" "$2" "$3" 5 >/dev/null 2>&1
        kill -0 "$1" 2>/dev/null || break
        sleep 0.5
    done
    wait_for_exit "$1"
}

# The rehearsal device, set up or shown with the package's orv-sim.exe.
sim() { (cd "$folder" && "$wine" "$folder/orv-sim.exe" "$@" 2>&1 | tr -d '\r'); }
newest_record() { ls "$WINEPREFIX"/drive_c/users/*/AppData/Local/orv1600-updater/runs/run-*.txt 2>/dev/null | tail -n 1; }

# The operator's keyboard alone on the updater PID's window, which has just
# opened: Return presses Check Versions, where the keyboard is at start;
# once the check is done, the keyboard is on Update, and Return presses it.
# Fails unless the simulated device then holds FX3 7 and FPGA 9.
update_by_keyboard() {
    local window state
    window=$(xdotool search --onlyvisible --pid "$1" --name "^$title\$" | head -n 1)
    xdotool windowfocus --sync "$window" sleep 0.5 key Return
    for _ in $(seq 100); do grep -q "Press Update to continue." "$(newest_record)" 2>/dev/null && break; sleep 0.2; done
    xdotool key Return
    for _ in $(seq 150); do
        state=$(sim show)
        echo "$state" | grep -q "FX3 store: *version 7" && echo "$state" | grep -q "FPGA store: *version 9" && break
        sleep 0.2
    done
    echo "$state"
    echo "$state" | grep -q "FX3 store: *version 7" && echo "$state" | grep -q "FPGA store: *version 9" ||
        fail "Return on Check Versions, then on Update, did not bring the device to 7 and 9"
}

mkdir "$work/unzipped"
unzip -q "$zip" -d "$work/unzipped" || fail "cannot unzip $zip"
folder=$(echo "$work"/unzipped/*)
[ -d "$folder" ] || fail "the package holds more than one folder"
