# Sourced: where Wine's loader and its server are, in $wine and $wineserver,
# for Windows programs of ORV_WINDOWS_BITS bits: 64 (the default) or 32.
# Debian's wine64 and wine32 put them in /usr/lib/wine; WINE (WINE32 for
# the 32-bit loader) and WINESERVER in the environment name others.
if [ "${ORV_WINDOWS_BITS:-64}" = 32 ]; then
    # A prefix of 32-bit Windows, whose loader runs the way this machine
    # runs 32-bit programs, found out once.
    export WINEARCH=win32
    if [ -z "${ORV_I386_FOUND:-}" ]; then
        ORV_I386_FOUND=$(bash "$(dirname "${BASH_SOURCE[0]}")/i386.sh" way)
        export ORV_I386_FOUND
    fi
    wine=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)/wine32.sh
    wineserver=${WINESERVER:-/usr/lib/wine/wineserver}
else
    wine=${WINE:-/usr/lib/wine/wine64}
    wineserver=${WINESERVER:-$(dirname "$wine")/wineserver}
fi
