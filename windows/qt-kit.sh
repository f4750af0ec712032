#!/bin/bash
# Builds the Qt 5.15 kit for Windows that the cross build links against:
# Debian's own qtbase source, built with Debian's MinGW-w64 cross compiler.
#   qt-kit.sh KIT_DIR
# ORV_MINGW_TRIPLET picks the target: x86_64-w64-mingw32 (x64, the default)
# or i686-w64-mingw32 (x86); both come from this one recipe.
# The kit is finished only once KIT_DIR/.kit-complete exists; a folder
# without it is what a failed or interrupted build left and is built anew.
# The caller names KIT_DIR after this file's checksum, so that a change of
# recipe gives a new kit.
set -euo pipefail

kit=${1:?usage: qt-kit.sh KIT_DIR}
kit=$(realpath -m "$kit")
cache=$(dirname "$kit")
triplet=${ORV_MINGW_TRIPLET:-x86_64-w64-mingw32}
case $triplet in
    x86_64-*) arch=x64 package=g++-mingw-w64-x86-64-posix ;;
    i686-*) arch=x86 package=g++-mingw-w64-i686-posix ;;
    *) echo "make windows: unknown MinGW-w64 target $triplet" >&2; exit 1 ;;
esac
jobs=${JOBS:-$(nproc)}
stamp=$kit/.kit-complete

mkdir -p "$cache"
# One build per kit at a time; a second caller waits and then finds it done.
exec 9>"$kit.lock"
flock 9
[ -e "$stamp" ] && exit 0

log=$kit.log
: >"$log"
fail() {
    echo "make windows: $1 (log: $log)" >&2
    tail -n 20 "$log" >&2
    exit 1
}
stage() { echo "[Qt kit $1/4] $2"; }

command -v "$triplet-g++-posix" >/dev/null ||
    fail "no cross compiler $triplet-g++-posix (Debian package $package)"

stage 1 "getting Debian's qtbase source package"
src=$cache/qtbase-src
# The kits for both targets unpack the same source.
exec 8>"$src.lock"
flock 8
if [ ! -e "$src/.unpacked" ]; then
    rm -rf "$src" && mkdir -p "$src"
    (cd "$src" && apt-get source -qq qtbase-opensource-src) >>"$log" 2>&1 ||
        fail "Debian's source package qtbase-opensource-src cannot be had (apt needs a deb-src entry)"
    touch "$src/.unpacked"
fi
flock -u 8
tree=$(find "$src" -mindepth 1 -maxdepth 1 -type d -name 'qtbase-opensource-src-*' | head -n 1)
[ -n "$tree" ] || fail "the qtbase source package unpacked into nothing usable in $src"

stage 2 "configuring Qt $(basename "$tree" | sed 's/qtbase-opensource-src-//') for Windows $arch"
rm -rf "$kit" "$kit.build"
mkdir -p "$kit.build"
# Core, Gui, Widgets, Concurrent and Test with the windows, offscreen and
# minimal platforms and the windowsvista style; nothing the updater does not
# use. Debian's source has no wintab.h, hence no tablet events.
(cd "$kit.build" && "$tree/configure" \
    -xplatform win32-g++ -device-option CROSS_COMPILE="$triplet-" \
    -prefix "$kit" -release -shared -opensource -confirm-license \
    -nomake examples -nomake tests \
    -no-opengl -no-dbus -no-icu -no-openssl \
    -no-feature-sql -no-feature-network \
    -no-feature-tabletevent \
    -qt-zlib -qt-libpng -qt-libjpeg -qt-pcre -qt-harfbuzz -qt-freetype) >>"$log" 2>&1 ||
    fail "Qt's configure failed"

stage 3 "building Qt with $jobs jobs (about 15 minutes on 2 cores)"
make -C "$kit.build" -j "$jobs" >>"$log" 2>&1 || fail "building Qt failed"

stage 4 "installing the kit into $kit"
make -C "$kit.build" install >>"$log" 2>&1 || fail "installing Qt failed"
rm -rf "$kit.build"
{
    echo "recipe: $(sha256sum "$0" | cut -d' ' -f1)"
    echo "source: $(basename "$tree")"
    echo "compiler: $("$triplet-g++" --version | head -n 1)"
} >"$stamp"
echo "Qt kit ready: $kit"
