# Sourced: starts an Xvfb of its own on a free display and exports DISPLAY.
# Sets $work (a scratch folder), $wine and $wineserver, and stops the X
# server and every process named in $children when the script ends.
. "$(dirname "${BASH_SOURCE[0]}")/../../windows/wine.sh"
work=$(mktemp -d)
children=""
wine_prefix=""
trap 'kill $children $xvfb 2>/dev/null; [ -z "$wine_prefix" ] || WINEPREFIX=$wine_prefix "$wineserver" -k 2>/dev/null
      wait 2>/dev/null; rm -rf "$work"' EXIT

exec 3>"$work/display"
# At 96 DPI, a display at 100%, which the program scales with; with room
# for its window at twice the size, as at 200%.
Xvfb -displayfd 3 -screen 0 1920x1200x24 -dpi 96 -nolisten tcp >"$work/xvfb.log" 2>&1 &
xvfb=$!
for _ in $(seq 100); do [ -s "$work/display" ] && break; sleep 0.1; done
if [ ! -s "$work/display" ]; then
    echo "Xvfb did not start:"; cat "$work/xvfb.log"; exit 1
fi
export DISPLAY=:$(head -n1 "$work/display")
echo "Xvfb on $DISPLAY"

# Waits up to 10 s for process $1 to end; fails if it does not.
wait_for_exit() {
    for _ in $(seq 100); do kill -0 "$1" 2>/dev/null || break; sleep 0.1; done
    if kill -0 "$1" 2>/dev/null; then
        echo "process $1 did not exit"; return 1
    fi
    wait "$1"
}

# Windows programs under Wine get a prefix of their own: a Wine server that
# other tests started would show their windows on another X server.
own_wine_prefix() {
    wine_prefix="$work/prefix"
    export WINEPREFIX=$wine_prefix WINEDLLOVERRIDES="mscoree,mshtml="
    "$(dirname "${BASH_SOURCE[0]}")/../../windows/wine-prefix.sh" || exit 1
}

# The arguments of the real-window tests, PROGRAM X11WINDOW [LAUNCHER ARGS...],
# into $program, $x11window and $launcher; a simulated device of the test's
# own; the working directory the program's folder. Natively the program
# shows on X11; through a launcher (Wine) on its own platform's windowing.
updater_session() {
    program=$1
    x11window=$2
    launcher=("${@:3}")
    if [ ${#launcher[@]} -gt 0 ]; then
        unset QT_QPA_PLATFORM
        own_wine_prefix
    else
        export QT_QPA_PLATFORM=xcb
    fi
    export ORV_SIM_STATE="$work/device.json"
    cd "$(dirname "$program")"
}
