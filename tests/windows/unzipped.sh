# Sourced by the tests of the Windows package: an X server of their own
# (xvfb.sh), Wine without the build's search path or simulated device, and
# the package $zip unzipped into $folder. Failure lines start with $test.
title="ORV1600 Firmware Updater"
. "$(dirname "${BASH_SOURCE[0]}")/../realwindow/xvfb.sh"
export WINEDEBUG=-all
unset WINEPATH ORV_SIM_STATE
fail() { echo "$test: $*"; exit 1; }

mkdir "$work/unzipped"
unzip -q "$zip" -d "$work/unzipped" || fail "cannot unzip $zip"
folder=$(echo "$work"/unzipped/*)
[ -d "$folder" ] || fail "the package holds more than one folder"
