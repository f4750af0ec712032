# Sourced by the tests of the Windows package: an X server of their own
# (xvfb.sh), Wine without the build's search path or simulated device, and
# the package $zip unzipped into $folder. Failure lines start with $test.
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

mkdir "$work/unzipped"
unzip -q "$zip" -d "$work/unzipped" || fail "cannot unzip $zip"
folder=$(echo "$work"/unzipped/*)
[ -d "$folder" ] || fail "the package holds more than one folder"
