#!/bin/bash
# The Windows package as an operator gets it: unzipped into an empty folder,
# in a fresh Wine prefix of its kind, with no Qt or compiler folder on any
# search path, started from another working directory. It must hold exactly
# what the program needs; the window must appear at 800 by 400; Check
# Versions then Update, pressed with Return, must bring the simulated device
# to FX3 7 and FPGA 9; closing the window must end the process with exit
# code 0. Started again with Windows' display scaling at 200%, the window
# must be 1600 by 800.
#   package.sh PACKAGE.zip X11WINDOW
set -u
zip=$1
x11window=$2
test=package
. "$(dirname "$0")/unzipped.sh"
mkdir "$work/elsewhere"

# MinGW's runtime unwinds with SEH on x64, with DWARF on x86.
unwinder=$([ "${ORV_WINDOWS_BITS:-64}" = 32 ] && echo dw2 || echo seh)
expected="README.txt Qt5Concurrent.dll Qt5Core.dll Qt5Gui.dll Qt5Widgets.dll firmware/ORV-Cypress-v7.img firmware/ORV-FPGA-v9.rbf
firmware/SHA256SUMS libgcc_s_$unwinder-1.dll libstdc++-6.dll libwinpthread-1.dll orv-sim.exe orv1600-updater.exe
orv_api.dll platforms/qwindows.dll qt.conf styles/qwindowsvistastyle.dll"
held=$(cd "$folder" && find . -type f | sed 's|^\./||' | LC_ALL=C sort | tr '\n' ' ')
[ "$held" = "$(echo $expected | tr ' ' '\n' | LC_ALL=C sort | tr '\n' ' ')" ] ||
    fail "it holds: $held"
(cd "$folder/firmware" && sha256sum --quiet -c SHA256SUMS) || fail "SHA256SUMS does not match the images"
echo "the package holds exactly what the program needs"

own_wine_prefix
sim() { (cd "$work/elsewhere" && "$wine" "$folder/orv-sim.exe" "$@" 2>&1 | tr -d '\r'); }
sim reset >/dev/null || fail "orv-sim.exe reset failed"

cd "$work/elsewhere"
"$wine" "$folder/orv1600-updater.exe" &
updater=$!
children=$updater
"$x11window" --pid $updater --keep "$title" 800 400 60 || fail "no window at 800 by 400"
update_by_keyboard $updater
close_until_exit $updater 800 400
code=$?
echo "the updater exited with code $code"
[ $code -eq 0 ] || exit 1

# Windows' display scaling at 200%: the same window at twice the size.
"$wine" reg add 'HKCU\Control Panel\Desktop' /v LogPixels /t REG_DWORD /d 192 /f >/dev/null 2>&1 ||
    fail "cannot set the display scaling"
"$wine" "$folder/orv1600-updater.exe" &
updater=$!
children=$updater
"$x11window" --pid $updater "$title" 1600 800 60 || fail "no window at 1600 by 800 at 200%"
wait_for_exit $updater
code=$?
echo "at 200%, the updater exited with code $code"
[ $code -eq 0 ]
