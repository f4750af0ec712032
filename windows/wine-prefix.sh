#!/bin/bash
# Makes the Wine prefix $WINEPREFIX, for Windows programs of ORV_WINDOWS_BITS
# bits, with Debian's Wine fonts (fonts-wine) in its Fonts folder, where
# Windows keeps its own: without them Wine lays out text in Linux fonts
# whose lines are far apart, and windows and message boxes do not look as
# they do on Windows.
set -u
. "$(dirname "$0")/wine.sh"
fonts=/usr/share/wine/fonts
export WINEDLLOVERRIDES=${WINEDLLOVERRIDES:-mscoree,mshtml=}
"$wine" wineboot -i >/dev/null 2>&1
if [ ! -d "$WINEPREFIX/drive_c/windows/Fonts" ]; then
    echo "wine-prefix.sh: Wine made no prefix in $WINEPREFIX" >&2
    exit 1
fi
[ -d "$fonts" ] || { echo "wine-prefix.sh: no $fonts: install fonts-wine" >&2; exit 1; }
cp "$fonts"/* "$WINEPREFIX/drive_c/windows/Fonts/"
