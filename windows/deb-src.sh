#!/bin/bash
# Lets apt fetch Debian source packages: adds deb-src entries for the Debian
# suites this machine already installs from, unless it has them.
set -euo pipefail

if apt-get source --print-uris -qq qtbase-opensource-src >/dev/null 2>&1; then
    exit 0
fi

sudo=
[ "$(id -u)" = 0 ] || sudo=sudo
list=/etc/apt/sources.list.d/orv-deb-src.sources
entries=$(
    # deb822 files: every Debian stanza again, as deb-src.
    for f in /etc/apt/sources.list.d/*.sources; do
        [ -e "$f" ] || continue
        awk 'BEGIN { RS = ""; ORS = "\n\n" }
             /(^|\n)Types:[^\n]*deb/ && /debian/ && !/deb-src/ {
                 sub(/(^|\n)Types:[^\n]*/, "\nTypes: deb-src"); sub(/^\n/, ""); print }' "$f"
    done
    # One-line sources.list entries.
    for f in /etc/apt/sources.list /etc/apt/sources.list.d/*.list; do
        [ -e "$f" ] || continue
        sed -n 's/^deb \(.*debian.*\)$/Types: deb-src\nURIs: \1\n/p' "$f" |
            awk '/^URIs:/ { n = split($0, w, " "); print "URIs: " w[2]; print "Suites: " w[3];
                           c = ""; for (i = 4; i <= n; i++) c = c " " w[i]; print "Components:" c; next }
                 { print }'
    done
)
if [ -z "$entries" ]; then
    echo "make windows: this machine installs from no Debian suite, so Debian's Qt source cannot be had" >&2
    exit 1
fi
echo "Adding deb-src entries for Debian's suites in $list"
printf '%s\n' "$entries" | $sudo tee "$list" >/dev/null
$sudo apt-get update -qq
