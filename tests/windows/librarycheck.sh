#!/bin/bash
# The unzipped package with a device library that does not fit, as a
# technician might leave it. For each, the updater shows one box titled as
# its window that names the file and says why; once the box is answered it
# exits with status 2, not with the loader's refusal. orv-sim.exe beside a
# library that is not the simulated device says so in one line and fails.
#   librarycheck.sh PACKAGE.zip X11WINDOW ODD_LIBRARIES_DIR
set -u
zip=$1
x11window=$2
odd=$3
test="library check"
. "$(dirname "$0")/unzipped.sh"
dll=$folder/orv_api.dll
shown=$(echo "Z:$dll" | tr / '\\')
own_wine_prefix

# What lies at orv_api.dll, and words the box must hold.
cases=(
    "none|The file is not there."
    "$odd/orv_api-x86.dll|It is a 32-bit library, and this updater is a 64-bit program"
    "text|It is not a Windows library"
    "$odd/orv_needs_runtime.dll|It needs orvmaker-runtime.dll, which is neither in this folder"
    "$odd/orv_partial.dll|It lacks functions that the updater calls: orvConfigNetGetDeviceList,"
)
for case in "${cases[@]}"; do
    library=${case%%|*}
    words=${case#*|}
    rm -f "$dll"
    case $library in
        none) ;;
        text) echo "orv_api.dll of the ORV1600, see the maker's site" >"$dll" ;;
        *) cp "$library" "$dll" ;;
    esac
    echo "--- orv_api.dll: $library"
    "$wine" "$folder/orv1600-updater.exe" 2>"$work/told" &
    updater=$!
    children=$updater
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

cp "$odd/orv_partial.dll" "$dll"
told=$(cd "$folder" && "$wine" orv-sim.exe show 2>&1)
code=$?
echo "orv-sim.exe beside another library: $told"
[ $code -ne 0 ] && [ "$(echo "$told" | wc -l)" -eq 1 ] && echo "$told" | grep -q "is not the simulated device" ||
    fail "orv-sim.exe exited with status $code"
