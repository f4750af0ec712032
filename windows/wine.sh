# Sourced: where Wine's 64-bit loader and its server are, in $wine and
# $wineserver. Debian's wine64 puts them in /usr/lib/wine; WINE and
# WINESERVER in the environment name others.
wine=${WINE:-/usr/lib/wine/wine64}
wineserver=${WINESERVER:-$(dirname "$wine")/wineserver}
