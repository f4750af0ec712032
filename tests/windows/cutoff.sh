#!/bin/bash
# The Windows package, as a technician meets a write cut off: the updater is
# killed in the middle of the FPGA write. Its record of the run must be whole
# up to the line it showed last, and its note of the write left behind; the
# next run's Check Versions must say so and offer Update, whose success
# clears the note.
#   cutoff.sh PACKAGE.zip X11WINDOW
set -u
zip=$1
x11window=$2
test=cutoff
. "$(dirname "$0")/unzipped.sh"
own_wine_prefix
sim reset >/dev/null && sim set fpga-write-ms=20000 >/dev/null || fail "orv-sim.exe cannot set up the device"
data=$(echo "$WINEPREFIX"/drive_c/users/*/AppData/Local)/orv1600-updater
note=$data/unfinished-writes/ORV1600-25203117.txt

# Starts the updater, presses Check Versions, then the command the check put
# the keyboard on.
start_and_press() {
    cd "$folder"
    "$wine" "$folder/orv1600-updater.exe" &
    updater=$!
    children=$updater
    "$x11window" --pid $updater --keep "$title" 0 0 120 >/dev/null || fail "no window"
    window=$(xdotool search --onlyvisible --pid $updater --name "^$title\$" | head -n 1)
    xdotool mousemove --window "$window" 200 200 click 1 sleep 0.5 key Tab space
    for _ in $(seq 50); do grep -q "Press Update to continue." "$(newest_record)" 2>/dev/null && break; sleep 0.2; done
    xdotool key space
}

start_and_press
for _ in $(seq 150); do sim show | grep -q "FPGA store: *erased, being written" && break; sleep 0.2; done
sim show | grep -q "FPGA store: *erased, being written" || fail "the FPGA write never began"
sleep 1
kill -9 $updater
wait $updater 2>/dev/null
# Until Wine's server has let go of the killed process and ended: nothing
# of it is left for the next start to meet.
"$wineserver" -w

record=$(newest_record)
[ -n "$record" ] || fail "no record of the run in $data/runs"
tail -n 1 "$record" | tr -d '\r' | grep -q "  Updating FPGA, estimated 10 minutes.$" ||
    fail "the record does not end with the FPGA write: $(tail -n 2 "$record")"
grep -q "^state: writing" "$note" || fail "no note of the write in $note"
echo "killed during the FPGA write: the record ends with it, and the note is left"

sim set fpga-write-ms=2000 >/dev/null
start_and_press
record=$(newest_record)
grep -q "did not finish: its firmware may be incomplete.$(printf '\r')\?$" "$record" ||
    fail "the next check did not tell of the write: $(cat "$record")"
for _ in $(seq 150); do grep -q "Firmware updated successfully." "$record" && break; sleep 0.2; done
grep -q "Firmware updated successfully." "$record" || fail "Update after the cut-off write did not succeed"
[ ! -e "$note" ] || fail "the note is still there after a successful Update"
echo "the next run told of it, offered Update, and the Update cleared the note"
sim show | grep -E "store"

close_until_exit $updater 0 0
