#!/bin/bash
# The unzipped package with a device library as a technician or the maker's
# installer might leave it: beside the program, or only in a folder on the
# search path (WINEPATH, which Wine adds to PATH). A library that does not
# fit gets one box titled as the window that names the file Windows would
# load and says why; once the box is answered the updater exits with
# status 2, not with the loader's refusal. The package's own library found
# on the search path alone is used: Check Versions and Update work, and the
# record of the run names that file. orv-sim.exe beside a library that is
# not the simulated device says so in one line and fails.
#   librarycheck.sh PACKAGE.zip X11WINDOW ODD_LIBRARIES_DIR
set -u
zip=$1
x11window=$2
odd=$3
test="library check"
. "$(dirname "$0")/unzipped.sh"
dll=$folder/orv_api.dll
onpath=$work/maker/bin
simulated=$work/simulated-orv_api.dll
cp "$dll" "$simulated"
windows_path() { echo "Z:$1" | tr / '\\'; }
own_wine_prefix
bits=${ORV_WINDOWS_BITS:-64}-bit
other_bits=$([ "$bits" = 64-bit ] && echo 32-bit || echo 64-bit)

# Where the library lies, what lies there, and words the box must hold
# (run: none, the updater works).
cases=(
    "beside|none|The file is not there, nor in Windows' system folders, nor in any folder on PATH."
    "beside|$odd/orv_api-other.dll|It is a $other_bits library, and this updater is a $bits program"
    "beside|text|It is not a Windows library"
    "beside|$odd/orv_needs_runtime.dll|It needs orvmaker-runtime.dll, which is neither in this folder"
    "beside|$odd/orv_partial.dll|It lacks functions that the updater calls: orvConfigNetGetDeviceList,"
    "beside|$odd/orv_init_fails.dll|Windows cannot load it: DLL initialization failed (error 1114)."
    "path|$odd/orv_api-other.dll|It is a $other_bits library, and this updater is a $bits program"
    "path|$simulated|run"
)
for case in "${cases[@]}"; do
    IFS='|' read -r where library words <<<"$case"
    rm -rf "$dll" "$onpath"
    unset WINEPATH
    at=$dll
    if [ "$where" = path ]; then
        at=$onpath/orv_api.dll
        mkdir -p "$onpath"
        export WINEPATH=$(windows_path "$onpath")
    fi
    case $library in
        none) ;;
        text) echo "orv_api.dll of the ORV1600, see the maker's site" >"$at" ;;
        *) cp "$library" "$at" ;;
    esac
    shown=$(windows_path "$at")
    echo "--- orv_api.dll $([ "$where" = path ] && echo "only on the search path" || echo "beside the program"): $library"
    [ "$words" != run ] || sim reset >/dev/null || fail "orv-sim.exe reset failed"
    "$wine" "$folder/orv1600-updater.exe" 2>"$work/told" &
    updater=$!
    children=$updater
    if [ "$words" = run ]; then
        "$x11window" --pid $updater --keep "$title" 800 400 60 || fail "no window with $shown"
        update_by_keyboard $updater
        grep -qF "== Device library file: $shown" "$(newest_record)" ||
            fail "the record does not name $shown: $(grep "Device library" "$(newest_record)")"
        close_until_exit $updater 800 400 || fail "the updater did not end"
        echo "the updater used $shown and ended"
        continue
    fi
    "$x11window" --pid $updater --keep "$title" 0 0 60 || fail "no box for $library"
    box=$(xdotool search --onlyvisible --pid $updater --name "^$title\$" | head -n 1)
    xdotool mousemove --window "$box" 20 20 click 1 sleep 0.5 key Return
    wait_for_exit $updater
    code=$?
    tr -d '\r' <"$work/told"
    [ $code -eq 2 ] || fail "the updater exited with status $code, not 2"
    grep -qF "$shown" "$work/told" || fail "the box does not name $shown"
    grep -qF "$words" "$work/told" || fail "the box does not say: $words"
done
unset WINEPATH

cp "$odd/orv_partial.dll" "$dll"
told=$(cd "$folder" && "$wine" orv-sim.exe show 2>&1)
code=$?
echo "orv-sim.exe beside another library: $told"
[ $code -ne 0 ] && [ "$(echo "$told" | wc -l)" -eq 1 ] && echo "$told" | grep -q "is not the simulated device" ||
    fail "orv-sim.exe exited with status $code"
